// Starting a file the way the shell does for the verb "open".
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Values at or below this one are errors; above it the shell accepted the start.
constexpr uintptr_t kShellStartErrorLimit = 32;
// The instance value the POSIX stand-in returns for an accepted start.
constexpr uintptr_t kShellStartAccepted = 42;
// SE_ERR_NOASSOC: nothing knows how to open the file.
constexpr uintptr_t kShellStartNoAssociation = 31;

// ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_SHOW): the started program
// inherits the working folder. POSIX: an executable regular file is started detached (its own
// session, not our child once started); anything else is handed to xdg-open when PATH has
// one, else kShellStartNoAssociation. A start that cannot happen gives the Win32 error number
// (kErrorFileNotFound, kErrorAccessDenied, ...), which is at most kShellStartErrorLimit.
uintptr_t ShellOpen(const std::string& path);

}  // namespace platform
