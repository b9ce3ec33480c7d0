// The names an update package's archive may hold: those the installer can write on a Windows
// system with the code page 936 as exactly one file of its own, below the installation folder.
// The packer refuses other names when it packs and verifies; the installer refuses them before
// it writes anything. Both pass the names as the archive stores them.
//
// Refused:
//   - UTF-8 names the code page 936 cannot hold, and bytes that are no code-page-936 text;
//   - empty names, absolute names, names with a drive, ".." segments, empty segments;
//   - a segment that ends in "." or " " (Windows drops them: "lib.dll." is "lib.dll");
//   - a device name as a segment (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, CONIN$, CONOUT$,
//     in any case, with or without an extension, as "con.txt" or "NUL .log");
//   - characters Windows forbids in names: <>:"|?* and the control characters;
//   - a segment ending in the scratch suffix the installer writes new files under;
//   - names longer than a limit that leaves room for the installation folder;
//   - in a list: two names Windows folds onto one file (letter case, trailing dots and spaces),
//     and a file whose name is a folder of another entry.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace package_format {

// The installer writes each new file as its name plus this suffix, then renames it over the
// old one.
constexpr char kScratchSuffix[] = ".ferrylift-new";

// The default limit of a name's length in the code page 936. Windows paths hold 259 bytes;
// 180 leave 79 for the installation folder with its separator and for the longest suffix the
// installer appends to a name (a braced GUID of 38 bytes when a file in use is moved aside),
// so installation folders up to 41 bytes, such as "C:\Program Files (x86)\tideboard3\", hold
// every name.
constexpr size_t kDefaultMaxNameBytes = 180;

enum class NameRule {
    kNotInCodePage,  // not writable in, or no text of, the code page 936
    kEmpty,          // no name, or an empty segment
    kAbsolute,       // a leading separator or a drive
    kClimbs,         // a ".." segment
    kTrailingDotOrSpace,
    kDeviceName,
    kForbiddenCharacter,
    kScratchSuffix,
    kTooLong,
    kFoldsOntoAnother,  // list only: Windows opens both names as one file
    kFileAndFolder,     // list only: a file is named like a folder of another entry
};

struct NameRefusal {
    NameRule rule = NameRule::kEmpty;
    // Says which rule was broken, in English; names only ASCII parts of the name (a device
    // name, a character), so that the caller shows the name itself in its own encoding.
    std::string reason;
    size_t entry = 0;  // the refused name's index in the list
    size_t other = 0;  // kFoldsOntoAnother, kFileAndFolder: the entry it collides with
};

// A name as the archive's directory stores it.
struct StoredName {
    std::string bytes;
    bool utf8 = false;  // general-purpose flag bit 11; else the bytes are code page 936
};

// Converts a UTF-8 name to the code page 936 as the installer writes it; false when it cannot.
using Utf8ToCp936 = std::function<bool(const std::string& utf8, std::string* cp936)>;

class EntryNameRule {
public:
    explicit EntryNameRule(Utf8ToCp936 convert, size_t maxBytes = kDefaultMaxNameBytes);

    // Checks one name. True when it passes; else *refusal says why (its indexes are 0).
    // *written, when given, receives the name as the installer writes it (code page 936).
    bool Check(const StoredName& name, NameRefusal* refusal, std::string* written = nullptr) const;

    // Checks every name, then the names against each other. Returns every refusal, in the
    // order of the list; empty when all pass.
    std::vector<NameRefusal> CheckAll(const std::vector<StoredName>& names) const;

    size_t maxBytes() const { return maxBytes_; }

private:
    Utf8ToCp936 convert_;
    size_t maxBytes_;
};

// The key under which Windows finds a code-page-936 name: letters in upper case (ASCII and the
// code page's full-width Latin, Greek, Cyrillic and Roman numerals), '/' as '\\', and each
// segment without its trailing dots and spaces.
std::string FoldedName(const std::string& cp936);

// The byte length of the code-page-936 character at text[0, size): 2 for a lead byte followed
// by a trail byte, else 1.
size_t Cp936CharSize(const char* text, size_t size);

}  // namespace package_format
