// An archive's entries as its central directory lists them, and their data inflated a chunk at
// a time: what --verify checks and what a delta package compares, never a whole entry in memory.
#pragma once

#include <unzip.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ferrylift_pack {

struct ArchiveEntry {
    std::string stored;  // the name as the archive holds it
    bool utf8 = false;   // general-purpose flag bit 11
    uint64_t flag = 0;
    uint64_t method = 0;
    uint64_t size = 0;  // uncompressed, as the central directory says
    uint64_t compressedSize = 0;
    uint32_t crc = 0;
    unz64_file_pos position{};  // for unzGoToFilePos64
};

// Reads every entry's directory record, in stored order. Returns "" or what failed.
std::string ReadEntries(unzFile zip, std::vector<ArchiveEntry>* entries);

// Receives the data of an entry in order; false stops the reading early (not a failure).
using ChunkSink = std::function<bool(const uint8_t* data, size_t size)>;

// Inflates the current entry into sink in chunks and checks that it gives exactly entry.size
// bytes with the recorded CRC. Returns "" or the reason, such as "has a wrong CRC".
std::string InflateEntry(unzFile zip, const ArchiveEntry& entry, const ChunkSink& sink);

}  // namespace ferrylift_pack
