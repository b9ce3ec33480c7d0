#include "platform/shell_start.h"

#include <windows.h>

#include <shellapi.h>

namespace platform {

uintptr_t ShellOpen(const std::string& path) {
    HINSTANCE instance = ::ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<uintptr_t>(instance);
}

}  // namespace platform
