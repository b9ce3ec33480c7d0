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

// GetTempPathA: the temporary folder with its trailing separator; POSIX: $TMPDIR or /tmp, plus
// "/". Empty on failure.
std::string GetTempPath();

// GetModuleFileNameA(nullptr): the full path of the running program; POSIX: /proc/self/exe.
// Empty on failure.
std::string GetModuleFileName();

}  // namespace platform
