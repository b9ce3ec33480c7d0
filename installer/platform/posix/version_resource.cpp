// POSIX version resources: the file is mapped and the resource located by
// FindVersionResource; the lookup is QueryVersionBlock over the copied block.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/version_resource.h"

namespace platform {
namespace {

std::string ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xd800 && c < 0xdc00 && i + 1 < text.size() && text[i + 1] >= 0xdc00 &&
            text[i + 1] < 0xe000) {
            c = 0x10000 + ((c - 0xd800) << 10) + (text[i + 1] - 0xdc00);
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xe0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return out;
}

bool LoadResource(const std::u16string& path, std::vector<uint8_t>* resource) {
    const int fd = open(ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status {};
    const bool sized = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0;
    // Mapped, not read: an update package is the program followed by tens of MB of
    // archive, and only the headers and the resource itself are ever touched.
    void* image =
        sized ? mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ, MAP_PRIVATE, fd, 0)
              : MAP_FAILED;
    close(fd);
    if (image == MAP_FAILED)
        return false;
    const auto* bytes = static_cast<const uint8_t*>(image);
    const size_t size = static_cast<size_t>(status.st_size);
    size_t offset = 0, length = 0;
    const bool found = FindVersionResource(bytes, size, &offset, &length);
    if (found)
        resource->assign(bytes + offset, bytes + offset + length);
    munmap(image, size);
    return found;
}

}  // namespace

uint32_t GetFileVersionInfoSize(const std::u16string& path) {
    std::vector<uint8_t> resource;
    if (!LoadResource(path, &resource))
        return 0;
    return static_cast<uint32_t>(resource.size());
}

bool GetFileVersionInfo(const std::u16string& path, uint32_t size, void* data) {
    std::vector<uint8_t> resource;
    if (data == nullptr || size < 6 || !LoadResource(path, &resource))
        return false;
    const size_t n = resource.size() < size ? resource.size() : size;
    std::memcpy(data, resource.data(), n);
    // A short buffer holds a cut block: shrink its root length so lookups stay inside it.
    if (n < resource.size()) {
        auto* bytes = static_cast<uint8_t*>(data);
        bytes[0] = static_cast<uint8_t>(n & 0xff);
        bytes[1] = static_cast<uint8_t>((n >> 8) & 0xff);
    }
    return true;
}

bool VerQueryValue(const void* block, const std::u16string& subBlock, const void** value,
                   uint32_t* length) {
    if (block == nullptr)
        return false;
    const auto* bytes = static_cast<const uint8_t*>(block);
    const size_t size = static_cast<size_t>(bytes[0] | (bytes[1] << 8));
    return QueryVersionBlock(bytes, size, subBlock, value, length);
}

}  // namespace platform
