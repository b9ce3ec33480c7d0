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
// POSIX: a folder of this process alone, since /tmp is shared with every other user: made
// fresh (mode 0700, "ferrylift-<uid>.XXXXXX") below $XDG_RUNTIME_DIR, else $TMPDIR, else
// /tmp, the same one for as long as that parent stays; this user's folders of earlier runs
// there are removed, other users' folders are never touched. A parent that others may write
// without the sticky bit, or that belongs to another user (not root), is refused (empty
// result, LastError() kErrorAccessDenied, *refused says why and names the folder).
std::string GetTempPath(std::string* refused = nullptr);

// GetModuleFileNameA(nullptr): the full path of the running program; POSIX: /proc/self/exe.
// Empty on failure.
std::string GetModuleFileName();

}  // namespace platform
