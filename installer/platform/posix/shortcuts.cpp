#include "platform/shortcuts.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/path.h"
#include "platform/text.h"

namespace platform {
namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithIgnoringAsciiCase(const std::string& name, const std::string& suffix) {
    if (name.size() < suffix.size()) {
        return false;
    }
    const size_t start = name.size() - suffix.size();
    for (size_t i = 0; i < suffix.size(); ++i) {
        if (AsciiLower(name[start + i]) != AsciiLower(suffix[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

void InitializeShellObjects() {}
void UninitializeShellObjects() {}

ShortcutFailure SaveShortcut(const std::u16string& linkPath, const std::string& targetPath) {
    const std::string path = WideToMultiByte(CodePage::kAnsi, linkPath);
    if (path.empty() || targetPath.empty()) {
        SetLastError(kErrorInvalidParameter);
        return ShortcutFailure::kSave;
    }
    // Made under a scratch name and renamed over the old one, so an existing file of that name
    // is replaced in one step and a failure leaves it as it was.
    const std::string scratch = path + ".~" + std::to_string(getpid());
    unlink(scratch.c_str());
    if (symlink(targetPath.c_str(), scratch.c_str()) != 0) {
        SetLastErrorFromErrno();
        return ShortcutFailure::kSave;
    }
    if (std::rename(scratch.c_str(), path.c_str()) != 0) {
        SetLastErrorFromErrno();
        unlink(scratch.c_str());
        return ShortcutFailure::kSave;
    }
    return ShortcutFailure::kNone;
}

std::string ReadShortcutTarget(const std::u16string& linkPath) {
    const std::string path = WideToMultiByte(CodePage::kAnsi, linkPath);
    if (path.empty()) {
        return std::string();
    }
    char buffer[kMaxPath];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof(buffer));
    // A target that does not fit the 260-char buffer cannot be read.
    if (length <= 0 || static_cast<size_t>(length) >= sizeof(buffer)) {
        if (length < 0) {
            SetLastErrorFromErrno();
        }
        return std::string();
    }
    return std::string(buffer, static_cast<size_t>(length));
}

bool RemoveFile(const std::string& path) {
    struct stat status;
    if (lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        SetLastError(kErrorAccessDenied);
        return false;
    }
    if (unlink(path.c_str()) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    return true;
}

std::string GetWorkingFolder() {
    char buffer[4096];
    if (getcwd(buffer, sizeof(buffer)) == nullptr) {
        SetLastErrorFromErrno();
        return std::string();
    }
    return buffer;
}

bool SetWorkingFolder(const std::string& path) {
    if (path.empty() || chdir(path.c_str()) != 0) {
        if (path.empty()) {
            SetLastError(kErrorInvalidParameter);
        } else {
            SetLastErrorFromErrno();
        }
        return false;
    }
    return true;
}

void FindFilesWithSuffix(const std::string& suffix, const FoundEntry& found) {
    DIR* dir = opendir(".");
    if (dir == nullptr) {
        SetLastErrorFromErrno();
        return;
    }
    std::vector<std::pair<std::string, bool>> entries;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !EndsWithIgnoringAsciiCase(name, suffix)) {
            continue;
        }
        struct stat status;
        const bool isDirectory = lstat(name.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
        entries.emplace_back(name, isDirectory);
    }
    closedir(dir);
    for (const auto& entry : entries) {
        found(entry.first, entry.second);
    }
}

}  // namespace platform
