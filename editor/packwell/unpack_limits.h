// What an unpack accepts. The host refuses a larger "tracks.xml" anyway.
#pragma once

#include <cstdint>

namespace packwell {

// Largest "tracks.xml" read.
inline constexpr uint64_t kMaxDocumentBytes = 16u << 20;

}  // namespace packwell
