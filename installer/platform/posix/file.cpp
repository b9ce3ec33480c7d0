// Files on POSIX. Windows share modes are mimicked with advisory flock locks, taken without
// waiting: a writer that lets nobody else write holds an exclusive lock, other writers and
// readers that forbid writing hold a shared one, and readers that allow writing hold none (so
// a log being written stays readable). A conflict fails with kErrorSharingViolation, as does
// opening a running program for writing (ETXTBSY).
#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/error.h"
#include "platform/posix/descriptor.h"

namespace platform {
namespace {

constexpr uint32_t kWriteRights = kFileWriteData | kFileAppendData | kGenericWrite | kGenericAll;
constexpr uint32_t kReadRights = kFileReadData | kGenericRead | kGenericAll;

int ToDescriptor(FileHandle file) {
    return file == nullptr ? -1 : static_cast<int>(reinterpret_cast<intptr_t>(file) - 1);
}

// Takes the lock that stands for the share mode; false (descriptor closed, last error set) on
// a conflict.
bool LockForShareMode(int fd, bool writes, uint32_t shareMode) {
    int operation = 0;
    if (shareMode == kShareNone || (writes && (shareMode & kShareWrite) == 0)) {
        operation = LOCK_EX;
    } else if (writes || (shareMode & kShareWrite) == 0) {
        operation = LOCK_SH;
    } else {
        return true;
    }
    while (flock(fd, operation | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        uint32_t code = errno == EWOULDBLOCK ? kErrorSharingViolation : ErrorFromErrno(errno);
        close(fd);
        SetLastError(code);
        return false;
    }
    return true;
}

bool IsDirectoryDescriptor(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

FileHandle FileFromDescriptor(int fd) {
    return reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd) + 1);
}

FileHandle CreateFile(const std::string& path, uint32_t desiredAccess, uint32_t shareMode,
                      uint32_t disposition, uint32_t /*attributes*/) {
    const bool writes = (desiredAccess & kWriteRights) != 0;
    const bool reads = (desiredAccess & kReadRights) != 0;
    int flags = O_CLOEXEC;
    if (writes) {
        flags |= reads ? O_RDWR : O_WRONLY;
    } else {
        flags |= O_RDONLY;
    }
    bool truncate = false;
    switch (disposition) {
        case kCreateNew:
            flags |= O_CREAT | O_EXCL;
            break;
        case kCreateAlways:
            flags |= O_CREAT;
            truncate = true;
            break;
        case kOpenExisting:
            break;
        case kOpenAlways:
            flags |= O_CREAT;
            break;
        case kTruncateExisting:
            truncate = true;
            break;
        default:
            SetLastError(kErrorInvalidParameter);
            return nullptr;
    }
    if (truncate && !writes) {
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    bool existed =
        (flags & O_CREAT) != 0 && (flags & O_EXCL) == 0 && access(path.c_str(), F_OK) == 0;
    int fd;
    do {
        fd = open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == EEXIST) {
            SetLastError(kErrorFileExists);
        } else if (errno == ENOENT && (flags & O_CREAT) != 0) {
            SetLastError(kErrorPathNotFound);
        } else {
            SetLastErrorFromErrno();
        }
        return nullptr;
    }
    if (IsDirectoryDescriptor(fd)) {
        close(fd);
        SetLastError(kErrorAccessDenied);
        return nullptr;
    }
    // Truncate only after the lock is ours: a file held by another opener keeps its bytes.
    if (!LockForShareMode(fd, writes, shareMode)) {
        return nullptr;
    }
    if (truncate && ftruncate(fd, 0) != 0) {
        SetLastErrorFromErrno();
        close(fd);
        return nullptr;
    }
    // Like CreateFileA: success, and ERROR_ALREADY_EXISTS when an existing file was opened by a
    // disposition that may create.
    SetLastError(existed ? kErrorAlreadyExists : kErrorSuccess);
    return FileFromDescriptor(fd);
}

bool WriteFile(FileHandle file, const void* data, uint32_t size, uint32_t* done) {
    if (done != nullptr) {
        *done = 0;
    }
    int fd = ToDescriptor(file);
    if (fd < 0) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    const char* bytes = static_cast<const char*>(data);
    uint32_t written = 0;
    while (written < size) {
        ssize_t n = write(fd, bytes + written, size - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetLastErrorFromErrno();
            if (done != nullptr) {
                *done = written;
            }
            return false;
        }
        written += static_cast<uint32_t>(n);
    }
    if (done != nullptr) {
        *done = written;
    }
    return true;
}

bool ReadFile(FileHandle file, void* data, uint32_t size, uint32_t* done) {
    if (done != nullptr) {
        *done = 0;
    }
    int fd = ToDescriptor(file);
    if (fd < 0) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    ssize_t n;
    do {
        n = read(fd, data, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    if (done != nullptr) {
        *done = static_cast<uint32_t>(n);
    }
    return true;
}

bool SeekFile(FileHandle file, int64_t offset, SeekOrigin origin, int64_t* position) {
    int fd = ToDescriptor(file);
    if (fd < 0) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    const int whence = origin == SeekOrigin::kBegin     ? SEEK_SET
                       : origin == SeekOrigin::kCurrent ? SEEK_CUR
                                                        : SEEK_END;
    const off_t at = lseek(fd, static_cast<off_t>(offset), whence);
    if (at < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    if (position != nullptr) {
        *position = static_cast<int64_t>(at);
    }
    return true;
}

bool CloseFile(FileHandle file) {
    int fd = ToDescriptor(file);
    if (fd < 0) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    // The descriptor is gone even when close reports an error; the lock goes with it.
    if (close(fd) != 0 && errno != EINTR) {
        SetLastErrorFromErrno();
        return false;
    }
    return true;
}

bool FlushFile(FileHandle file) {
    int fd = ToDescriptor(file);
    if (fd < 0) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    if (fsync(fd) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    return true;
}

bool MoveFileReplacing(const std::string& from, const std::string& to, bool writeThrough) {
    if (rename(from.c_str(), to.c_str()) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    if (!writeThrough) {
        SetLastError(kErrorSuccess);
        return true;
    }
    // The rename itself is only durable once the folder that holds both names is synced.
    size_t slash = to.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : to.substr(0, slash);
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
    SetLastError(kErrorSuccess);
    return true;
}

bool DeleteFileAtRestart(const std::string& /*path*/) {
    SetLastError(kErrorNotSupported);
    return false;
}

intptr_t NativeFileHandle(FileHandle file) {
    return ToDescriptor(file);
}

// Streams that write never follow a symbolic link: one planted under the name would have us
// write into its target.
std::FILE* OpenStream(const std::string& path, const char* mode) {
    if (mode == nullptr || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) {
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    const bool plus = std::strchr(mode, '+') != nullptr;
    int flags = O_CLOEXEC;
    bool truncate = false;
    switch (mode[0]) {
        case 'r':
            flags |= plus ? O_RDWR : O_RDONLY;
            break;
        case 'w':
            flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_NOFOLLOW;
            truncate = true;
            break;
        default:
            flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND | O_NOFOLLOW;
            break;
    }
    const bool writes = mode[0] != 'r' || plus;
    int fd;
    do {
        fd = open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return nullptr;
    }
    if (IsDirectoryDescriptor(fd)) {
        close(fd);
        SetLastError(kErrorAccessDenied);
        return nullptr;
    }
    // fopen_s shares a read-only stream for reading and a writing stream with nobody.
    if (!LockForShareMode(fd, writes, writes ? kShareNone : kShareRead)) {
        return nullptr;
    }
    if (truncate && ftruncate(fd, 0) != 0) {
        SetLastErrorFromErrno();
        close(fd);
        return nullptr;
    }
    std::FILE* stream = fdopen(fd, mode);
    if (stream == nullptr) {
        SetLastErrorFromErrno();
        close(fd);
        return nullptr;
    }
    SetLastError(kErrorSuccess);
    return stream;
}

bool GetFileStatus(const std::string& path, FileStatus* status) {
    struct stat st;
    if (status == nullptr) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    if (stat(path.c_str(), &st) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    status->size = static_cast<int64_t>(st.st_size);
    status->isDirectory = S_ISDIR(st.st_mode);
    return true;
}

}  // namespace platform
