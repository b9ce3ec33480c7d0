// The temporary folder on POSIX: a private folder of this process, made fresh below a parent
// ($XDG_RUNTIME_DIR, else $TMPDIR, else /tmp) that may be shared with other users. Everything
// in it is done through the folder's open descriptor, so no name can be swapped in between;
// the parent itself is never changed. This user's folders of earlier runs are removed.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/error.h"
#include "platform/file.h"
#include "platform/guid.h"
#include "platform/known_folders.h"
#include "platform/path.h"
#include "platform/posix/descriptor.h"
#include "platform/temp_file.h"

namespace platform {
namespace {

// The private folder of this process, kept open (and share-locked, so that a cleanup by
// another run of this user passes it by) while its parent stays the same.
struct PrivateFolder {
    std::string parent;
    std::string path;
    int fd = -1;
};
PrivateFolder g_folder;

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string ParentFolder() {
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] == '/') {
            return WithoutTrailingSeparator(value);
        }
    }
    return "/tmp";
}

std::string OwnPrefix() {
    return "ferrylift-" + std::to_string(geteuid());
}

// Removes what the open folder holds, links never followed.
void RemoveContents(int folder) {
    int listing = dup(folder);
    DIR* dir = listing >= 0 ? fdopendir(listing) : nullptr;
    if (dir == nullptr) {
        if (listing >= 0) {
            close(listing);
        }
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat st;
        if (fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
            int inner =
                openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (inner >= 0) {
                RemoveContents(inner);
                close(inner);
            }
            unlinkat(folder, name.c_str(), AT_REMOVEDIR);
        } else {
            unlinkat(folder, name.c_str(), 0);
        }
    }
    closedir(dir);
}

// This user's folders of earlier runs ("ferrylift-<uid>" and "ferrylift-<uid>.*"), unless a
// running process still holds one. Other users' folders of any name are left alone.
void RemoveEarlierFolders(int parent) {
    int listing = dup(parent);
    DIR* dir = listing >= 0 ? fdopendir(listing) : nullptr;
    if (dir == nullptr) {
        if (listing >= 0) {
            close(listing);
        }
        return;
    }
    const std::string prefix = OwnPrefix();
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != prefix && name.rfind(prefix + ".", 0) != 0) {
            continue;
        }
        struct stat st;
        if (fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != geteuid()) {
            continue;
        }
        int folder = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder < 0) {
            continue;
        }
        if (flock(folder, LOCK_EX | LOCK_NB) == 0) {
            RemoveContents(folder);
            unlinkat(parent, name.c_str(), AT_REMOVEDIR);
        }
        close(folder);
    }
    closedir(dir);
}

// Six characters from a new GUID's random part.
std::string RandomSuffix() {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const Guid guid = NewGuid();
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += kLetters[guid.data4[2 + i] % (sizeof kLetters - 1)];
    }
    return suffix;
}

// Refusal of the parent: *refused says why, LastError() is kErrorAccessDenied.
bool Refuse(std::string* refused, const std::string& why) {
    if (refused != nullptr) {
        *refused = why;
    }
    SetLastError(kErrorAccessDenied);
    return false;
}

bool CreatePrivateFolder(const std::string& parentPath, std::string* refused) {
    int parent = open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) {
        SetLastErrorFromErrno();  // missing or unreadable: there is nothing to refuse
        return false;
    }
    struct stat st;
    bool ok = fstat(parent, &st) == 0;
    // Others who may write a folder without the sticky bit may rename what is in it; so may
    // the owner of a sticky one, which must then be us or the system.
    if (ok && (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0) {
        ok = Refuse(refused,
                    "folder(" + parentPath + ") may be written by others and is not sticky");
    } else if (ok && st.st_uid != geteuid() && st.st_uid != 0) {
        ok = Refuse(refused, "folder(" + parentPath + ") belongs to another user");
    }
    if (ok) {
        RemoveEarlierFolders(parent);
        ok = false;
        // A name someone else holds is stepped around: another one is drawn.
        for (int attempt = 0; attempt < 100 && !ok; ++attempt) {
            const std::string name = OwnPrefix() + "." + RandomSuffix();
            if (mkdirat(parent, name.c_str(), 0700) != 0) {
                if (errno == EEXIST) {
                    continue;
                }
                SetLastErrorFromErrno();
                break;
            }
            int folder =
                openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            struct stat mine;
            struct stat named;
            // Locked before another run's cleanup could take it; still the folder of that name.
            if (folder >= 0 && flock(folder, LOCK_SH | LOCK_NB) == 0 && fstat(folder, &mine) == 0 &&
                fstatat(parent, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                mine.st_ino == named.st_ino && mine.st_dev == named.st_dev &&
                mine.st_uid == geteuid()) {
                // Exactly 0700, whatever the umask or a setgid parent added or took away.
                fchmod(folder, 0700);
                g_folder = {parentPath, parentPath + "/" + name, folder};
                ok = true;
            } else if (folder >= 0) {
                close(folder);
            }
        }
    }
    close(parent);
    return ok;
}

// The private folder for the current parent, made when there is none (or it was removed).
bool EnsurePrivateFolder(std::string* refused) {
    const std::string parent = ParentFolder();
    struct stat st;
    if (g_folder.fd >= 0 && g_folder.parent == parent && fstat(g_folder.fd, &st) == 0 &&
        st.st_nlink > 0) {
        return true;
    }
    if (g_folder.fd >= 0) {
        close(g_folder.fd);
        g_folder = PrivateFolder();
    }
    return CreatePrivateFolder(parent, refused);
}

}  // namespace

std::string GetTempPath(std::string* refused) {
    if (!EnsurePrivateFolder(refused)) {
        return std::string();
    }
    if (g_folder.path.size() + 1 >= kMaxPath) {
        SetLastError(kErrorFilenameExcedRange);
        return std::string();
    }
    return g_folder.path + "/";
}

FileHandle CreateTempFile(const std::string& name) {
    if (!EnsurePrivateFolder(nullptr)) {
        return nullptr;
    }
    // Made anew: an earlier file of this process under the name goes first.
    if (unlinkat(g_folder.fd, name.c_str(), 0) != 0 && errno != ENOENT) {
        SetLastErrorFromErrno();
        return nullptr;
    }
    int fd;
    do {
        fd = openat(g_folder.fd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return nullptr;
    }
    SetLastError(kErrorSuccess);
    return FileFromDescriptor(fd);
}

bool RemoveTempFile(const std::string& name) {
    if (g_folder.fd < 0) {
        SetLastError(kErrorFileNotFound);
        return false;
    }
    if (unlinkat(g_folder.fd, name.c_str(), 0) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    return true;
}

}  // namespace platform
