// Entry names as the package's writer meant them. Windows archivers on a
// Simplified-Chinese system write names in the ANSI code page (GBK) without the
// ZIP UTF-8 flag; many other tools write UTF-8 without the flag.
#pragma once

#include <zip.h>

#include <string>
#include <vector>

namespace packwell {

struct EntryName {
    bool named = false;    // false for an entry whose name cannot be read
    std::string name;      // UTF-8, separators as stored
    bool rewrite = false;  // stored bytes are not flagged UTF-8 of name
};

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& bytes);

// An unflagged name: UTF-8 when its bytes are valid UTF-8, otherwise GB18030
// when the bytes are well-formed GB18030 and convert back to themselves,
// otherwise code page 437 (every byte sequence is valid there, so distinct
// names stay distinct).
std::string DecodeUnflaggedName(const std::string& raw);

// Reads the name of entry index; false when the entry has none.
bool ReadEntryName(zip_t* archive, zip_uint64_t index, EntryName& entry);

// The names of every entry of the archive, by index.
std::vector<EntryName> ReadEntryNames(zip_t* archive);

}  // namespace packwell
