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

std::string GetTempPath(std::string* refused) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder;
    if (runtime != nullptr && runtime[0] == '/') {
        folder = WithoutTrailingSeparator(runtime);
    } else {
        const char* value = std::getenv("TMPDIR");
        std::string shared = value != nullptr && value[0] == '/' ? value : "/tmp";
        folder = WithoutTrailingSeparator(shared) + "/ferrylift-" + std::to_string(geteuid());
        // Made by us, or there already: either way it is checked below before use.
        mkdir(folder.c_str(), 0700);
    }
    if (folder.size() + 1 >= kMaxPath) {
        SetLastError(kErrorFilenameExcedRange);
        return std::string();
    }
    // Opened without following a link: a link planted under the name fails here. Others cannot
    // rename a folder of ours out of a sticky /tmp afterwards.
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno != ELOOP && errno != ENOTDIR) {
        SetLastErrorFromErrno();  // missing or unreadable: nothing was planted
        return std::string();
    }
    struct stat st;
    bool ours = fd >= 0 && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
    if (ours && (st.st_mode & 077) != 0) {
        ours = fchmod(fd, 0700) == 0;
    }
    if (fd >= 0) {
        close(fd);
    }
    if (!ours) {
        if (refused != nullptr) {
            *refused = folder;
        }
        SetLastError(kErrorAccessDenied);
        return std::string();
    }
    return folder + "/";
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
