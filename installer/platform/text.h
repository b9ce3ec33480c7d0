// Code-page conversion. Narrow "ANSI" text is the system code page on Windows (GBK on the
// target systems) and the locale's character set on POSIX (UTF-8 when the locale is C or
// POSIX). Wide text is UTF-16 everywhere.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

enum class CodePage {
    kAnsi,  // CP_ACP
    kUtf8,  // CP_UTF8
};

// MultiByteToWideChar(codePage, 0, ...): the whole string (embedded zeros included). Invalid
// input bytes become U+FFFD on POSIX, whatever the system does on Windows. Empty input or
// failure gives an empty string.
std::u16string MultiByteToWide(CodePage codePage, const std::string& text);

// WideCharToMultiByte(codePage, 0, ..., nullptr, nullptr): characters the code page lacks become
// '?'. Empty input or failure gives an empty string.
std::string WideToMultiByte(CodePage codePage, const std::u16string& text);

// The byte count of the character that starts at text[0] in the ANSI code page, looking at no
// more than available bytes: a double-byte code page's lead byte and its trail byte, which may
// be '\\' (Win32: IsDBCSLeadByteEx(CP_ACP, ...); POSIX: mbrlen under the environment's
// locale, so GBK works as on Windows). 1 for a single-byte character and for a broken or
// cut-off sequence; 0 when available is 0. Walk path text with it before comparing a byte with
// a separator.
size_t AnsiCharSize(const char* text, size_t available);

}  // namespace platform
