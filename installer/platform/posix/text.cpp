// Conversions on POSIX: UTF-8 <-> UTF-16 by hand; another locale character set through iconv
// with UTF-8 in the middle.
#include "platform/text.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstring>
#include <cwchar>

namespace platform {
namespace {

// The character set of the environment's locale, "" for UTF-8 (also for C and POSIX).
const std::string& AnsiCharset() {
    static const std::string charset = [] {
        locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
        if (locale == static_cast<locale_t>(0)) {
            return std::string();
        }
        std::string name = nl_langinfo_l(CODESET, locale);
        freelocale(locale);
        std::string upper;
        for (char c : name) {
            if (c != '-' && c != '_') {
                upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
            }
        }
        if (upper == "UTF8" || upper == "ANSIX3.41968" || upper == "ASCII" || upper.empty()) {
            return std::string();
        }
        return name;
    }();
    return charset;
}

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    size_t n = text.size();
    for (size_t i = 0; i < n;) {
        unsigned char c = s[i];
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
            out += u'\uFFFD';
            ++i;
            continue;
        }
        bool ok = i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) {
                ok = false;
            } else {
                cp = cp << 6 | (s[i + k] & 0x3F);
            }
        }
        // Overlong forms, surrogates and values past U+10FFFF are invalid.
        if (ok && ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                   (cp >= 0xD800 && cp <= 0xDFFF))) {
            ok = false;
        }
        if (!ok) {
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

// iconv from one set to another; input it cannot take is replaced and skipped.
std::string Convert(const char* to, const char* from, const std::string& text, bool fromUtf8) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string();
    }
    std::string out;
    std::string chunk(4096, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    while (inLeft > 0) {
        char* dst = &chunk[0];
        size_t dstLeft = chunk.size();
        size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(chunk.data(), chunk.size() - dstLeft);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            // Unmappable or invalid input: one replacement for one character.
            size_t skip = fromUtf8 ? Utf8SequenceLength(static_cast<unsigned char>(*in)) : 1;
            if (skip > inLeft) {
                skip = inLeft;
            }
            in += skip;
            inLeft -= skip;
            out += fromUtf8 ? "?" : "\xEF\xBF\xBD";
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::u16string MultiByteToWide(CodePage codePage, const std::string& text) {
    if (text.empty()) {
        return std::u16string();
    }
    const std::string& charset = AnsiCharset();
    if (codePage == CodePage::kUtf8 || charset.empty()) {
        return Utf8ToUtf16(text);
    }
    return Utf8ToUtf16(Convert("UTF-8", charset.c_str(), text, false));
}

std::string WideToMultiByte(CodePage codePage, const std::u16string& text) {
    if (text.empty()) {
        return std::string();
    }
    const std::string& charset = AnsiCharset();
    if (codePage == CodePage::kUtf8 || charset.empty()) {
        return Utf16ToUtf8(text, 0xFFFD);
    }
    return Convert(charset.c_str(), "UTF-8", Utf16ToUtf8(text, '?'), true);
}

size_t AnsiCharSize(const char* text, size_t available) {
    if (available == 0) {
        return 0;
    }
    // No multibyte character set in use has a byte below 0x80 that starts a longer character.
    if (static_cast<unsigned char>(text[0]) < 0x80) {
        return 1;
    }
    static const locale_t ansi = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (ansi == static_cast<locale_t>(0)) {
        return 1;
    }
    const locale_t previous = uselocale(ansi);
    std::mbstate_t state{};
    const size_t n = std::mbrlen(text, available, &state);
    uselocale(previous);
    return n == 0 || n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) ? 1 : n;
}

}  // namespace platform
