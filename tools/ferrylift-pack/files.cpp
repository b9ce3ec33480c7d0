#include "files.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "support/file_version_info.h"
#include "unicode/utf.h"

namespace fs = std::filesystem;

namespace ferrylift_pack {
namespace {

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

}  // namespace

bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>* data) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        return false;
    }
    long size = std::ftell(file.get());
    if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) {
        return false;
    }
    data->resize(static_cast<size_t>(size));
    return std::fread(data->data(), 1, data->size(), file.get()) == data->size();
}

TempFile::TempFile() {
    std::error_code error;
    std::string pattern = (fs::temp_directory_path(error) / "ferrylift-pack-XXXXXX").string();
    int descriptor = mkstemp(pattern.data());
    if (descriptor >= 0) {
        close(descriptor);
        path_ = pattern;
    }
}

TempFile::~TempFile() {
    if (!kept_ && !path_.empty()) {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
}

bool ReadFileVersions(const fs::path& path, FileVersions* versions) {
    FileVersionInfo info;
    info.setFileName(utf::Utf8ToUtf16(path.string()));
    if (!info.Read() || info.ProductVersion.empty()) {
        return false;
    }
    versions->productVersion = Narrow(info.productVersion());
    std::string fixed = Narrow(info.fixedFileVersion());
    std::replace(fixed.begin(), fixed.end(), ',', '.');
    versions->fixedFileVersion = fixed;
    return true;
}

}  // namespace ferrylift_pack
