#include "platform/restart.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/error.h"
#include "platform/posix/program_search.h"

extern char** environ;

namespace platform {
namespace {

// LUID of the shutdown privilege on Windows, kept for the log lines.
constexpr uint32_t kShutdownPrivilegeLow = 19;

}  // namespace

intptr_t CurrentProcessHandle() {
    return -1;
}

bool OpenProcessToken(intptr_t process, intptr_t* token) {
    *token = process != 0 ? 1 : 0;
    if (*token == 0) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    return true;
}

void CloseProcessToken(intptr_t) {}

bool LookupShutdownPrivilege(PrivilegeId* id) {
    id->low = kShutdownPrivilegeLow;
    id->high = 0;
    return true;
}

bool EnablePrivilege(intptr_t token, const PrivilegeId&) {
    if (token == 0) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    return true;
}

bool RequestExitWindows(uint32_t flags, uint32_t) {
    if (flags != kExitWindowsRebootForce) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    const std::string systemctl = FindOnPath("systemctl");
    if (systemctl.empty()) {
        SetLastError(kErrorFileNotFound);
        return false;
    }
    char name[] = "systemctl";
    char verb[] = "reboot";
    char* argv[] = {name, verb, nullptr};
    pid_t child = 0;
    const int spawned = posix_spawn(&child, systemctl.c_str(), nullptr, nullptr, argv, environ);
    if (spawned != 0) {
        errno = spawned;
        SetLastErrorFromErrno();
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            SetLastErrorFromErrno();
            return false;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        SetLastError(kErrorAccessDenied);
        return false;
    }
    return true;
}

}  // namespace platform
