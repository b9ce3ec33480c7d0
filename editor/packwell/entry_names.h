// Entry names as the package's writer meant them. Windows archivers on a
// Simplified-Chinese system write names in the ANSI code page (GBK) without the
// ZIP UTF-8 flag; many other tools write UTF-8 without the flag.
#pragma once

#include <zip.h>

#include <string>

namespace packwell {

struct EntryName {
    bool named = false;    // false for an entry whose name cannot be read
    std::string name;      // UTF-8, separators as stored
    bool rewrite = false;  // stored bytes are not flagged UTF-8 of name
};

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& bytes);

// How an unflagged name whose bytes are valid both as UTF-8 and as GB18030
// is read; the package as a whole decides (see package_names.h).
enum class Reading { Utf8First, Gb18030First };

// An unflagged name. Utf8First: UTF-8 when its bytes are valid UTF-8,
// otherwise GB18030 when the bytes are well-formed GB18030 and convert back to
// themselves, otherwise code page 437 (every byte sequence is valid there, so
// distinct names stay distinct). Gb18030First tries GB18030 before UTF-8.
std::string DecodeUnflaggedName(const std::string& raw, Reading reading = Reading::Utf8First);

// Whether the two readings of an unflagged name differ: not ASCII, valid
// UTF-8 and convertible GB18030 alike.
bool IsAmbiguousName(const std::string& raw);

// Reads the name of entry index; false when the entry has none. flagged tells
// whether its writer marked it as UTF-8 (or gave it a Unicode path field).
bool ReadEntryName(zip_t* archive, zip_uint64_t index, EntryName& entry,
                   Reading reading = Reading::Utf8First);

// The stored bytes of entry index's name and whether they are flagged UTF-8.
bool ReadRawName(zip_t* archive, zip_uint64_t index, std::string& raw, bool& flagged);

}  // namespace packwell
