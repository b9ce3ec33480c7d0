#include "platform/restart.h"

#include <windows.h>

namespace platform {

intptr_t CurrentProcessHandle() {
    return reinterpret_cast<intptr_t>(GetCurrentProcess());
}

bool OpenProcessToken(intptr_t process, intptr_t* token) {
    HANDLE handle = nullptr;
    const BOOL ok = ::OpenProcessToken(reinterpret_cast<HANDLE>(process),
                                       TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &handle);
    *token = ok ? reinterpret_cast<intptr_t>(handle) : 0;
    return ok != FALSE;
}

void CloseProcessToken(intptr_t token) {
    CloseHandle(reinterpret_cast<HANDLE>(token));
}

bool LookupShutdownPrivilege(PrivilegeId* id) {
    LUID luid;
    if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid)) {
        return false;
    }
    id->low = luid.LowPart;
    id->high = luid.HighPart;
    return true;
}

bool EnablePrivilege(intptr_t token, const PrivilegeId& id) {
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid.LowPart = id.low;
    privileges.Privileges[0].Luid.HighPart = id.high;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    return AdjustTokenPrivileges(reinterpret_cast<HANDLE>(token), FALSE, &privileges, 0, nullptr,
                                 nullptr) != FALSE;
}

bool RequestExitWindows(uint32_t flags, uint32_t reason) {
    return ExitWindowsEx(flags, reason) != FALSE;
}

}  // namespace platform
