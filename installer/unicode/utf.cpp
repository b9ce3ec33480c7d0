#include "unicode/utf.h"

namespace utf {
namespace {

// The code point of the UTF-8 sequence at s[i]; false for a byte that starts no valid
// sequence (a stray continuation byte, a cut sequence, an overlong form, a surrogate, a value
// past U+10FFFF). *length is the sequence's byte count when valid.
bool Decode(const unsigned char* s, size_t n, size_t i, uint32_t* code, size_t* length) {
    const unsigned char c = s[i];
    uint32_t cp;
    size_t len;
    if (c < 0x80) {
        cp = c;
        len = 1;
    } else if (c >= 0xC2 && c < 0xE0) {
        cp = c & 0x1F;
        len = 2;
    } else if (c >= 0xE0 && c < 0xF0) {
        cp = c & 0x0F;
        len = 3;
    } else if (c >= 0xF0 && c < 0xF5) {
        cp = c & 0x07;
        len = 4;
    } else {
        return false;
    }
    if (i + len > n) {
        return false;
    }
    for (size_t k = 1; k < len; ++k) {
        if ((s[i + k] & 0xC0) != 0x80) {
            return false;
        }
        cp = cp << 6 | (s[i + k] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are invalid.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
        return false;
    }
    *code = cp;
    *length = len;
    return true;
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();) {
        uint32_t cp = 0;
        size_t len = 0;
        if (!Decode(s, text.size(), i, &cp, &len)) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len;
    }
    return out;
}

bool IsValidUtf8(const std::string& text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();) {
        uint32_t cp = 0;
        size_t len = 0;
        if (!Decode(s, text.size(), i, &cp, &len)) {
            return false;
        }
        i += len;
    }
    return true;
}

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

// Lone surrogates cannot be written: they become replacement (UTF-8) or '?' (other sets).
std::string Utf16ToUtf8(const std::u16string& text, uint32_t replacement) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = replacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

size_t Utf8SequenceLength(unsigned char c) {
    if (c >= 0xF0) {
        return 4;
    }
    if (c >= 0xE0) {
        return 3;
    }
    if (c >= 0xC0) {
        return 2;
    }
    return 1;
}

}  // namespace utf
