// Win32 version resources: the system calls themselves.
#include <windows.h>
// The A/W name macros would rename the seam functions below.
#undef GetFileVersionInfoSize
#undef GetFileVersionInfo
#undef VerQueryValue

#include "platform/version_resource.h"

namespace platform {
namespace {
const wchar_t* W(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
}  // namespace

uint32_t GetFileVersionInfoSize(const std::u16string& path) {
    return ::GetFileVersionInfoSizeW(W(path), nullptr);
}

bool GetFileVersionInfo(const std::u16string& path, uint32_t size, void* data) {
    return ::GetFileVersionInfoW(W(path), 0, size, data) != FALSE;
}

bool VerQueryValue(const void* block, const std::u16string& subBlock, const void** value,
                   uint32_t* length) {
    void* found = nullptr;
    UINT len = 0;
    if (!::VerQueryValueW(block, W(subBlock), &found, &len))
        return false;
    *value = found;
    if (length)
        *length = len;
    return true;
}

}  // namespace platform
