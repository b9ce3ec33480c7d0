#include "platform/directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>

#include "platform/error.h"
#include "platform/path.h"
#include "platform/text.h"

namespace platform {

bool PathExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

bool CreateDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0777) != 0) {
        if (errno == ENOENT) {
            SetLastError(path.empty() ? kErrorPathNotFound : kErrorPathNotFound);
        } else {
            SetLastErrorFromErrno();
        }
        return false;
    }
    SetLastError(kErrorSuccess);
    return true;
}

int CreateDirectoryAll(const std::string& path) {
    auto fail = [](uint32_t code) {
        SetLastError(code);
        return static_cast<int>(code);
    };
    if (path.size() >= kMaxPath) {
        return fail(kErrorFilenameExcedRange);
    }
    // Whole characters only: in GBK a trail byte may be '\\'.
    std::string full = path;
    for (size_t i = 0; i < full.size();) {
        const size_t n = AnsiCharSize(full.data() + i, full.size() - i);
        if (n == 1 && full[i] == '\\') {
            full[i] = '/';
        }
        i += n;
    }
    if (full.empty() || full[0] != '/') {
        return fail(kErrorBadPathname);
    }
    while (full.size() > 1 && full.back() == '/') {
        full.pop_back();
    }
    if (PathExists(full)) {
        return fail(kErrorAlreadyExists);
    }
    // Create each missing level from the top down; levels that exist already are fine.
    for (size_t pos = full.find('/', 1);; pos = full.find('/', pos + 1)) {
        std::string level = full.substr(0, pos);
        if (!level.empty() && level.back() != '/' && mkdir(level.c_str(), 0777) != 0 &&
            errno != EEXIST) {
            return fail(errno == ENOENT ? kErrorPathNotFound : ErrorFromErrno(errno));
        }
        if (pos == std::string::npos) {
            break;
        }
    }
    struct stat st;
    if (stat(full.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return fail(kErrorPathNotFound);
    }
    return fail(kErrorSuccess);
}

bool GetDiskFreeSpace(const std::string& folder, uint64_t* freeBytes) {
    struct statvfs volume;
    if (statvfs(folder.c_str(), &volume) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    *freeBytes = static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize;
    SetLastError(kErrorSuccess);
    return true;
}

bool ListFolder(const std::string& folder, const FolderEntry& found) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        SetLastErrorFromErrno();
        return false;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat st;
        const bool isDirectory =
            fstatat(dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        found(name, isDirectory);
    }
    closedir(dir);
    return true;
}

}  // namespace platform
