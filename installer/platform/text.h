// Code-page conversion. Narrow "ANSI" text is the system code page on Windows (GBK on the
// target systems) and the locale's character set on POSIX (UTF-8 when the locale is C or
// POSIX). Wide text is UTF-16 everywhere.
#pragma once

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

}  // namespace platform
