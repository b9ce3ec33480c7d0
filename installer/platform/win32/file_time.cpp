#include <windows.h>

#include "platform/win32/win32_undef.h"

#include "platform/file_time.h"

namespace platform {
namespace {

FILETIME ToFiletime(FileTime time) {
    FILETIME value;
    value.dwLowDateTime = static_cast<DWORD>(time);
    value.dwHighDateTime = static_cast<DWORD>(time >> 32);
    return value;
}

FileTime FromFiletime(const FILETIME& value) {
    return static_cast<FileTime>(value.dwHighDateTime) << 32 | value.dwLowDateTime;
}

}  // namespace

bool DosDateTimeToFileTime(uint16_t dosDate, uint16_t dosTime, FileTime* out) {
    FILETIME value;
    if (!::DosDateTimeToFileTime(dosDate, dosTime, &value)) {
        return false;
    }
    *out = FromFiletime(value);
    return true;
}

bool LocalFileTimeToFileTime(FileTime local, FileTime* utc) {
    const FILETIME localValue = ToFiletime(local);
    FILETIME utcValue;
    if (!::LocalFileTimeToFileTime(&localValue, &utcValue)) {
        return false;
    }
    *utc = FromFiletime(utcValue);
    return true;
}

bool SetFileTime(FileHandle file, const FileTime* creation, const FileTime* access,
                 const FileTime* write) {
    FILETIME values[3];
    const FileTime* inputs[3] = {creation, access, write};
    const FILETIME* pointers[3] = {nullptr, nullptr, nullptr};
    for (int i = 0; i < 3; ++i) {
        if (inputs[i] != nullptr) {
            values[i] = ToFiletime(*inputs[i]);
            pointers[i] = &values[i];
        }
    }
    return ::SetFileTime(reinterpret_cast<HANDLE>(NativeFileHandle(file)), pointers[0], pointers[1],
                         pointers[2]) != FALSE;
}

}  // namespace platform
