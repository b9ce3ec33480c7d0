#include "file_access.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace packwell::platform {

int FileWriteError(const std::filesystem::path& file) {
    return ::access(file.c_str(), W_OK) == 0 ? 0 : errno;
}

int FolderWriteError(const std::filesystem::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

int CreateExclusive(const std::filesystem::path& file) {
    return ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

std::ptrdiff_t WriteSome(int fd, const char* data, std::size_t size) {
    return ::write(fd, data, size);
}

int CloseFile(int fd) {
    return ::close(fd);
}

FolderLockHandle::FolderLockHandle(const std::filesystem::path& folder) {
    handle_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

FolderLockHandle::~FolderLockHandle() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));  // releases the lock
}

bool FolderLockHandle::Acquire(int timeoutMs, bool& unsupported) {
    unsupported = false;
    if (handle_ < 0) {
        unsupported = true;
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) == 0)
            return held_ = true;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            unsupported = true;
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace packwell::platform
