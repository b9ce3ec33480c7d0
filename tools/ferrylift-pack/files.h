// File helpers of the packager: a FILE closed on every way out, whole-file reads, temporary
// files that remove themselves, and the project's version reader on a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace ferrylift_pack {

// Files are copied and compared in pieces of this size.
constexpr size_t kChunkSize = 1 << 16;

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};
// An open FILE, closed on every way out.
using File = std::unique_ptr<std::FILE, FileCloser>;

bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>* data);

// A new empty file in the temporary folder, removed on every way out unless kept.
class TempFile {
public:
    TempFile();
    explicit TempFile(std::filesystem::path path) : path_(std::move(path)) {}
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::filesystem::path& path() const { return path_; }
    bool valid() const { return !path_.empty(); }
    void Keep() { kept_ = true; }

private:
    std::filesystem::path path_;
    bool kept_ = false;
};

struct FileVersions {
    std::string productVersion;    // the ProductVersion text
    std::string fixedFileVersion;  // the fixed file version as "a.b.c.d"
};

// Reads the version resource of a file with the installer's own reader. False when it has
// none the installer could read.
bool ReadFileVersions(const std::filesystem::path& path, FileVersions* versions);

}  // namespace ferrylift_pack
