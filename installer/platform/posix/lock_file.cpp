#include "platform/lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/error.h"

namespace platform {

std::FILE* OpenLockFile(const std::string& path) {
    // Close-on-exec: a started client must not keep the lock after this run ends.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return nullptr;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        SetLastError(errno == EWOULDBLOCK ? kErrorSharingViolation : ErrorFromErrno(errno));
        close(fd);
        return nullptr;
    }
    // "wb" truncates, but only once the lock is ours.
    if (ftruncate(fd, 0) != 0) {
        SetLastErrorFromErrno();
        close(fd);
        return nullptr;
    }
    std::FILE* stream = fdopen(fd, "wb");
    if (stream == nullptr) {
        SetLastErrorFromErrno();
        close(fd);
    }
    return stream;
}

}  // namespace platform
