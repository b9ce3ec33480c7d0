// Scratch files beside the package being written. The output folder may be writable by others,
// so names are unpredictable and created with O_EXCL|O_NOFOLLOW: a link or file planted there is
// never opened. Once created, a scratch file is reached only through its descriptor (other
// programs get its /proc/self/fd path), so renaming it behind our back changes nothing we read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace ferrylift_pack {

// "/proc/self/fd/<fd>" where the system has it (the file the descriptor holds, whatever its name
// now), else fallback.
std::string DescriptorPath(int fd, const std::string& fallback);

class ScratchFile {
public:
    ScratchFile() = default;
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // A new empty file, mode 0600, in the folder of beside, named after it. False with *error.
    bool Create(const std::filesystem::path& beside, std::string* error);
    // Takes over a file opened here (a descriptor) whose name is name in the folder dirFd.
    void Adopt(int fd, int dirFd, std::string name, std::filesystem::path shown);

    int fd() const { return fd_; }
    // A stream over a duplicate of the descriptor, positioned at the start; the caller closes it.
    std::FILE* Stream(const char* mode) const;
    // The path another program or a path-based reader opens this very file by.
    std::string AccessPath() const;
    uint64_t Size() const;
    const std::filesystem::path& shownPath() const { return shown_; }

    // Renames the file to target if its name still refers to it; it is then no longer removed.
    bool MoveTo(const std::filesystem::path& target, std::string* error);
    // Removes the file now if its name still refers to it.
    void Remove();

private:
    bool NameIsOurs() const;

    int fd_ = -1;
    int dirFd_ = -1;  // the folder its name lives in
    std::string name_;
    std::filesystem::path shown_;
};

// A private folder (mkdtemp, mode 0700) beside the output, for a program that creates its output
// by name, such as the signing tool. Reached through its descriptor; removed with what it holds.
class ScratchFolder {
public:
    ScratchFolder() = default;
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool Create(const std::filesystem::path& beside, std::string* error);
    int fd() const { return fd_; }
    const std::filesystem::path& path() const { return path_; }
    // The path of name inside the folder, through the folder's descriptor.
    std::string AccessPath(const std::string& name) const;

private:
    int fd_ = -1;
    std::filesystem::path path_;
};

}  // namespace ferrylift_pack
