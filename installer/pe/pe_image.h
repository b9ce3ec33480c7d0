// Reading Windows program files (PE): the DOS and PE headers, the optional header's data
// directories, the section table, the resource tree and the security directory. Every read
// is checked against the buffer it is given; offsets are file offsets unless named RVA.
// Used by the version resource reader, the package format's signature rule and the
// packager's version stamping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pe {

// [offset, offset + length) lies inside a buffer of size bytes.
inline bool InRange(size_t size, uint64_t offset, uint64_t length) {
    return offset <= size && length <= size - offset;
}

// Data directories used here.
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kSecurityDirectory = 4;  // holds a file offset, not an RVA

// Fields of the optional header at the same place in PE32 and PE32+.
constexpr uint64_t kSizeOfInitializedDataAt = 8;
constexpr uint64_t kSectionAlignmentAt = 32;
constexpr uint64_t kFileAlignmentAt = 36;
constexpr uint64_t kSizeOfImageAt = 56;
constexpr uint64_t kSizeOfHeadersAt = 60;
constexpr uint64_t kCheckSumAt = 64;
constexpr uint64_t kSubsystemAt = 68;

constexpr uint64_t kSectionHeaderSize = 40;
constexpr uint32_t kResourceTypeVersion = 16;  // RT_VERSION

struct Headers {
    uint64_t coffAt = 0;   // the COFF file header, after the "PE\0\0" signature
    uint16_t machine = 0;  // 0x8664 x86-64, 0x14c x86
    uint16_t sectionCount = 0;
    uint16_t characteristics = 0;
    uint64_t optionalAt = 0;
    uint16_t optionalSize = 0;
    uint16_t magic = 0;      // 0x20b PE32+, 0x10b PE32
    uint16_t subsystem = 0;  // 2 Windows GUI, 3 console
    uint32_t directoryCount = 0;
    uint64_t directoriesAt = 0;  // the first data directory entry
    uint64_t sectionTableAt = 0;
};

// Parses the DOS header, the PE signature, the COFF header and the optional header up to its
// directory count in data[0, size). The section table is not looked at.
bool ParseHeaders(const uint8_t* data, size_t size, Headers* headers);

struct DataDirectory {
    uint64_t entryAt = 0;  // file offset of the directory's entry in the optional header
    uint32_t address = 0;  // an RVA, or a file offset for the security directory
    uint32_t size = 0;
};

// The data directory index when the optional header holds its entry.
bool FindDirectory(const uint8_t* data, const Headers& headers, uint32_t index,
                   DataDirectory* directory);

struct Section {
    uint32_t virtualAddress = 0;
    uint32_t virtualSize = 0;
    uint32_t rawSize = 0;
    uint32_t rawPointer = 0;
};

// The section table, when it lies inside data[0, size).
bool ReadSections(const uint8_t* data, size_t size, const Headers& headers,
                  std::vector<Section>* sections);

// The file offset of [rva, rva + length) when one section's raw data holds it all and it lies
// inside a file of size bytes.
bool RvaToOffset(const std::vector<Section>& sections, size_t size, uint64_t rva, uint64_t length,
                 uint64_t* offset);

// One entry of a resource directory: an id (or a name with the high bit set) and its target,
// a subdirectory (high bit set) or a data entry, both relative to the tree's root.
struct ResourceEntry {
    uint32_t id = 0;
    uint32_t target = 0;
    bool IsDirectory() const { return (target & 0x80000000u) != 0; }
    uint32_t Offset() const { return target & 0x7fffffffu; }
};

struct ResourceDirectory {
    uint32_t named = 0;  // the named entries come first
    std::vector<ResourceEntry> entries;
};

// The file offset of the resource tree's root directory (16 bytes checked).
bool FindResourceRoot(const uint8_t* data, size_t size, const Headers& headers,
                      const std::vector<Section>& sections, uint64_t* root);

// The directory at root + offset with all its entries.
bool ReadResourceDirectory(const uint8_t* data, size_t size, uint64_t root, uint32_t offset,
                           ResourceDirectory* directory);

// The id entry of a directory; named entries never match.
const ResourceEntry* FindResourceId(const ResourceDirectory& directory, uint32_t id);

// A resource data entry (at root + offset, 16 bytes checked): the data's RVA and size.
bool ReadResourceData(const uint8_t* data, size_t size, uint64_t root, uint32_t offset,
                      uint32_t* rva, uint32_t* length);

}  // namespace pe
