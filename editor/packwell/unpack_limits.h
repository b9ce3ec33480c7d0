// What one unpack accepts, checked from the package's central directory
// before anything is written and enforced again while writing. A package
// beyond them is no lesson track but a mistake or a bomb.
#pragma once

#include <cstdint>

namespace packwell {

// Entries of a package: a day of lessons with a picture every second has
// fewer than 30,000.
inline constexpr uint64_t kMaxEntries = 60000;
// One entry: a 100-megapixel picture uncompressed is 300 MB.
inline constexpr uint64_t kMaxEntryBytes = 512ull << 20;
// All entries together.
inline constexpr uint64_t kMaxUnpackedBytes = 4ull << 30;
// The "tracks.xml"; the host refuses a larger one anyway.
inline constexpr uint64_t kMaxDocumentBytes = 16ull << 20;
// Free space an unpack leaves on the store's disk.
inline constexpr uint64_t kFreeSpaceMargin = 32ull << 20;

}  // namespace packwell
