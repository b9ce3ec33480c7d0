#include "scratch_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace fs = std::filesystem;

namespace ferrylift_pack {
namespace {

std::string RandomPart() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[12] = {};
    if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        // Unpredictable enough to avoid collisions; O_EXCL keeps it safe either way.
        for (unsigned char& byte : bytes) {
            byte = static_cast<unsigned char>(rand());
        }
    }
    std::string out;
    for (unsigned char byte : bytes) {
        out += kChars[byte % (sizeof kChars - 1)];
    }
    return out;
}

fs::path FolderOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::string DescriptorPath(int fd, const std::string& fallback) {
    struct stat st {};
    return ::stat("/proc/self/fd", &st) == 0 ? "/proc/self/fd/" + std::to_string(fd) : fallback;
}

ScratchFile::~ScratchFile() {
    Remove();
}

bool ScratchFile::Create(const fs::path& beside, std::string* error) {
    const fs::path folder = FolderOf(beside);
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        *error = folder.string() + ": cannot open the folder: " + std::strerror(errno);
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name =
            "." + beside.filename().string() + "." + RandomPart() + ".ferrylift-pack";
        const int fd =
            ::openat(dirFd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            Adopt(fd, dirFd, name, folder / name);
            return true;
        }
        if (errno != EEXIST) {
            *error = (folder / name).string() + ": cannot create: " + std::strerror(errno);
            break;
        }
    }
    if (error->empty()) {
        *error = folder.string() + ": cannot find a free scratch name";
    }
    ::close(dirFd);
    return false;
}

void ScratchFile::Adopt(int fd, int dirFd, std::string name, fs::path shown) {
    Remove();
    fd_ = fd;
    dirFd_ = dirFd;
    name_ = std::move(name);
    shown_ = std::move(shown);
}

std::FILE* ScratchFile::Stream(const char* mode) const {
    const int copy = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        return nullptr;
    }
    std::FILE* stream = ::fdopen(copy, mode);
    if (stream == nullptr) {
        ::close(copy);
        return nullptr;
    }
    std::rewind(stream);
    return stream;
}

std::string ScratchFile::AccessPath() const {
    return DescriptorPath(fd_, shown_.string());
}

uint64_t ScratchFile::Size() const {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

bool ScratchFile::NameIsOurs() const {
    struct stat named {};
    struct stat open {};
    return fd_ >= 0 && ::fstatat(dirFd_, name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(fd_, &open) == 0 && SameFile(named, open);
}

bool ScratchFile::MoveTo(const fs::path& target, std::string* error) {
    if (!NameIsOurs()) {
        *error = shown_.string() + ": the scratch file was moved or replaced by someone else";
        return false;
    }
    if (::renameat(dirFd_, name_.c_str(), AT_FDCWD, target.c_str()) != 0) {
        *error = target.string() + ": cannot move the package there: " + std::strerror(errno);
        return false;
    }
    name_.clear();
    return true;
}

void ScratchFile::Remove() {
    if (!name_.empty() && NameIsOurs()) {
        ::unlinkat(dirFd_, name_.c_str(), 0);
    }
    name_.clear();
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (dirFd_ >= 0) {
        ::close(dirFd_);
    }
    fd_ = dirFd_ = -1;
}

ScratchFolder::~ScratchFolder() {
    if (fd_ < 0) {
        return;
    }
    // Empty it through the descriptor, then remove it by name if the name is still it.
    const int listFd = ::dup(fd_);
    if (DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr) {
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                ::unlinkat(fd_, entry->d_name, 0);
            }
        }
        ::closedir(dir);
    } else if (listFd >= 0) {
        ::close(listFd);
    }
    struct stat named {};
    struct stat open {};
    if (::lstat(path_.c_str(), &named) == 0 && ::fstat(fd_, &open) == 0 && SameFile(named, open)) {
        ::rmdir(path_.c_str());
    }
    ::close(fd_);
}

bool ScratchFolder::Create(const fs::path& beside, std::string* error) {
    std::string pattern =
        (FolderOf(beside) / ("." + beside.filename().string() + ".XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        *error = pattern + ": cannot create a private folder: " + std::strerror(errno);
        return false;
    }
    const int fd = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
        // Not ours any more: nothing in it is touched.
        if (fd >= 0) {
            ::close(fd);
        }
        *error = pattern + ": the private folder was replaced by someone else";
        return false;
    }
    fd_ = fd;
    path_ = pattern;
    return true;
}

std::string ScratchFolder::AccessPath(const std::string& name) const {
    return DescriptorPath(fd_, path_.string()) + "/" + name;
}

}  // namespace ferrylift_pack
