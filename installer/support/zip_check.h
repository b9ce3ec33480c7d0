// Checks of a whole archive before anything of it is written: what it would write, and whether
// every entry's data is whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/zip_extract.h"

// One entry as the archive's central directory lists it.
struct ZipListedEntry {
    std::string name;  // as stored (bytes; UTF-8 when utf8 is set)
    bool utf8 = false;
    uint64_t size = 0;  // uncompressed
    // Where ZipExtractEx writes it below the destination; empty for a folder entry.
    std::string path;
};

// The entries of the archive zip in stored order, read from its central directory
// alone, with their output paths below destDir. False, with the reason in the library log,
// when the archive cannot be read.
bool ZipListEntries(const ZipSource& zip, const std::string& destDir,
                    std::vector<ZipListedEntry>* entries);

// Inflates every entry without writing it anywhere: each must give exactly its stored size and
// CRC. False at the first that does not, with the entry named in the library log.
bool ZipVerifyEntries(const ZipSource& zip);
