#include "version_stamp.h"

#include <algorithm>
#include <cstring>

#include "pe/little_endian.h"
#include "pe/pe_image.h"
#include "platform/version_resource.h"
#include "version_tree.h"

namespace ferrylift_pack {
namespace {

using little_endian::Read16;
using little_endian::Read32;
using little_endian::Write16;
using little_endian::Write32;

// What stamping needs of the program: its headers, sections and resource tree.
struct PeImage {
    pe::Headers headers;
    std::vector<pe::Section> sections;
    uint64_t resourceRoot = 0;
};

bool ParsePe(const std::vector<uint8_t>& image, PeImage* pe) {
    return pe::ParseHeaders(image.data(), image.size(), &pe->headers) &&
           pe::ReadSections(image.data(), image.size(), pe->headers, &pe->sections) &&
           pe::FindResourceRoot(image.data(), image.size(), pe->headers, pe->sections,
                                &pe->resourceRoot);
}

// File offsets of the data entries of every RT_VERSION resource (all names and languages).
bool VersionDataEntries(const std::vector<uint8_t>& image, const PeImage& pe,
                        std::vector<uint64_t>* entries) {
    const uint8_t* data = image.data();
    const size_t size = image.size();
    const uint64_t root = pe.resourceRoot;
    pe::ResourceDirectory types;
    if (!pe::ReadResourceDirectory(data, size, root, 0, &types)) {
        return false;
    }
    for (const pe::ResourceEntry& type : types.entries) {
        if (type.id != pe::kResourceTypeVersion || !type.IsDirectory()) {
            continue;
        }
        pe::ResourceDirectory names;
        if (!pe::ReadResourceDirectory(data, size, root, type.Offset(), &names)) {
            return false;
        }
        for (const pe::ResourceEntry& name : names.entries) {
            pe::ResourceDirectory languages;
            if (!name.IsDirectory() ||
                !pe::ReadResourceDirectory(data, size, root, name.Offset(), &languages)) {
                return false;
            }
            for (const pe::ResourceEntry& leaf : languages.entries) {
                if (leaf.IsDirectory() || !pe::InRange(size, root + leaf.Offset(), 16)) {
                    return false;
                }
                entries->push_back(root + leaf.Offset());
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
        if (!pe::RvaToOffset(pe.sections, image->size(), rva, size, &offset)) {
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
    const uint64_t optional = pe.headers.optionalAt;
    const uint16_t sectionCount = pe.headers.sectionCount;
    if (!moved.empty()) {
        const uint32_t sectionAlignment = Read32(data + optional + pe::kSectionAlignmentAt);
        const uint32_t fileAlignment = Read32(data + optional + pe::kFileAlignmentAt);
        const uint32_t headersSize = Read32(data + optional + pe::kSizeOfHeadersAt);
        const uint64_t newHeader =
            pe.headers.sectionTableAt + uint64_t{sectionCount} * pe::kSectionHeaderSize;
        uint64_t firstRaw = headersSize;
        uint64_t imageEnd = 0;
        for (const pe::Section& s : pe.sections) {
            if (s.rawSize != 0) {
                firstRaw = std::min<uint64_t>(firstRaw, s.rawPointer);
            }
            imageEnd = std::max<uint64_t>(
                imageEnd, uint64_t{s.virtualAddress} + std::max(s.virtualSize, s.rawSize));
        }
        if (sectionAlignment == 0 || fileAlignment == 0 ||
            newHeader + pe::kSectionHeaderSize > firstRaw ||
            std::any_of(data + newHeader, data + newHeader + pe::kSectionHeaderSize,
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
        Write16(static_cast<uint16_t>(sectionCount + 1), data + pe.headers.coffAt + 2);
        Write32(static_cast<uint32_t>(Align(virtualAddress + content.size(), sectionAlignment)),
                data + optional + pe::kSizeOfImageAt);
        Write32(Read32(data + optional + pe::kSizeOfInitializedDataAt) + rawSize,
                data + optional + pe::kSizeOfInitializedDataAt);
        content.resize(rawSize, 0);
        image->resize(rawPointer, 0);
        image->insert(image->end(), content.begin(), content.end());
        data = image->data();
    }
    if (Read32(data + optional + pe::kCheckSumAt) != 0) {
        Write32(PeChecksum(*image, optional + pe::kCheckSumAt),
                image->data() + optional + pe::kCheckSumAt);
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
