#include "platform/shell_start.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/posix/program_search.h"

namespace platform {
namespace {

// Starts argv[0] in a session of its own, through an intermediate child that exits at once so
// that the program is never our child. Returns 0 or the errno of the failed start, which the
// grandchild reports through a close-on-exec pipe.
int StartDetached(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return errno;
    }
    pid_t child = ::fork();
    if (child < 0) {
        int error = errno;
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return error;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        ::close(pipeFds[0]);
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild < 0) {
            int error = errno;
            (void)!::write(pipeFds[1], &error, sizeof error);
            ::_exit(1);
        }
        if (grandchild == 0) {
            ::execv(argv[0], argv.data());
            int error = errno;
            (void)!::write(pipeFds[1], &error, sizeof error);
            ::_exit(127);
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    int error = 0;
    ssize_t got;
    do {
        got = ::read(pipeFds[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

uintptr_t Result(int error) {
    if (error == 0) {
        return kShellStartAccepted;
    }
    uint32_t code = ErrorFromErrno(error);
    SetLastError(code);
    // Every error number must stay in the error range, as ShellExecuteA's do.
    return code <= kShellStartErrorLimit ? code : kErrorAccessDenied;
}

}  // namespace

uintptr_t ShellOpen(const std::string& path) {
    struct stat status {};
    if (path.empty() || ::stat(path.c_str(), &status) != 0) {
        SetLastError(kErrorFileNotFound);
        return kErrorFileNotFound;
    }
    if (IsExecutableFile(path)) {
        return Result(StartDetached({path}));
    }
    std::string opener = FindOnPath("xdg-open");
    if (opener.empty()) {
        SetLastError(kShellStartNoAssociation);
        return kShellStartNoAssociation;
    }
    return Result(StartDetached({opener, path}));
}

}  // namespace platform
