#include "sequence/restart.h"

#include "platform/error.h"
#include "platform/restart.h"
#include "support/log_file.h"

namespace {

// Closes the token when the reboot request comes back.
class TokenGuard {
public:
    explicit TokenGuard(intptr_t token) : token_(token) {}
    ~TokenGuard() {
        if (token_ != 0) {
            platform::CloseProcessToken(token_);
        }
    }
    TokenGuard(const TokenGuard&) = delete;
    TokenGuard& operator=(const TokenGuard&) = delete;

private:
    intptr_t token_;
};

// The system error is taken before the step's own line is written, which may change it.
void LogLastError(uint32_t error) {
    LogPrintf(&g_logFile, "%u = GetLastError();", error);
}

}  // namespace

void RestartSystem() {
    const intptr_t process = platform::CurrentProcessHandle();
    if (process == 0) {
        const uint32_t error = platform::LastError();
        LogPrintf(&g_logFile, "%d = GetCurrentProcess();", 0);
        LogLastError(error);
        return;
    }
    intptr_t token = 0;
    if (!platform::OpenProcessToken(process, &token)) {
        const uint32_t error = platform::LastError();
        LogPrintf(&g_logFile,
                  "%d = OpenProcessToken(%d, TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, %d);", 0,
                  static_cast<int>(process), static_cast<int>(token));
        LogLastError(error);
        return;
    }
    TokenGuard guard(token);
    platform::PrivilegeId privilege;
    if (!platform::LookupShutdownPrivilege(&privilege)) {
        const uint32_t error = platform::LastError();
        LogPrintf(&g_logFile,
                  "%d = LookupPrivilegeValue(null, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid);", 0);
        LogLastError(error);
        return;
    }
    if (!platform::EnablePrivilege(token, privilege)) {
        const uint32_t error = platform::LastError();
        LogPrintf(&g_logFile, "%d = AdjustTokenPrivileges(%d, false, &tp, 0, nullptr, nullptr);", 0,
                  static_cast<int>(token));
        LogLastError(error);
        return;
    }
    if (!platform::RequestExitWindows(platform::kExitWindowsRebootForce, 0)) {
        const uint32_t error = platform::LastError();
        LogPrintf(&g_logFile, "%d = ExitWindowsEx(%d, 0);", 0,
                  static_cast<int>(platform::kExitWindowsRebootForce));
        LogLastError(error);
    }
}
