// The rules an archive entry name must meet for the installer to write it where it belongs on
// a Windows system with the code page 936: the extractor's own refusals, names the code page
// cannot hold, names Windows refuses, and names that differ only in letter case.
#pragma once

#include <map>
#include <string>

namespace ferrylift_pack {

// The extractor's name buffer holds 259 bytes and a terminator.
constexpr size_t kMaxEntryNameBytes = 259;
constexpr char kClientProgramName[] = "tideboard3.exe";

class EntryNameRules {
public:
    // stored: the name as the archive holds it; utf8: general-purpose flag bit 11 is set (else
    // the bytes are in the code page 936). Returns the reason the name is refused, or "".
    std::string Add(const std::string& stored, bool utf8);
    // After the last name: the reason the set of names is refused, or "".
    std::string Finish() const;

    // The name as UTF-8, for messages.
    static std::string Display(const std::string& stored, bool utf8);

private:
    std::map<std::string, std::string> folded_;  // case-folded name -> name as given
    std::map<std::string, std::string> folders_;
    int clients_ = 0;
};

// Converts between UTF-8 and the code page 936; false when a character has no counterpart.
bool Utf8ToCp936(const std::string& utf8, std::string* out);
bool Cp936ToUtf8(const std::string& ansi, std::string* out);

}  // namespace ferrylift_pack
