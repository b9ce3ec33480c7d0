// Little-endian integers read from and written to bytes one at a time, so neither the host's
// byte order nor the alignment of the buffer matters.
#pragma once

#include <cstdint>

namespace little_endian {

inline uint16_t Read16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t Read64(const uint8_t* p) {
    return static_cast<uint64_t>(Read32(p)) | (static_cast<uint64_t>(Read32(p + 4)) << 32);
}

inline void Write16(uint16_t value, uint8_t* out) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

inline void Write32(uint32_t value, uint8_t* out) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void Write64(uint64_t value, uint8_t* out) {
    Write32(static_cast<uint32_t>(value), out);
    Write32(static_cast<uint32_t>(value >> 32), out + 4);
}

}  // namespace little_endian
