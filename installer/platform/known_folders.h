// The folders of the current user and the running program.
#pragma once

#include <string>

namespace platform {

enum class KnownFolder {
    kRoamingAppData,  // CSIDL_APPDATA; POSIX: $XDG_CONFIG_HOME or ~/.config
    kLocalAppData,    // CSIDL_LOCAL_APPDATA; POSIX: $XDG_DATA_HOME or ~/.local/share
    kDesktop,         // CSIDL_DESKTOPDIRECTORY; POSIX: $XDG_DESKTOP_DIR or ~/Desktop
};

// SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT): no trailing separator; empty
// on failure.
std::string GetKnownFolder(KnownFolder folder);

// GetTempPathA: the temporary folder with its trailing separator. Empty on failure.
// POSIX: a folder of this user alone, since /tmp is shared with every other user: the folder
// $XDG_RUNTIME_DIR, else "ferrylift-<uid>" in $TMPDIR or /tmp, created with mode 0700. A folder
// that is a symbolic link, not a folder, or owned by another user is refused (empty result,
// LastError() kErrorAccessDenied, *refused names it); one of ours open to others is set to 0700.
std::string GetTempPath(std::string* refused = nullptr);

// GetModuleFileNameA(nullptr): the full path of the running program; POSIX: /proc/self/exe.
// Empty on failure.
std::string GetModuleFileName();

}  // namespace platform
