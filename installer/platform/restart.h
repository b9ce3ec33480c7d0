// Forced machine restart: the steps of enabling the shutdown privilege and asking the system to
// reboot. POSIX has no privilege token: those steps succeed, and the reboot is a request to the
// login manager (`systemctl reboot` found on PATH), never a direct system call.
#pragma once

#include <cstdint>

namespace platform {

// ExitWindowsEx flags: EWX_REBOOT | EWX_FORCE.
constexpr uint32_t kExitWindowsRebootForce = 6;

// GetCurrentProcess: the pseudo handle; never 0 in practice.
intptr_t CurrentProcessHandle();

// OpenProcessToken(process, TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY). *token is 0 on failure.
bool OpenProcessToken(intptr_t process, intptr_t* token);
void CloseProcessToken(intptr_t token);

// A locally unique identifier of a privilege.
struct PrivilegeId {
    uint32_t low = 0;
    int32_t high = 0;
};

// LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME).
bool LookupShutdownPrivilege(PrivilegeId* id);

// AdjustTokenPrivileges(token, FALSE, {1, id, SE_PRIVILEGE_ENABLED}, 0, nullptr, nullptr).
bool EnablePrivilege(intptr_t token, const PrivilegeId& id);

// ExitWindowsEx(flags, reason). POSIX: runs `systemctl reboot` and waits for its answer; false
// with kErrorFileNotFound when no systemctl is on PATH, kErrorAccessDenied when it refused.
bool RequestExitWindows(uint32_t flags, uint32_t reason);

}  // namespace platform
