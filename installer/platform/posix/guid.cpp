#include "platform/guid.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace platform {

Guid NewGuid() {
    uint8_t bytes[16];
    size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        got += static_cast<size_t>(n);
    }
    if (got < sizeof bytes) {
        // No kernel randomness: fall back to the library's source rather than repeat a GUID.
        std::random_device device;
        for (size_t i = got; i < sizeof bytes; ++i) {
            bytes[i] = static_cast<uint8_t>(device());
        }
    }
    Guid guid;
    guid.data1 = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
                 static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
    guid.data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
    // Version 4 (random), variant 1.
    guid.data3 = static_cast<uint16_t>(((bytes[6] << 8 | bytes[7]) & 0x0FFF) | 0x4000);
    for (int i = 0; i < 8; ++i) {
        guid.data4[i] = bytes[8 + i];
    }
    guid.data4[0] = static_cast<uint8_t>((guid.data4[0] & 0x3F) | 0x80);
    return guid;
}

std::u16string GuidToRegistryString(const Guid& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(guid.data1), guid.data2, guid.data3, guid.data4[0],
                  guid.data4[1], guid.data4[2], guid.data4[3], guid.data4[4], guid.data4[5],
                  guid.data4[6], guid.data4[7]);
    return std::u16string(text, text + 38);
}

}  // namespace platform
