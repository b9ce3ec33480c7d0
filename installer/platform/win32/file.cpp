#include <windows.h>

#include <cstdio>

#include "platform/win32/win32_undef.h"

#include "platform/error.h"
#include "platform/file.h"

namespace platform {

FileHandle CreateFile(const std::string& path, uint32_t desiredAccess, uint32_t shareMode,
                      uint32_t disposition, uint32_t attributes) {
    HANDLE handle = ::CreateFileA(path.c_str(), desiredAccess, shareMode, nullptr, disposition,
                                  attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return reinterpret_cast<FileHandle>(handle);
}

bool WriteFile(FileHandle file, const void* data, uint32_t size, uint32_t* done) {
    DWORD moved = 0;
    BOOL ok = ::WriteFile(reinterpret_cast<HANDLE>(file), data, size, &moved, nullptr);
    if (done != nullptr) {
        *done = moved;
    }
    return ok != FALSE;
}

bool ReadFile(FileHandle file, void* data, uint32_t size, uint32_t* done) {
    DWORD moved = 0;
    BOOL ok = ::ReadFile(reinterpret_cast<HANDLE>(file), data, size, &moved, nullptr);
    if (done != nullptr) {
        *done = moved;
    }
    return ok != FALSE;
}

bool SeekFile(FileHandle file, int64_t offset, SeekOrigin origin, int64_t* position) {
    const DWORD method = origin == SeekOrigin::kBegin     ? FILE_BEGIN
                         : origin == SeekOrigin::kCurrent ? FILE_CURRENT
                                                          : FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER at;
    if (!::SetFilePointerEx(reinterpret_cast<HANDLE>(file), distance, &at, method)) {
        return false;
    }
    if (position != nullptr) {
        *position = at.QuadPart;
    }
    return true;
}

bool CloseFile(FileHandle file) {
    if (file == nullptr) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return ::CloseHandle(reinterpret_cast<HANDLE>(file)) != FALSE;
}

bool FlushFile(FileHandle file) {
    return ::FlushFileBuffers(reinterpret_cast<HANDLE>(file)) != FALSE;
}

bool MoveFileReplacing(const std::string& from, const std::string& to, bool writeThrough) {
    const DWORD flags =
        MOVEFILE_REPLACE_EXISTING | (writeThrough ? static_cast<DWORD>(MOVEFILE_WRITE_THROUGH) : 0);
    return ::MoveFileExA(from.c_str(), to.c_str(), flags) != FALSE;
}

bool DeleteFileAtRestart(const std::string& path) {
    return ::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

intptr_t NativeFileHandle(FileHandle file) {
    return file == nullptr ? -1 : reinterpret_cast<intptr_t>(file);
}

std::FILE* OpenStream(const std::string& path, const char* mode) {
    std::FILE* stream = nullptr;
    if (fopen_s(&stream, path.c_str(), mode) != 0) {
        return nullptr;
    }
    return stream;
}

// Not _stat64: the C runtime takes a last byte '\\' for a trailing separator, and in code page
// 936 that byte may be the trail byte of a name's last character (淺).
bool GetFileStatus(const std::string& path, FileStatus* status) {
    if (status == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    status->size =
        static_cast<int64_t>(static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
    status->isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

}  // namespace platform
