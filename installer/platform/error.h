// Win32-style last-error codes. Both backends report failures with these numbers so that log
// lines and decisions read the same on Windows and on the POSIX stand-in.
#pragma once

#include <cstdint>

namespace platform {

constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorTooManyOpenFiles = 4;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorWriteProtect = 19;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorLockViolation = 33;
constexpr uint32_t kErrorHandleEof = 38;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorDirNotEmpty = 145;
constexpr uint32_t kErrorBadPathname = 161;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorFilenameExcedRange = 206;
constexpr uint32_t kErrorDirectory = 267;
constexpr uint32_t kErrorNoMoreItems = 259;
constexpr uint32_t kErrorPrivilegeNotHeld = 1314;

// The calling thread's last error (GetLastError on Windows; a thread-local value that every
// failing POSIX backend call sets).
uint32_t LastError();
void SetLastError(uint32_t code);

// Translates a C runtime errno value into the Win32 code above (ETXTBSY and EBUSY become
// kErrorSharingViolation, ENOSPC kErrorDiskFull, EEXIST kErrorAlreadyExists, ...). Unknown
// values give kErrorInvalidParameter, so a non-zero errno never becomes 0.
uint32_t ErrorFromErrno(int errnoValue);

// SetLastError(ErrorFromErrno(errno)): for POSIX backend code after a failed system call.
void SetLastErrorFromErrno();

}  // namespace platform
