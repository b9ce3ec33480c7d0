// UTF-8 and UTF-16 by hand, the same for the installer's POSIX text functions and the
// packager: invalid input never ends a conversion, it becomes a replacement character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace utf {

// Each byte that starts no valid sequence (stray, cut, overlong, surrogate, past U+10FFFF)
// becomes U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);

// Lone surrogates cannot be written: each becomes replacement (U+FFFD for UTF-8 output, '?'
// where the text goes on to another character set).
std::string Utf16ToUtf8(const std::u16string& text, uint32_t replacement);

// The length of the sequence a lead byte starts (1 for ASCII and stray bytes); for skipping
// a character that cannot be converted.
size_t Utf8SequenceLength(unsigned char lead);

// True when every byte belongs to a valid sequence.
bool IsValidUtf8(const std::string& text);

}  // namespace utf
