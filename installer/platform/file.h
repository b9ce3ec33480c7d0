// Files: CreateFileA-style handles, C runtime streams with fopen_s sharing, file status.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// Opaque handle of an open file; null means "no file". The Windows backend stores the HANDLE,
// the POSIX backend the descriptor. Creation failure gives null, never INVALID_HANDLE_VALUE.
using FileHandle = struct FileObject*;

// Desired access (CreateFileA values; combine with |).
constexpr uint32_t kFileReadData = 0x0001;
constexpr uint32_t kFileWriteData = 0x0002;
constexpr uint32_t kFileAppendData = 0x0004;
constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kGenericRead = 0x80000000;
// Write data, append data, write extended attributes, write attributes, read control: the
// generic write rights without the synchronise right (the log file's access).
constexpr uint32_t kFileWriteNoSync = 0x00020116;

// Share mode.
constexpr uint32_t kShareNone = 0;
constexpr uint32_t kShareRead = 0x1;
constexpr uint32_t kShareWrite = 0x2;
constexpr uint32_t kShareDelete = 0x4;

// Creation disposition.
constexpr uint32_t kCreateNew = 1;
constexpr uint32_t kCreateAlways = 2;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kOpenAlways = 4;
constexpr uint32_t kTruncateExisting = 5;

// Attributes.
constexpr uint32_t kAttributesNone = 0;
constexpr uint32_t kFileAttributeNormal = 0x80;

// CreateFileA(path, access, share, nullptr, disposition, attributes, nullptr). Null on failure
// with LastError() set (kErrorSharingViolation when another opener's share mode forbids it).
FileHandle CreateFile(const std::string& path, uint32_t desiredAccess, uint32_t shareMode,
                      uint32_t disposition, uint32_t attributes);

// WriteFile / ReadFile of one block. False on failure with LastError() set; *done (optional)
// receives the byte count moved. ReadFile at the end of the file succeeds with *done == 0.
bool WriteFile(FileHandle file, const void* data, uint32_t size, uint32_t* done = nullptr);
bool ReadFile(FileHandle file, void* data, uint32_t size, uint32_t* done = nullptr);

// SetFilePointerEx: moves the file position by offset from origin; *position (optional) gets
// the new one. False with LastError() set.
enum class SeekOrigin { kBegin, kCurrent, kEnd };
bool SeekFile(FileHandle file, int64_t offset, SeekOrigin origin, int64_t* position = nullptr);

// CloseHandle. Closing null does nothing and returns false.
bool CloseFile(FileHandle file);

// FlushFileBuffers / fsync: the file's data is on the disk when this returns true.
bool FlushFile(FileHandle file);

// MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING [| MOVEFILE_WRITE_THROUGH]); POSIX: rename,
// with writeThrough then fsync of the folder so the new name is on the disk too (milliseconds
// per call). Both names lie in one folder: the target is then either the old file or the new
// one, never a mix. False with LastError().
bool MoveFileReplacing(const std::string& from, const std::string& to, bool writeThrough = true);

// MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT): the file goes at the next restart.
// Windows allows it to administrators only (else kErrorAccessDenied); POSIX has no such
// thing (kErrorNotSupported). False with LastError() set.
bool DeleteFileAtRestart(const std::string& path);

// For backend code of other seam areas (file times, ...): the HANDLE value on Windows, the
// descriptor on POSIX; -1 for null.
intptr_t NativeFileHandle(FileHandle file);

// Closes its handle on every way out.
class UniqueFile {
public:
    UniqueFile() = default;
    explicit UniqueFile(FileHandle file) : file_(file) {}
    ~UniqueFile() { Reset(); }
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;
    UniqueFile(UniqueFile&& other) noexcept : file_(other.Release()) {}
    UniqueFile& operator=(UniqueFile&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    FileHandle Get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }
    FileHandle Release() {
        FileHandle file = file_;
        file_ = nullptr;
        return file;
    }
    void Reset(FileHandle file = nullptr) {
        if (file_ != nullptr) {
            CloseFile(file_);
        }
        file_ = file;
    }

private:
    FileHandle file_ = nullptr;
};

// fopen_s(&file, path, mode): a C stream opened the way the Windows runtime's fopen_s opens it:
// read-only streams let others read, streams that write share nothing. Null on failure with
// LastError() set. Close with fclose.
std::FILE* OpenStream(const std::string& path, const char* mode);

// Closes its stream on every way out.
class UniqueStream {
public:
    explicit UniqueStream(std::FILE* stream = nullptr) : stream_(stream) {}
    ~UniqueStream() {
        if (stream_ != nullptr) {
            std::fclose(stream_);
        }
    }
    UniqueStream(const UniqueStream&) = delete;
    UniqueStream& operator=(const UniqueStream&) = delete;

    std::FILE* Get() const { return stream_; }
    explicit operator bool() const { return stream_ != nullptr; }
    // fclose now; its result (0 on success).
    int Close() {
        int result = stream_ != nullptr ? std::fclose(stream_) : EOF;
        stream_ = nullptr;
        return result;
    }

private:
    std::FILE* stream_;
};

struct FileStatus {
    int64_t size = 0;
    bool isDirectory = false;
};

// _stat64i32 / stat of a path. False with LastError() set when the path cannot be queried.
bool GetFileStatus(const std::string& path, FileStatus* status);

}  // namespace platform
