// Update::CopyFileA in a child process that a test can kill for real at any moment: this test
// program again, filtered to ChildInstall.Run (which every program that uses this defines).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#if defined(_WIN32)
#include <windows.h>

// Its A/W macros would rename the platform layer's functions in the files that include this.
#include "platform/win32/win32_undef.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace update_test {

constexpr char kChildPackage[] = "FERRYLIFT_TEST_CHILD_PACKAGE";
constexpr char kChildLog[] = "FERRYLIFT_TEST_CHILD_LOG";

inline void SetVariable(const char* name, const std::string& value) {
#if defined(_WIN32)
    SetEnvironmentVariableA(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

// Runs Update::CopyFileA in a child process (this program, filtered to ChildInstall.Run) with
// this process's profile, so that it can be killed for real at any moment.
class ChildInstall {
public:
    ChildInstall(const std::filesystem::path& package, const std::filesystem::path& log) {
        SetVariable(kChildPackage, package.string());
        SetVariable(kChildLog, log.string());
#if defined(_WIN32)
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string command = std::string("\"") + self + "\" --gtest_filter=ChildInstall.Run";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        ok_ = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process_) != FALSE;
        if (ok_) {
            CloseHandle(process_.hThread);
        }
#else
        char self[] = "/proc/self/exe";
        char filter[] = "--gtest_filter=ChildInstall.Run";
        char* argv[] = {self, filter, nullptr};
        // Its test report would only interleave with ours.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        ok_ = posix_spawn(&pid_, self, &actions, nullptr, argv, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
#endif
        SetVariable(kChildPackage, "");
    }
    ~ChildInstall() {
        Kill();
    }
    ChildInstall(const ChildInstall&) = delete;
    ChildInstall& operator=(const ChildInstall&) = delete;

    bool ok() const {
        return ok_;
    }
    bool Running() {
        if (!ok_ || done_) {
            return false;
        }
#if defined(_WIN32)
        done_ = WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0;
#else
        int status = 0;
        done_ = waitpid(pid_, &status, WNOHANG) == pid_;
#endif
        return !done_;
    }
    // Kills the child if it still runs and waits for it; true when it was killed.
    bool Kill() {
        if (!ok_ || done_) {
            return false;
        }
        bool killed = Running();
#if defined(_WIN32)
        if (killed) {
            TerminateProcess(process_.hProcess, 137);
        }
        WaitForSingleObject(process_.hProcess, INFINITE);
        CloseHandle(process_.hProcess);
#else
        if (killed) {
            kill(pid_, SIGKILL);
        }
        if (!done_) {
            waitpid(pid_, nullptr, 0);
        }
#endif
        done_ = true;
        return killed;
    }

private:
    bool ok_ = false;
    bool done_ = false;
#if defined(_WIN32)
    PROCESS_INFORMATION process_{};
#else
    pid_t pid_ = 0;
#endif
};

}  // namespace update_test
