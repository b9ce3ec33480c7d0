// The few calls Packwell needs from the operating system beyond
// std::filesystem, each with a POSIX and a Windows implementation
// (posix_file_access.cpp, win32_file_access.cpp; CMakeLists.txt picks one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace packwell::platform {

// 0 when the existing file may be written, else an errno value (EACCES for a
// read-only file, EROFS for a read-only file system).
int FileWriteError(const std::filesystem::path& file);

// 0 when files may be created in folder, else an errno value.
int FolderWriteError(const std::filesystem::path& folder);

// Creates file, which must not exist yet, for writing; returns a descriptor
// for WriteSome and CloseFile, or -1 with errno set.
int CreateExclusive(const std::filesystem::path& file);
std::ptrdiff_t WriteSome(int fd, const char* data, std::size_t size);
int CloseFile(int fd);

// An exclusive lock, across programs, on saving into one folder.
class FolderLockHandle {
public:
    explicit FolderLockHandle(const std::filesystem::path& folder);
    ~FolderLockHandle();
    FolderLockHandle(const FolderLockHandle&) = delete;
    FolderLockHandle& operator=(const FolderLockHandle&) = delete;

    // Waits up to timeoutMs. unsupported is set when the folder cannot be
    // locked at all (some network folders).
    bool Acquire(int timeoutMs, bool& unsupported);

private:
    std::intptr_t handle_ = -1;
    bool held_ = false;
};

}  // namespace packwell::platform
