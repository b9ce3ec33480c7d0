// The checks of a package's archive: its entries' names, methods and sizes from the central
// directory, then every entry inflated a chunk at a time to its size and CRC.
#pragma once

#include <unzip.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "archive_end.h"

namespace ferrylift_pack {

struct ArchiveFacts {
    size_t entries = 0;
    uint64_t unpacked = 0;    // the sum of the directory's uncompressed sizes
    uint64_t clientSize = 0;  // of the top-level client
};

// At most this many refused names are listed; the rest are counted.
constexpr size_t kNamesShown = 20;

// Checks the archive; the client's bytes are written to client. Returns what is wrong, one
// message a line ("entry <name> <reason>" or "its archive <reason>"); empty when all is well.
// end: what the end records say.
std::vector<std::string> CheckArchive(unzFile zip, const ArchiveEnd& end, size_t maxNameBytes,
                                      std::FILE* client, ArchiveFacts* facts);

}  // namespace ferrylift_pack
