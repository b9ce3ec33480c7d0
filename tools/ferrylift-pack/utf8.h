// UTF-8 decoding shared by the packager's name rules and its wide paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ferrylift_pack {

// The code point that starts at text[*i]; *i moves past it. Lenient: a cut or malformed
// sequence gives what its bytes spell and never reads past the end.
inline uint32_t NextCodePoint(const std::string& text, size_t* i) {
    const unsigned char c = static_cast<unsigned char>(text[*i]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 0xE ? 3 : 4;
    if (length > text.size() - *i) {
        length = text.size() - *i;
    }
    uint32_t code = length == 1 ? c : c & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        code = code << 6 | (static_cast<unsigned char>(text[*i + k]) & 0x3F);
    }
    *i += length;
    return code;
}

}  // namespace ferrylift_pack
