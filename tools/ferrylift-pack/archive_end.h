// Where an archive's central directory lies, read from its end record and, for archives of
// 65,535 entries or more, its ZIP64 end record and locator. The trailer's dataSize is right
// when the offsets these records hold count from the start the trailer gives.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace ferrylift_pack {

struct ArchiveEnd {
    uint64_t entries = 0;
    uint64_t directoryOffset = 0;
    uint64_t directorySize = 0;
    bool zip64 = false;
    std::string comment;  // the archive's comment, after the end record
};

// Reads the end records of the archive at [offset, offset + size) of file. Returns "" or the
// rule the archive breaks, with the offsets involved.
std::string ReadArchiveEnd(std::FILE* file, uint64_t offset, uint64_t size, ArchiveEnd* end);

}  // namespace ferrylift_pack
