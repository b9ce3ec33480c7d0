#include "platform/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/error.h"
#include "platform/known_folders.h"

struct platform::RegistryKeyObject {
    std::string folder;
};

namespace platform {
namespace {

uint32_t Finish(uint32_t code) {
    SetLastError(code);
    return code;
}

uint32_t FinishErrno() {
    return Finish(ErrorFromErrno(errno));
}

// The folder of a key below the hive, or empty when the key path cannot name a folder (an
// empty level, "." or ".." would alias or climb out of the tree).
std::string KeyFolder(const std::string& subKey) {
    std::string roaming = GetKnownFolder(KnownFolder::kRoamingAppData);
    if (roaming.empty()) {
        return std::string();
    }
    std::string folder = roaming + "/registry/HKEY_CURRENT_USER";
    size_t start = 0;
    while (start <= subKey.size()) {
        size_t end = subKey.find('\\', start);
        if (end == std::string::npos) {
            end = subKey.size();
        }
        std::string level = subKey.substr(start, end - start);
        if (level.empty() || level == "." || level == ".." ||
            level.find('/') != std::string::npos) {
            return std::string();
        }
        folder += '/';
        folder += level;
        start = end + 1;
    }
    return folder;
}

// The file of a value; empty for a name no file can carry.
std::string ValueFile(const RegistryKeyObject* key, const std::string& name) {
    if (name.empty()) {
        return key->folder + "/@";
    }
    if (name == "." || name == ".." || name.find('/') != std::string::npos) {
        return std::string();
    }
    return key->folder + "/" + name;
}

bool IsFolder(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

uint32_t MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        std::string level = folder.substr(0, slash);
        if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
            return ErrorFromErrno(errno);
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    return IsFolder(folder) ? kErrorSuccess : kErrorAccessDenied;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

}  // namespace

uint32_t RegistryOpenKey(const std::string& subKey, RegistryKey* key) {
    *key = nullptr;
    std::string folder = KeyFolder(subKey);
    if (folder.empty()) {
        return Finish(subKey.empty() ? kErrorFileNotFound : kErrorInvalidParameter);
    }
    if (!IsFolder(folder)) {
        return Finish(kErrorFileNotFound);
    }
    *key = new RegistryKeyObject{folder};
    return Finish(kErrorSuccess);
}

uint32_t RegistryCreateKey(const std::string& subKey, RegistryKey* key) {
    *key = nullptr;
    std::string folder = KeyFolder(subKey);
    if (folder.empty()) {
        return Finish(kErrorInvalidParameter);
    }
    uint32_t result = MakeFolders(folder);
    if (result != kErrorSuccess) {
        return Finish(result);
    }
    *key = new RegistryKeyObject{folder};
    return Finish(kErrorSuccess);
}

uint32_t RegistrySetValue(RegistryKey key, const std::string& name, uint32_t /*type*/,
                          const void* data, uint32_t size) {
    if (key == nullptr || (data == nullptr && size > 0)) {
        return Finish(kErrorInvalidHandle);
    }
    std::string file = ValueFile(key, name);
    if (file.empty()) {
        return Finish(kErrorInvalidParameter);
    }
    // Write beside the value, then rename over it: a value is replaced whole or not at all.
    std::string temp = file + ".tmp-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return FinishErrno();
    }
    bool written = WriteAll(fd, static_cast<const uint8_t*>(data), size);
    int savedErrno = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        savedErrno = errno;
    }
    if (!written || ::rename(temp.c_str(), file.c_str()) != 0) {
        if (written) {
            savedErrno = errno;
        }
        ::unlink(temp.c_str());
        return Finish(ErrorFromErrno(savedErrno));
    }
    return Finish(kErrorSuccess);
}

uint32_t RegistryQueryValue(RegistryKey key, const std::string& name, uint32_t* type,
                            std::vector<uint8_t>* data) {
    if (type != nullptr) {
        *type = 0;
    }
    if (key == nullptr || data == nullptr) {
        return Finish(kErrorInvalidHandle);
    }
    data->clear();
    std::string file = ValueFile(key, name);
    if (file.empty()) {
        return Finish(kErrorInvalidParameter);
    }
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return Finish(errno == ENOENT ? kErrorFileNotFound : ErrorFromErrno(errno));
    }
    uint8_t chunk[4096];
    for (;;) {
        ssize_t done = ::read(fd, chunk, sizeof chunk);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            int savedErrno = errno;
            ::close(fd);
            return Finish(ErrorFromErrno(savedErrno));
        }
        if (done == 0) {
            break;
        }
        data->insert(data->end(), chunk, chunk + done);
    }
    ::close(fd);
    return Finish(kErrorSuccess);
}

uint32_t RegistryDeleteTree(const std::string& subKey) {
    std::string folder = KeyFolder(subKey);
    if (folder.empty()) {
        return Finish(kErrorInvalidParameter);
    }
    if (!IsFolder(folder)) {
        return Finish(kErrorFileNotFound);
    }
    // Depth-first removal without following symbolic links.
    std::vector<std::string> pending{folder};
    std::vector<std::string> folders;
    while (!pending.empty()) {
        std::string current = pending.back();
        pending.pop_back();
        folders.push_back(current);
        int fd = ::open(current.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            return FinishErrno();
        }
        DIR* dir = ::fdopendir(fd);
        if (dir == nullptr) {
            ::close(fd);
            return FinishErrno();
        }
        while (struct dirent* entry = ::readdir(dir)) {
            std::string entryName = entry->d_name;
            if (entryName == "." || entryName == "..") {
                continue;
            }
            std::string path = current + "/" + entryName;
            struct stat status {};
            if (::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
                pending.push_back(path);
            } else if (::unlink(path.c_str()) != 0) {
                ::closedir(dir);
                return FinishErrno();
            }
        }
        ::closedir(dir);
    }
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        if (::rmdir(it->c_str()) != 0) {
            return FinishErrno();
        }
    }
    return Finish(kErrorSuccess);
}

void RegistryCloseKey(RegistryKey key) {
    delete key;
}

}  // namespace platform
