#include <windows.h>

#include <cerrno>

#include "platform/error.h"

namespace platform {

uint32_t LastError() {
    return static_cast<uint32_t>(::GetLastError());
}

void SetLastError(uint32_t code) {
    ::SetLastError(static_cast<DWORD>(code));
}

void SetLastErrorFromErrno() {
    ::SetLastError(static_cast<DWORD>(ErrorFromErrno(errno)));
}

}  // namespace platform
