// A file kept "in use" the way the platform sees it, for the tests of the install passes.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/file.h"

#if !defined(_WIN32)
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace update_test {

// Keeps a file "in use" the way the platform sees it: natively a running program (writing
// to it fails with ETXTBSY), on Windows a handle that lets others read and rename the file
// but not write it, as the loader's handle on a DLL does.
class FileInUse {
public:
    explicit FileInUse(const std::filesystem::path& path) {
#if defined(_WIN32)
        if (!std::filesystem::exists(path)) {
            std::ofstream(path, std::ios::binary) << "old file in use";
        }
        handle_.Reset(platform::CreateFile(
            path.string(), platform::kGenericRead, platform::kShareRead | platform::kShareDelete,
            platform::kOpenExisting, platform::kFileAttributeNormal));
        ok_ = static_cast<bool>(handle_);
#else
        std::filesystem::copy_file("/bin/sleep", path,
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        std::string program = path.string();
        char seconds[] = "30";
        char* argv[] = {program.data(), seconds, nullptr};
        ok_ = posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, environ) == 0;
        // Wait until the program image is mapped: only then is writing refused.
        for (int i = 0; ok_ && i < 200; ++i) {
            if (std::filesystem::read_symlink("/proc/" + std::to_string(pid_) + "/exe")
                    .filename() == path.filename()) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
#endif
    }
    ~FileInUse() {
        Release();
    }
    FileInUse(const FileInUse&) = delete;
    FileInUse& operator=(const FileInUse&) = delete;

    // Ends the use: the program exits, or the handle is closed.
    void Release() {
#if defined(_WIN32)
        handle_.Reset();
#else
        if (ok_ && pid_ != 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = 0;
        }
#endif
    }
    bool ok() const {
        return ok_;
    }

private:
    bool ok_ = false;
#if defined(_WIN32)
    platform::UniqueFile handle_;
#else
    pid_t pid_ = 0;
#endif
};

}  // namespace update_test
