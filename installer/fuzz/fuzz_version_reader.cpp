// The POSIX version reader on arbitrary file bytes: the PE / ELF locator and the block walk in
// memory, then the whole FileVersionInfo::Read over the same bytes written to a file. Every
// value handed out must lie inside the block it came from; the sanitizers catch any read past
// the exact-size buffers.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/version_resource.h"
#include "support/file_version_info.h"

namespace {

const char* const kKeys[] = {"FileDescription", "FileVersion",    "InternalName",
                             "CompanyName",     "LegalCopyright", "OriginalFilename",
                             "ProductName",     "ProductVersion"};

std::u16string Ascii(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

// Queries sub-blocks the way FileVersionInfo does and touches every byte of each answer.
void WalkBlock(const uint8_t* block, size_t size) {
    const void* value = nullptr;
    uint32_t length = 0;
    const uint8_t* end = block + size;
    if (platform::QueryVersionBlock(block, size, u"\\", &value, &length)) {
        const auto* v = static_cast<const uint8_t*>(value);
        Check(v >= block && v + length <= end);
    }
    uint16_t pair[2] = {0x0804, 0x04b0};
    if (platform::QueryVersionBlock(block, size, u"\\VarFileInfo\\Translation", &value, &length)) {
        const auto* v = static_cast<const uint8_t*>(value);
        Check(v >= block && v + length <= end);
        if (length >= 4)
            std::memcpy(pair, v, sizeof pair);
    }
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "\\StringFileInfo\\%04x%04x\\", pair[0], pair[1]);
    for (const char* key : kKeys) {
        if (!platform::QueryVersionBlock(block, size, Ascii(std::string(prefix) + key), &value,
                                         &length))
            continue;
        // Texts count characters, binary values bytes: either way the first length bytes are
        // inside. Reading a text to its end is FileVersionInfo's part, checked through Read.
        const auto* v = static_cast<const uint8_t*>(value);
        if (length != 0)
            Check(v >= block && v + length <= end);
    }
}

// Memory-backed when the system has such a folder: a file is written for every input.
std::string ScratchFile() {
    std::error_code ec;
    std::filesystem::path folder = "/dev/shm";
    if (!std::filesystem::is_directory(folder, ec))
        folder = std::filesystem::temp_directory_path();
    std::string name = (folder / "fuzz_version_reader.XXXXXX").string();
    const int fd = mkstemp(name.data());
    if (fd < 0)
        abort();
    close(fd);
    static std::string removeAtExit;
    removeAtExit = name;
    atexit([] { unlink(removeAtExit.c_str()); });
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The bytes as a bare VS_VERSIONINFO block: reaches the walk without a valid container.
    WalkBlock(data, size);

    size_t offset = 0, length = 0;
    for (uint16_t language : {platform::kSimplifiedChinese, uint16_t{0x0409}}) {
        if (platform::FindVersionResource(data, size, &offset, &length, language)) {
            Check(length >= 6 && offset <= size && length <= size - offset);
            std::vector<uint8_t> blob(data + offset, data + offset + length);
            WalkBlock(blob.data(), blob.size());
        }
    }

    // The file path: GetFileVersionInfoSize / GetFileVersionInfo / VerQueryValue.
    static const std::string path = ScratchFile();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        abort();
    std::fclose(file);
    FileVersionInfo info;
    info.setFileName(Ascii(path));
    const bool read = info.Read();
    // A successful read has both fixed texts; a failed one leaves them empty.
    Check(read == !info.fixedFileVersion().empty());
    Check(read == !info.fixedProductVersion().empty());
    return 0;
}
