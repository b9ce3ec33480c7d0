// Known folders after the XDG base directories; relative values are ignored as XDG requires.
#include "platform/known_folders.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/path.h"

namespace platform {
namespace {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return home;
    }
    struct passwd* entry = getpwuid(getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string FromEnvironment(const char* variable, const char* belowHome) {
    const char* value = std::getenv(variable);
    std::string path;
    if (value != nullptr && value[0] == '/') {
        path = value;
    } else {
        std::string home = HomeFolder();
        if (home.empty()) {
            SetLastError(kErrorPathNotFound);
            return std::string();
        }
        path = WithoutTrailingSeparator(home) + "/" + belowHome;
    }
    path = WithoutTrailingSeparator(path);
    if (path.size() >= kMaxPath) {
        SetLastError(kErrorFilenameExcedRange);
        return std::string();
    }
    return path;
}

}  // namespace

std::string GetKnownFolder(KnownFolder folder) {
    switch (folder) {
        case KnownFolder::kRoamingAppData:
            return FromEnvironment("XDG_CONFIG_HOME", ".config");
        case KnownFolder::kLocalAppData:
            return FromEnvironment("XDG_DATA_HOME", ".local/share");
        case KnownFolder::kDesktop:
            return FromEnvironment("XDG_DESKTOP_DIR", "Desktop");
    }
    SetLastError(kErrorInvalidParameter);
    return std::string();
}

std::string GetModuleFileName() {
    std::vector<char> buffer(kMaxPath);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) {
        SetLastErrorFromErrno();
        return std::string();
    }
    if (static_cast<size_t>(n) >= buffer.size()) {
        SetLastError(kErrorFilenameExcedRange);
        return std::string();
    }
    return std::string(buffer.data(), static_cast<size_t>(n));
}

}  // namespace platform
