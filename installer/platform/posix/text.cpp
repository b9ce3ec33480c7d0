// Conversions on POSIX: UTF-8 <-> UTF-16 with unicode/utf.h; another locale character set
// through iconv with UTF-8 in the middle.
#include "platform/text.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstring>
#include <cwchar>

#include "unicode/utf.h"

namespace platform {
namespace {

using utf::Utf16ToUtf8;
using utf::Utf8SequenceLength;
using utf::Utf8ToUtf16;

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
