#include "pe/pe_image.h"

#include <cstring>

#include "pe/little_endian.h"

namespace pe {

using little_endian::Read16;
using little_endian::Read32;

bool ParseHeaders(const uint8_t* data, size_t size, Headers* headers) {
    if (data == nullptr || !InRange(size, 0, 0x40) || data[0] != 'M' || data[1] != 'Z') {
        return false;
    }
    const uint64_t signature = Read32(data + 0x3c);
    if (!InRange(size, signature, 24) || std::memcmp(data + signature, "PE\0\0", 4) != 0) {
        return false;
    }
    Headers result;
    result.coffAt = signature + 4;
    const uint8_t* coff = data + result.coffAt;
    result.machine = Read16(coff);
    result.sectionCount = Read16(coff + 2);
    result.optionalSize = Read16(coff + 16);
    result.characteristics = Read16(coff + 18);
    result.optionalAt = signature + 24;
    if (result.optionalSize < 2 || !InRange(size, result.optionalAt, result.optionalSize)) {
        return false;
    }
    const uint8_t* optional = data + result.optionalAt;
    result.magic = Read16(optional);
    uint64_t countAt = 0;
    if (result.magic == 0x20b) {
        countAt = 108;
    } else if (result.magic == 0x10b) {
        countAt = 92;
    } else {
        return false;
    }
    if (result.optionalSize < countAt + 4) {
        return false;
    }
    result.subsystem = Read16(optional + kSubsystemAt);
    result.directoryCount = Read32(optional + countAt);
    result.directoriesAt = result.optionalAt + countAt + 4;
    result.sectionTableAt = result.optionalAt + result.optionalSize;
    *headers = result;
    return true;
}

bool FindDirectory(const uint8_t* data, const Headers& headers, uint32_t index,
                   DataDirectory* directory) {
    const uint64_t at = headers.directoriesAt + uint64_t{index} * 8;
    if (index >= headers.directoryCount || at + 8 > headers.optionalAt + headers.optionalSize) {
        return false;
    }
    directory->entryAt = at;
    directory->address = Read32(data + at);
    directory->size = Read32(data + at + 4);
    return true;
}

bool ReadSections(const uint8_t* data, size_t size, const Headers& headers,
                  std::vector<Section>* sections) {
    if (!InRange(size, headers.sectionTableAt,
                 uint64_t{headers.sectionCount} * kSectionHeaderSize)) {
        return false;
    }
    sections->clear();
    for (uint16_t i = 0; i < headers.sectionCount; ++i) {
        const uint8_t* s = data + headers.sectionTableAt + uint64_t{i} * kSectionHeaderSize;
        sections->push_back({Read32(s + 12), Read32(s + 8), Read32(s + 16), Read32(s + 20)});
    }
    return true;
}

bool RvaToOffset(const std::vector<Section>& sections, size_t size, uint64_t rva, uint64_t length,
                 uint64_t* offset) {
    for (const Section& s : sections) {
        if (rva >= s.virtualAddress && rva - s.virtualAddress < s.rawSize &&
            length <= s.rawSize - (rva - s.virtualAddress)) {
            *offset = s.rawPointer + (rva - s.virtualAddress);
            return InRange(size, *offset, length);
        }
    }
    return false;
}

bool FindResourceRoot(const uint8_t* data, size_t size, const Headers& headers,
                      const std::vector<Section>& sections, uint64_t* root) {
    DataDirectory resources;
    return FindDirectory(data, headers, kResourceDirectory, &resources) && resources.address != 0 &&
           RvaToOffset(sections, size, resources.address, 16, root);
}

bool ReadResourceDirectory(const uint8_t* data, size_t size, uint64_t root, uint32_t offset,
                           ResourceDirectory* directory) {
    const uint64_t at = root + offset;
    if (!InRange(size, at, 16)) {
        return false;
    }
    const uint32_t named = Read16(data + at + 12);
    const uint64_t count = uint64_t{named} + Read16(data + at + 14);
    if (!InRange(size, at + 16, count * 8)) {
        return false;
    }
    directory->named = named;
    directory->entries.clear();
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* entry = data + at + 16 + i * 8;
        directory->entries.push_back({Read32(entry), Read32(entry + 4)});
    }
    return true;
}

const ResourceEntry* FindResourceId(const ResourceDirectory& directory, uint32_t id) {
    for (size_t i = directory.named; i < directory.entries.size(); ++i) {
        if (directory.entries[i].id == id) {
            return &directory.entries[i];
        }
    }
    return nullptr;
}

bool ReadResourceData(const uint8_t* data, size_t size, uint64_t root, uint32_t offset,
                      uint32_t* rva, uint32_t* length) {
    if (!InRange(size, root + offset, 16)) {
        return false;
    }
    *rva = Read32(data + root + offset);
    *length = Read32(data + root + offset + 4);
    return true;
}

}  // namespace pe
