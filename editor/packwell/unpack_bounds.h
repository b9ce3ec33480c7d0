// An unpack is refused before it writes anything when the package claims more
// than the limits (unpack_limits.h) or the store's free space allow.
#pragma once

#include "packwell.h"

#include <zip.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace packwell {

struct PlannedFile {
    zip_uint64_t index;
    std::filesystem::path target;
    uint64_t size;  // as the central directory declares it
};

// Why an unpack was refused: error for the log, reason for the teacher
// (Chinese, naming the limit; empty for failures that are no refusal).
struct Refusal {
    std::string error;
    std::string reason;
};

// The declared unpacked size of entry index; false when the package does not
// say.
bool DeclaredSize(zip_t* archive, zip_uint64_t index, uint64_t& size);

// None, or TooLarge / DiskFull with the refusal filled in. entryCount counts
// every entry of the package, written or not; files are those to be written,
// documentIndex the "tracks.xml" entry.
PackwellFailure CheckUnpackBounds(zip_t* archive, uint64_t entryCount,
                                  const std::vector<PlannedFile>& files, zip_uint64_t documentIndex,
                                  const std::filesystem::path& targetRoot, Refusal& refusal);

}  // namespace packwell
