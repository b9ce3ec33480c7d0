#include "platform/error.h"

#include <cerrno>

namespace platform {
namespace {
thread_local uint32_t t_lastError = kErrorSuccess;
}

uint32_t LastError() {
    return t_lastError;
}

void SetLastError(uint32_t code) {
    t_lastError = code;
}

void SetLastErrorFromErrno() {
    t_lastError = ErrorFromErrno(errno);
}

}  // namespace platform
