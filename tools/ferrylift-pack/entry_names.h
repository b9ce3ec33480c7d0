// The names of a package's entries as the packer checks them: the package format's name rule
// (names the installer refuses or Windows writes wrongly) and exactly one top-level client.
#pragma once

#include <string>
#include <vector>

#include "package_format/entry_name_rule.h"

namespace ferrylift_pack {

// The extractor's name buffer holds 259 bytes and a terminator: the highest --max-name.
constexpr size_t kMaxEntryNameBytes = 259;
constexpr char kClientProgramName[] = "tideboard3.exe";

struct NameProblem {
    size_t entry = 0;     // index in the order of Add; the whole list when kWholeList
    std::string message;  // "entry <name> <reason>", or for the whole list its reason
};
constexpr size_t kWholeList = static_cast<size_t>(-1);

class EntryNames {
public:
    explicit EntryNames(size_t maxBytes = package_format::kDefaultMaxNameBytes);

    // stored: the name as the archive holds it; utf8: general-purpose flag bit 11 is set.
    void Add(const std::string& stored, bool utf8);
    size_t size() const { return names_.size(); }
    // Every name broken, in the order added, then the list's own problem (no client, two).
    std::vector<NameProblem> Check() const;

    // The name as UTF-8, for messages.
    static std::string Display(const std::string& stored, bool utf8);

private:
    package_format::EntryNameRule rule_;
    std::vector<package_format::StoredName> names_;
};

// Converts between UTF-8 and the code page 936; false when a character has no counterpart.
bool Utf8ToCp936(const std::string& utf8, std::string* out);
bool Cp936ToUtf8(const std::string& ansi, std::string* out);

}  // namespace ferrylift_pack
