// Portable parts of the version resource reader: the VS_VERSIONINFO walk and the PE / ELF
// locators. Everything is bounds-checked against the buffer it was given.
#include <cstring>

#include "platform/version_resource.h"
#include "support/little_endian.h"

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

bool InRange(size_t size, uint64_t offset, uint64_t length) {
    return offset <= size && length <= size - offset;
}

bool FindInPe(const uint8_t* image, size_t size, uint16_t userLanguage, size_t* offset,
              size_t* length) {
    if (!InRange(size, 0, 0x40))
        return false;
    const uint32_t peOffset = Read32(image + 0x3c);
    if (!InRange(size, peOffset, 24))
        return false;
    if (std::memcmp(image + peOffset, "PE\0\0", 4) != 0)
        return false;
    const uint8_t* coff = image + peOffset + 4;
    const uint16_t sectionCount = Read16(coff + 2);
    const uint16_t optionalSize = Read16(coff + 16);
    const uint64_t optional = uint64_t{peOffset} + 24;
    if (!InRange(size, optional, optionalSize) || optionalSize < 2)
        return false;
    const uint16_t magic = Read16(image + optional);
    uint64_t dirCountAt = 0;
    if (magic == 0x10b) {
        dirCountAt = 92;
    } else if (magic == 0x20b) {
        dirCountAt = 108;
    } else {
        return false;
    }
    if (optionalSize < dirCountAt + 4)
        return false;
    const uint32_t dirCount = Read32(image + optional + dirCountAt);
    const uint64_t resourceDir = dirCountAt + 4 + 2 * 8;
    if (dirCount < 3 || optionalSize < resourceDir + 8)
        return false;
    const uint32_t resourceRva = Read32(image + optional + resourceDir);
    if (resourceRva == 0)
        return false;

    const uint64_t sections = optional + optionalSize;
    if (!InRange(size, sections, uint64_t{sectionCount} * 40))
        return false;
    // Maps an RVA to a file offset through the section that holds it.
    auto toFile = [&](uint64_t rva, uint64_t need, uint64_t* fileOffset) {
        for (uint16_t i = 0; i < sectionCount; ++i) {
            const uint8_t* s = image + sections + uint64_t{i} * 40;
            const uint64_t va = Read32(s + 12);
            const uint64_t raw = Read32(s + 16);
            const uint64_t rawPtr = Read32(s + 20);
            if (rva >= va && rva - va < raw && need <= raw - (rva - va)) {
                *fileOffset = rawPtr + (rva - va);
                return InRange(size, *fileOffset, need);
            }
        }
        return false;
    };
    uint64_t root = 0;
    if (!toFile(resourceRva, 16, &root))
        return false;

    // Three fixed levels (type, name, language): no recursion, so no loops.
    auto entries = [&](uint64_t dir, uint64_t* first, uint32_t* named, uint32_t* ids) {
        if (!InRange(size, dir, 16))
            return false;
        *named = Read16(image + dir + 12);
        *ids = Read16(image + dir + 14);
        *first = dir + 16;
        return InRange(size, *first, (uint64_t{*named} + *ids) * 8);
    };
    uint64_t first = 0;
    uint32_t named = 0, ids = 0;
    if (!entries(root, &first, &named, &ids))
        return false;
    // Finds the id entry of a directory; named entries (high bit set) never match.
    auto findId = [&](uint64_t dirFirst, uint32_t dirNamed, uint32_t dirIds, uint32_t id,
                      uint32_t* out) {
        for (uint32_t i = dirNamed; i < dirNamed + dirIds; ++i) {
            const uint8_t* e = image + dirFirst + uint64_t{i} * 8;
            if (Read32(e) == id) {
                *out = Read32(e + 4);
                return true;
            }
        }
        return false;
    };
    auto subdirectory = [&](uint32_t entry) {
        return (entry & 0x80000000u) != 0 &&
               entries(root + (entry & 0x7fffffffu), &first, &named, &ids);
    };
    uint32_t next = 0;
    if (!findId(first, named, ids, 16 /* RT_VERSION */, &next) || !subdirectory(next))
        return false;
    // Windows looks for the resource with id 1 (VS_VERSION_INFO) only.
    if (!findId(first, named, ids, 1, &next) || !subdirectory(next))
        return false;
    if (named + ids == 0)
        return false;
    // Languages in the order the system loader tries them for a neutral request; none of them
    // present: the first one.
    const uint16_t preferred[] = {0x0000, userLanguage, static_cast<uint16_t>(userLanguage & 0x3ff),
                                  0x0409, 0x0009};
    bool chosen = false;
    for (uint16_t language : preferred) {
        if (findId(first, named, ids, language, &next)) {
            chosen = true;
            break;
        }
    }
    if (!chosen)
        next = Read32(image + first + 4);
    if ((next & 0x80000000u) != 0)
        return false;
    const uint64_t leaf = root + next;
    if (!InRange(size, leaf, 16))
        return false;
    uint64_t data = 0;
    const uint32_t dataSize = Read32(image + leaf + 4);
    if (dataSize < 6 || !toFile(Read32(image + leaf), dataSize, &data))
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
