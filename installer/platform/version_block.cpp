// Portable parts of the version resource reader: the VS_VERSIONINFO walk and the PE / ELF
// locators. Everything is bounds-checked against the buffer it was given.
#include <cstring>
#include <vector>

#include "pe/little_endian.h"
#include "pe/pe_image.h"
#include "platform/version_resource.h"

namespace platform {
namespace {

using little_endian::Read16;
using little_endian::Read32;
using little_endian::Read64;

size_t Align4(size_t v) {
    return (v + 3) & ~static_cast<size_t>(3);
}

char16_t Lower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

// One block of the tree: [begin, end) inside the buffer.
struct Block {
    size_t begin = 0;
    size_t end = 0;
    size_t keyBegin = 0;  // first char of the zero-terminated key
    size_t keyChars = 0;  // without terminator
    size_t valueBegin = 0;
    size_t valueBytes = 0;
    uint16_t valueLength = 0;
    uint16_t type = 0;
    size_t childrenBegin = 0;
};

// Parses the block header at offset, limited to limit. False on any inconsistency.
bool ParseBlock(const uint8_t* buf, size_t offset, size_t limit, Block* block) {
    if (offset + 6 > limit)
        return false;
    const size_t length = Read16(buf + offset);
    if (length < 6 || offset + length > limit)
        return false;
    block->begin = offset;
    block->end = offset + length;
    block->valueLength = Read16(buf + offset + 2);
    block->type = Read16(buf + offset + 4);
    block->keyBegin = offset + 6;
    size_t p = block->keyBegin;
    while (true) {
        if (p + 2 > block->end)
            return false;
        if (Read16(buf + p) == 0)
            break;
        p += 2;
    }
    block->keyChars = (p - block->keyBegin) / 2;
    block->valueBegin = Align4(p + 2);
    block->valueBytes = block->type == 1 ? size_t{block->valueLength} * 2 : block->valueLength;
    if (block->valueBegin > block->end) {
        // A key that fills the block exactly leaves no room for the padding: no value, no children.
        if (block->valueBytes != 0)
            return false;
        block->valueBegin = block->end;
    }
    if (block->valueBytes > block->end - block->valueBegin) {
        // Some writers count the text's terminator in the length, others do not; clip a text
        // value to its block, refuse a binary one.
        if (block->type != 1)
            return false;
        block->valueBytes = (block->end - block->valueBegin) & ~static_cast<size_t>(1);
    }
    block->childrenBegin = Align4(block->valueBegin + block->valueBytes);
    if (block->childrenBegin > block->end)
        block->childrenBegin = block->end;
    return true;
}

bool KeyEquals(const uint8_t* buf, const Block& block, const std::u16string& key) {
    if (block.keyChars != key.size())
        return false;
    for (size_t i = 0; i < key.size(); ++i) {
        if (Lower(static_cast<char16_t>(Read16(buf + block.keyBegin + 2 * i))) != Lower(key[i]))
            return false;
    }
    return true;
}

}  // namespace

bool QueryVersionBlock(const uint8_t* block, size_t size, const std::u16string& subBlock,
                       const void** value, uint32_t* length) {
    if (block == nullptr || value == nullptr)
        return false;
    Block current;
    if (!ParseBlock(block, 0, size, &current))
        return false;

    size_t pos = 0;
    while (pos < subBlock.size()) {
        while (pos < subBlock.size() && subBlock[pos] == u'\\')
            ++pos;
        if (pos >= subBlock.size())
            break;
        size_t stop = subBlock.find(u'\\', pos);
        if (stop == std::u16string::npos)
            stop = subBlock.size();
        const std::u16string key = subBlock.substr(pos, stop - pos);
        pos = stop;

        bool found = false;
        size_t child = current.childrenBegin;
        // Each child is at least 6 bytes long, so the walk always moves forward and ends.
        while (child + 6 <= current.end) {
            Block next;
            if (!ParseBlock(block, child, current.end, &next))
                return false;
            if (KeyEquals(block, next, key)) {
                current = next;
                found = true;
                break;
            }
            child = Align4(next.end);
        }
        if (!found)
            return false;
    }

    if (current.begin == 0 && current.valueBytes == 0)
        return false;  // no fixed part
    static const char16_t kEmpty[1] = {0};
    if (current.valueBytes == 0) {
        *value = current.type == 1 ? static_cast<const void*>(kEmpty) : block + current.valueBegin;
        if (length)
            *length = 0;
        return true;
    }
    if (current.type == 1) {
        // The caller reads up to the terminator: make sure there is one inside the block.
        size_t chars = current.valueBytes / 2;
        size_t n = 0;
        while (n < chars && Read16(block + current.valueBegin + 2 * n) != 0)
            ++n;
        if (n == chars)
            return false;
        if (length)
            *length = static_cast<uint32_t>(chars);
    } else if (length) {
        *length = static_cast<uint32_t>(current.valueBytes);
    }
    *value = block + current.valueBegin;
    return true;
}

namespace {

using pe::InRange;

bool FindInPe(const uint8_t* image, size_t size, uint16_t userLanguage, size_t* offset,
              size_t* length) {
    pe::Headers headers;
    std::vector<pe::Section> sections;
    uint64_t root = 0;
    if (!pe::ParseHeaders(image, size, &headers) ||
        !pe::ReadSections(image, size, headers, &sections) ||
        !pe::FindResourceRoot(image, size, headers, sections, &root))
        return false;
    // Three fixed levels (type, name, language): no recursion, so no loops.
    pe::ResourceDirectory directory;
    auto subdirectory = [&](const pe::ResourceEntry* entry) {
        return entry != nullptr && entry->IsDirectory() &&
               pe::ReadResourceDirectory(image, size, root, entry->Offset(), &directory);
    };
    if (!pe::ReadResourceDirectory(image, size, root, 0, &directory) ||
        !subdirectory(pe::FindResourceId(directory, pe::kResourceTypeVersion)))
        return false;
    // Windows looks for the resource with id 1 (VS_VERSION_INFO) only.
    if (!subdirectory(pe::FindResourceId(directory, 1)) || directory.entries.empty())
        return false;
    // Languages in the order the system loader tries them for a neutral request; none of them
    // present: the first one.
    const uint16_t preferred[] = {0x0000, userLanguage, static_cast<uint16_t>(userLanguage & 0x3ff),
                                  0x0409, 0x0009};
    const pe::ResourceEntry* chosen = nullptr;
    for (uint16_t language : preferred) {
        if ((chosen = pe::FindResourceId(directory, language)) != nullptr)
            break;
    }
    if (chosen == nullptr)
        chosen = &directory.entries.front();
    uint32_t rva = 0;
    uint32_t dataSize = 0;
    uint64_t data = 0;
    if (chosen->IsDirectory() ||
        !pe::ReadResourceData(image, size, root, chosen->Offset(), &rva, &dataSize) ||
        dataSize < 6 || !pe::RvaToOffset(sections, size, rva, dataSize, &data))
        return false;
    *offset = static_cast<size_t>(data);
    *length = dataSize;
    return true;
}

bool FindInElf(const uint8_t* image, size_t size, size_t* offset, size_t* length) {
    if (!InRange(size, 0, 52) || image[5] != 1)
        return false;  // little-endian only
    const bool is64 = image[4] == 2;
    if (!is64 && image[4] != 1)
        return false;
    if (is64 && !InRange(size, 0, 64))
        return false;
    const uint64_t shoff = is64 ? Read64(image + 0x28) : Read32(image + 0x20);
    const uint16_t shentsize = Read16(image + (is64 ? 0x3a : 0x2e));
    const uint16_t shnum = Read16(image + (is64 ? 0x3c : 0x30));
    const uint16_t shstrndx = Read16(image + (is64 ? 0x3e : 0x32));
    const uint16_t need = is64 ? 64 : 40;
    if (shentsize < need || shstrndx >= shnum)
        return false;
    if (!InRange(size, shoff, uint64_t{shnum} * shentsize))
        return false;
    auto header = [&](uint16_t i, uint32_t* name, uint64_t* off, uint64_t* len, uint32_t* type) {
        const uint8_t* s = image + shoff + uint64_t{i} * shentsize;
        *name = Read32(s);
        *type = Read32(s + 4);
        *off = is64 ? Read64(s + 0x18) : Read32(s + 0x10);
        *len = is64 ? Read64(s + 0x20) : Read32(s + 0x14);
    };
    uint32_t n = 0, type = 0;
    uint64_t strOff = 0, strLen = 0;
    header(shstrndx, &n, &strOff, &strLen, &type);
    if (!InRange(size, strOff, strLen))
        return false;
    static const char kName[] = ".ferrylift_version";
    for (uint16_t i = 0; i < shnum; ++i) {
        uint64_t off = 0, len = 0;
        header(i, &n, &off, &len, &type);
        if (type == 8 /* SHT_NOBITS */ || n >= strLen || strLen - n < sizeof(kName))
            continue;
        if (std::memcmp(image + strOff + n, kName, sizeof(kName)) != 0)
            continue;
        if (len < 6 || !InRange(size, off, len))
            return false;
        *offset = static_cast<size_t>(off);
        *length = static_cast<size_t>(len);
        return true;
    }
    return false;
}

}  // namespace

bool FindVersionResource(const uint8_t* image, size_t size, size_t* offset, size_t* length,
                         uint16_t userLanguage) {
    if (image == nullptr || size < 4)
        return false;
    size_t off = 0, len = 0;
    bool ok = false;
    if (image[0] == 'M' && image[1] == 'Z') {
        ok = FindInPe(image, size, userLanguage, &off, &len);
    } else if (std::memcmp(image,
                           "\x7f"
                           "ELF",
                           4) == 0) {
        ok = FindInElf(image, size, &off, &len);
    }
    if (!ok)
        return false;
    // The blob's own length must fit what the container gives it.
    const size_t blobLength = Read16(image + off);
    if (blobLength < 6 || blobLength > len)
        return false;
    *offset = off;
    *length = blobLength;
    return true;
}

}  // namespace platform
