// Little-endian integers in byte buffers, as the file formats the installer reads and writes
// store them (package trailer, PE headers, version resources, ZIP records).
#pragma once

#include <cstdint>

namespace little_endian {

inline uint16_t ReadU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline uint64_t ReadU64(const uint8_t* p) {
    return static_cast<uint64_t>(ReadU32(p)) | static_cast<uint64_t>(ReadU32(p + 4)) << 32;
}

inline void WriteU16(uint16_t value, uint8_t* p) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

inline void WriteU32(uint32_t value, uint8_t* p) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

inline void WriteU64(uint64_t value, uint8_t* p) {
    WriteU32(static_cast<uint32_t>(value), p);
    WriteU32(static_cast<uint32_t>(value >> 32), p + 4);
}

}  // namespace little_endian
