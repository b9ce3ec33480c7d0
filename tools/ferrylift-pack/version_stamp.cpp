#include "version_stamp.h"

#include <algorithm>
#include <cstring>

#include "platform/version_resource.h"
#include "support/little_endian.h"

namespace ferrylift_pack {
namespace {

using little_endian::Read16;
using little_endian::Read32;
using little_endian::Write16;
using little_endian::Write32;

size_t Align(size_t value, size_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// One block of a VS_VERSIONINFO tree.
struct VersionNode {
    std::u16string key;
    uint16_t type = 0;  // 1: the value is text
    std::vector<uint8_t> value;
    std::vector<VersionNode> children;
};

// Offsets are relative to the resource's start, which is 4-byte aligned in every container.
bool ParseNode(const uint8_t* blob, size_t begin, size_t limit, VersionNode* node, size_t* end) {
    if (begin + 6 > limit) {
        return false;
    }
    size_t length = Read16(blob + begin);
    if (length < 6 || begin + length > limit) {
        return false;
    }
    *end = begin + length;
    uint16_t valueLength = Read16(blob + begin + 2);
    node->type = Read16(blob + begin + 4);
    size_t p = begin + 6;
    for (;;) {
        if (p + 2 > *end) {
            return false;
        }
        char16_t c = Read16(blob + p);
        p += 2;
        if (c == 0) {
            break;
        }
        node->key += c;
    }
    size_t valueBegin = std::min(Align(p, 4), *end);
    size_t valueBytes = node->type == 1 ? size_t{valueLength} * 2 : valueLength;
    valueBytes = std::min(valueBytes, *end - valueBegin);
    node->value.assign(blob + valueBegin, blob + valueBegin + valueBytes);
    size_t child = Align(valueBegin + valueBytes, 4);
    while (child + 6 <= *end) {
        VersionNode next;
        size_t childEnd = 0;
        if (!ParseNode(blob, child, *end, &next, &childEnd)) {
            return false;
        }
        node->children.push_back(std::move(next));
        child = Align(childEnd, 4);
    }
    return true;
}

void Pad(std::vector<uint8_t>* out) {
    out->resize(Align(out->size(), 4), 0);
}

void WriteNode(const VersionNode& node, std::vector<uint8_t>* out) {
    size_t begin = out->size();
    out->resize(begin + 6, 0);
    for (char16_t c : node.key) {
        out->push_back(static_cast<uint8_t>(c));
        out->push_back(static_cast<uint8_t>(c >> 8));
    }
    out->push_back(0);
    out->push_back(0);
    Pad(out);
    out->insert(out->end(), node.value.begin(), node.value.end());
    for (const VersionNode& child : node.children) {
        Pad(out);
        WriteNode(child, out);
    }
    size_t valueLength = node.type == 1 ? node.value.size() / 2 : node.value.size();
    Write16(static_cast<uint16_t>(out->size() - begin), out->data() + begin);
    Write16(static_cast<uint16_t>(valueLength), out->data() + begin + 2);
    Write16(node.type, out->data() + begin + 4);
}

std::vector<uint8_t> TextValue(const std::string& ascii) {
    std::vector<uint8_t> value;
    for (char c : ascii) {
        value.push_back(static_cast<uint8_t>(c));
        value.push_back(0);
    }
    value.push_back(0);
    value.push_back(0);
    return value;
}

bool Versions(const std::string& carried, const std::string& lowest, uint16_t product[4],
              uint16_t file[4], std::string* reason) {
    if (!ParseVersionText(carried, product)) {
        *reason = "the version " + carried + " is not one to four numbers of 0 to 65535";
        return false;
    }
    if (!ParseVersionText(lowest, file)) {
        *reason = "the version " + lowest + " is not one to four numbers of 0 to 65535";
        return false;
    }
    return true;
}

// The new resource for an old one; false (with reason) when the old one is no version tree.
bool Restamp(const uint8_t* blob, size_t size, const std::string& carried,
             const std::string& lowest, std::vector<uint8_t>* out, std::string* reason) {
    uint16_t product[4];
    uint16_t file[4];
    if (!Versions(carried, lowest, product, file, reason)) {
        return false;
    }
    VersionNode root;
    size_t end = 0;
    if (!ParseNode(blob, 0, size, &root, &end) || root.key != u"VS_VERSION_INFO" ||
        root.value.size() < 24 || Read32(root.value.data()) != 0xfeef04bd) {
        *reason = "its version resource is damaged";
        return false;
    }
    Write32(static_cast<uint32_t>(file[0]) << 16 | file[1], root.value.data() + 8);
    Write32(static_cast<uint32_t>(file[2]) << 16 | file[3], root.value.data() + 12);
    Write32(static_cast<uint32_t>(product[0]) << 16 | product[1], root.value.data() + 16);
    Write32(static_cast<uint32_t>(product[2]) << 16 | product[3], root.value.data() + 20);
    bool productText = false;
    for (VersionNode& info : root.children) {
        if (info.key != u"StringFileInfo") {
            continue;
        }
        for (VersionNode& table : info.children) {
            for (VersionNode& entry : table.children) {
                if (entry.key == u"ProductVersion") {
                    entry.type = 1;
                    entry.value = TextValue(carried);
                    productText = true;
                } else if (entry.key == u"FileVersion") {
                    entry.type = 1;
                    entry.value = TextValue(lowest);
                }
            }
        }
    }
    if (!productText) {
        *reason = "its version resource has no ProductVersion text";
        return false;
    }
    out->clear();
    WriteNode(root, out);
    if (out->size() > 0xffff) {
        *reason = "the version resource would grow beyond 64 KiB";
        return false;
    }
    return true;
}

struct Section {
    uint32_t virtualAddress = 0;
    uint32_t virtualSize = 0;
    uint32_t rawSize = 0;
    uint32_t rawPointer = 0;
};

struct PeImage {
    uint64_t optional = 0;
    uint16_t optionalSize = 0;
    uint64_t sectionTable = 0;
    uint16_t sectionCount = 0;
    uint64_t resourceEntry = 0;  // data directory 2
    std::vector<Section> sections;
};

bool InRange(size_t size, uint64_t offset, uint64_t length) {
    return offset <= size && length <= size - offset;
}

bool ParsePe(const std::vector<uint8_t>& image, PeImage* pe) {
    const size_t size = image.size();
    if (!InRange(size, 0, 0x40)) {
        return false;
    }
    const uint64_t header = Read32(image.data() + 0x3c);
    if (!InRange(size, header, 24) || std::memcmp(image.data() + header, "PE\0\0", 4) != 0) {
        return false;
    }
    pe->sectionCount = Read16(image.data() + header + 6);
    pe->optionalSize = Read16(image.data() + header + 20);
    pe->optional = header + 24;
    if (!InRange(size, pe->optional, pe->optionalSize) || pe->optionalSize < 2) {
        return false;
    }
    uint16_t magic = Read16(image.data() + pe->optional);
    uint64_t directories = magic == 0x20b ? 112 : magic == 0x10b ? 96 : 0;
    if (directories == 0 || pe->optionalSize < directories + 3 * 8 ||
        Read32(image.data() + pe->optional + directories - 4) < 3) {
        return false;
    }
    pe->resourceEntry = pe->optional + directories + 2 * 8;
    pe->sectionTable = pe->optional + pe->optionalSize;
    if (!InRange(size, pe->sectionTable, uint64_t{pe->sectionCount} * 40)) {
        return false;
    }
    for (uint16_t i = 0; i < pe->sectionCount; ++i) {
        const uint8_t* s = image.data() + pe->sectionTable + uint64_t{i} * 40;
        pe->sections.push_back({Read32(s + 12), Read32(s + 8), Read32(s + 16), Read32(s + 20)});
    }
    return true;
}

bool RvaToFile(const PeImage& pe, size_t size, uint64_t rva, uint64_t length, uint64_t* offset) {
    for (const Section& s : pe.sections) {
        if (rva >= s.virtualAddress && rva - s.virtualAddress < s.rawSize &&
            length <= s.rawSize - (rva - s.virtualAddress)) {
            *offset = s.rawPointer + (rva - s.virtualAddress);
            return InRange(size, *offset, length);
        }
    }
    return false;
}

// File offsets of the data entries of every RT_VERSION resource (all names and languages).
bool VersionDataEntries(const std::vector<uint8_t>& image, const PeImage& pe,
                        std::vector<uint64_t>* entries) {
    const uint8_t* data = image.data();
    uint32_t resourceRva = Read32(data + pe.resourceEntry);
    uint64_t root = 0;
    if (resourceRva == 0 || !RvaToFile(pe, image.size(), resourceRva, 16, &root)) {
        return false;
    }
    // The entries of the directory at offset (relative to root); false when out of range.
    auto list = [&](uint64_t directory, std::vector<uint32_t>* ids,
                    std::vector<uint32_t>* targets) {
        uint64_t at = root + directory;
        if (!InRange(image.size(), at, 16)) {
            return false;
        }
        uint64_t count = uint64_t{Read16(data + at + 12)} + Read16(data + at + 14);
        if (!InRange(image.size(), at + 16, count * 8)) {
            return false;
        }
        for (uint64_t i = 0; i < count; ++i) {
            ids->push_back(Read32(data + at + 16 + i * 8));
            targets->push_back(Read32(data + at + 16 + i * 8 + 4));
        }
        return true;
    };
    std::vector<uint32_t> types, typeTargets;
    if (!list(0, &types, &typeTargets)) {
        return false;
    }
    for (size_t t = 0; t < types.size(); ++t) {
        if (types[t] != 16 || (typeTargets[t] & 0x80000000u) == 0) {
            continue;
        }
        std::vector<uint32_t> names, nameTargets;
        if (!list(typeTargets[t] & 0x7fffffffu, &names, &nameTargets)) {
            return false;
        }
        for (uint32_t nameTarget : nameTargets) {
            if ((nameTarget & 0x80000000u) == 0) {
                return false;
            }
            std::vector<uint32_t> languages, leaves;
            if (!list(nameTarget & 0x7fffffffu, &languages, &leaves)) {
                return false;
            }
            for (uint32_t leaf : leaves) {
                if ((leaf & 0x80000000u) != 0 || !InRange(image.size(), root + leaf, 16)) {
                    return false;
                }
                entries->push_back(root + leaf);
            }
        }
    }
    return !entries->empty();
}

// The PE checksum: 16-bit sums with carry over the file (checksum field as 0), plus its length.
uint32_t PeChecksum(const std::vector<uint8_t>& image, uint64_t checksumAt) {
    uint64_t sum = 0;
    for (size_t i = 0; i < image.size(); i += 2) {
        uint32_t word = image[i] | (i + 1 < image.size() ? image[i + 1] << 8 : 0);
        if (i == checksumAt || i == checksumAt + 2) {
            word = 0;
        }
        sum += word;
        sum = (sum & 0xffff) + (sum >> 16);
    }
    sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<uint32_t>(sum + image.size());
}

bool StampPe(std::vector<uint8_t>* image, const std::string& carried, const std::string& lowest,
             std::string* reason) {
    PeImage pe;
    std::vector<uint64_t> entries;
    if (!ParsePe(*image, &pe) || !VersionDataEntries(*image, pe, &entries)) {
        *reason = "it has no version resource";
        return false;
    }
    // Resources that outgrow their room, with their new bytes, for the added section.
    std::vector<std::pair<uint64_t, std::vector<uint8_t>>> moved;
    for (uint64_t entry : entries) {
        uint32_t rva = Read32(image->data() + entry);
        uint32_t size = Read32(image->data() + entry + 4);
        uint64_t offset = 0;
        if (!RvaToFile(pe, image->size(), rva, size, &offset)) {
            *reason = "its version resource lies outside the file";
            return false;
        }
        std::vector<uint8_t> stamped;
        if (!Restamp(image->data() + offset, size, carried, lowest, &stamped, reason)) {
            return false;
        }
        if (stamped.size() <= size) {
            std::fill(image->begin() + static_cast<std::ptrdiff_t>(offset),
                      image->begin() + static_cast<std::ptrdiff_t>(offset + size), 0);
            std::copy(stamped.begin(), stamped.end(),
                      image->begin() + static_cast<std::ptrdiff_t>(offset));
            Write32(static_cast<uint32_t>(stamped.size()), image->data() + entry + 4);
        } else {
            moved.emplace_back(entry, std::move(stamped));
        }
    }
    uint8_t* data = image->data();
    const uint64_t optional = pe.optional;
    if (!moved.empty()) {
        const uint32_t sectionAlignment = Read32(data + optional + 32);
        const uint32_t fileAlignment = Read32(data + optional + 36);
        const uint32_t headersSize = Read32(data + optional + 60);
        const uint64_t newHeader = pe.sectionTable + uint64_t{pe.sectionCount} * 40;
        uint64_t firstRaw = headersSize;
        uint64_t imageEnd = 0;
        for (const Section& s : pe.sections) {
            if (s.rawSize != 0) {
                firstRaw = std::min<uint64_t>(firstRaw, s.rawPointer);
            }
            imageEnd = std::max<uint64_t>(
                imageEnd, uint64_t{s.virtualAddress} + std::max(s.virtualSize, s.rawSize));
        }
        if (sectionAlignment == 0 || fileAlignment == 0 || newHeader + 40 > firstRaw ||
            std::any_of(data + newHeader, data + newHeader + 40,
                        [](uint8_t b) { return b != 0; })) {
            *reason = "its version resource must grow and its headers have no room for a section";
            return false;
        }
        std::vector<uint8_t> content;
        const uint32_t virtualAddress = static_cast<uint32_t>(Align(imageEnd, sectionAlignment));
        for (auto& [entry, bytes] : moved) {
            Pad(&content);
            Write32(virtualAddress + static_cast<uint32_t>(content.size()), data + entry);
            Write32(static_cast<uint32_t>(bytes.size()), data + entry + 4);
            content.insert(content.end(), bytes.begin(), bytes.end());
        }
        const uint32_t rawSize = static_cast<uint32_t>(Align(content.size(), fileAlignment));
        const uint32_t rawPointer = static_cast<uint32_t>(Align(image->size(), fileAlignment));
        uint8_t* header = data + newHeader;
        std::memcpy(header, ".rsrc2\0\0", 8);
        Write32(static_cast<uint32_t>(content.size()), header + 8);
        Write32(virtualAddress, header + 12);
        Write32(rawSize, header + 16);
        Write32(rawPointer, header + 20);
        Write32(0x40000040u, header + 36);  // initialised data, readable
        Write16(static_cast<uint16_t>(pe.sectionCount + 1), data + pe.optional - 18);
        Write32(static_cast<uint32_t>(Align(virtualAddress + content.size(), sectionAlignment)),
                data + optional + 56);
        Write32(Read32(data + optional + 8) + rawSize, data + optional + 8);
        content.resize(rawSize, 0);
        image->resize(rawPointer, 0);
        image->insert(image->end(), content.begin(), content.end());
        data = image->data();
    }
    if (Read32(data + optional + 64) != 0) {
        Write32(PeChecksum(*image, optional + 64), image->data() + optional + 64);
    }
    return true;
}

// The POSIX build keeps its resource in an ELF section of fixed size: rewritten in place.
bool StampElf(std::vector<uint8_t>* image, const std::string& carried, const std::string& lowest,
              std::string* reason) {
    size_t offset = 0;
    size_t length = 0;
    if (!platform::FindVersionResource(image->data(), image->size(), &offset, &length)) {
        *reason = "it has no version resource";
        return false;
    }
    std::vector<uint8_t> stamped;
    if (!Restamp(image->data() + offset, length, carried, lowest, &stamped, reason)) {
        return false;
    }
    if (stamped.size() > length) {
        *reason = "its version resource has no room for these version texts";
        return false;
    }
    std::fill(image->begin() + static_cast<std::ptrdiff_t>(offset),
              image->begin() + static_cast<std::ptrdiff_t>(offset + length), 0);
    std::copy(stamped.begin(), stamped.end(), image->begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

}  // namespace

bool ParseVersionText(const std::string& text, uint16_t fields[4]) {
    std::fill(fields, fields + 4, 0);
    size_t field = 0;
    size_t digits = 0;
    uint32_t value = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            if (digits == 0 || field == 4) {
                return false;
            }
            fields[field++] = static_cast<uint16_t>(value);
            value = 0;
            digits = 0;
        } else if (text[i] >= '0' && text[i] <= '9' && digits < 5) {
            value = value * 10 + static_cast<uint32_t>(text[i] - '0');
            ++digits;
            if (value > 0xffff) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

bool StampVersions(std::vector<uint8_t>* image, const std::string& carried,
                   const std::string& lowest, std::string* reason) {
    if (image->size() >= 4 && std::memcmp(image->data(),
                                          "\x7f"
                                          "ELF",
                                          4) == 0) {
        return StampElf(image, carried, lowest, reason);
    }
    return StampPe(image, carried, lowest, reason);
}

}  // namespace ferrylift_pack
