#include "package_format/entry_name_rule.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>

namespace package_format {
namespace {

bool IsLead(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

bool IsTrail(unsigned char c) {
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

// Bytes that are code-page-936 text: lead bytes followed by trail bytes, no 0xFF.
bool IsCp936Text(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 0xFF || (IsLead(c) && !(i + 1 < text.size() &&
                                         IsTrail(static_cast<unsigned char>(text[i + 1]))))) {
            return false;
        }
        if (IsLead(c)) {
            ++i;
        }
    }
    return true;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

// The device a segment names, or "". Windows looks at the part before the first dot, without
// trailing spaces: "con", "Con.txt" and "NUL .log" all open a device.
std::string DeviceName(const std::string& segment) {
    static const char* const kDevices[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1",   "COM2",
                                           "COM3", "COM4", "COM5", "COM6", "COM7",   "COM8",
                                           "COM9", "LPT1", "LPT2", "LPT3", "LPT4",   "LPT5",
                                           "LPT6", "LPT7", "LPT8", "LPT9", "CONIN$", "CONOUT$"};
    std::string base = segment.substr(0, segment.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.pop_back();
    }
    for (const char* device : kDevices) {
        if (EqualsIgnoringCase(base, device)) {
            return device;
        }
    }
    return "";
}

bool EndsWithScratchSuffix(const std::string& segment) {
    const size_t length = std::strlen(kScratchSuffix);
    return segment.size() >= length &&
           EqualsIgnoringCase(segment.substr(segment.size() - length), kScratchSuffix);
}

// ".." and what Windows shortens to it (". .", "...").
bool IsParentSegment(const std::string& segment) {
    size_t dots = 0;
    for (char c : segment) {
        if (c == '.') {
            ++dots;
        } else if (c != ' ') {
            return false;
        }
    }
    return dots >= 2;
}

std::string ShownCharacter(unsigned char c) {
    if (c < 0x20) {
        static const char kHex[] = "0123456789ABCDEF";
        return std::string("the control character 0x") + kHex[c >> 4] + kHex[c & 0xF];
    }
    return std::string("the character '") + static_cast<char>(c) + "'";
}

bool Refuse(NameRefusal* refusal, NameRule rule, std::string reason) {
    if (refusal != nullptr) {
        refusal->rule = rule;
        refusal->reason = std::move(reason);
        refusal->entry = 0;
        refusal->other = 0;
    }
    return false;
}

// The rules of one segment; false with the refusal set.
bool CheckSegment(const std::string& segment, NameRefusal* refusal) {
    if (IsParentSegment(segment)) {
        return Refuse(refusal, NameRule::kClimbs, "climbs out of the installation folder (\"..\")");
    }
    if (segment.back() == '.' || segment.back() == ' ') {
        return Refuse(refusal, NameRule::kTrailingDotOrSpace,
                      std::string("has a segment ending in \"") + segment.back() +
                          "\", which Windows drops: it would write another file");
    }
    const std::string device = DeviceName(segment);
    if (!device.empty()) {
        return Refuse(refusal, NameRule::kDeviceName,
                      "names the device " + device +
                          ", which Windows opens instead of a file (in any letter case, with "
                          "or without an extension)");
    }
    if (EndsWithScratchSuffix(segment)) {
        return Refuse(refusal, NameRule::kScratchSuffix,
                      std::string("has a segment ending in the installer's scratch suffix ") +
                          kScratchSuffix + ", under which it writes new files");
    }
    return true;
}

}  // namespace

size_t Cp936CharSize(const char* text, size_t size) {
    return size >= 2 && IsLead(static_cast<unsigned char>(text[0])) &&
                   IsTrail(static_cast<unsigned char>(text[1]))
               ? 2
               : 1;
}

std::string FoldedName(const std::string& cp936) {
    std::string out;
    size_t segmentStart = 0;
    auto endSegment = [&]() {
        while (out.size() > segmentStart && (out.back() == '.' || out.back() == ' ')) {
            out.pop_back();
        }
    };
    for (size_t i = 0; i < cp936.size();) {
        const size_t size = Cp936CharSize(cp936.data() + i, cp936.size() - i);
        if (size == 1) {
            if (IsSeparator(cp936[i])) {
                endSegment();
                out += '\\';
                segmentStart = out.size();
            } else {
                out += AsciiUpper(cp936[i]);
            }
            ++i;
            continue;
        }
        const unsigned char lead = static_cast<unsigned char>(cp936[i]);
        unsigned char trail = static_cast<unsigned char>(cp936[i + 1]);
        // The code page's lower-case letters and their upper-case partners.
        if (lead == 0xA2 && trail >= 0xA1 && trail <= 0xAA) {
            trail += 0x50;  // Roman numerals: small i-x to I-X
        } else if ((lead == 0xA3 && trail >= 0xE1 && trail <= 0xFA) ||
                   (lead == 0xA6 && trail >= 0xC1 && trail <= 0xD8)) {
            trail -= 0x20;  // full-width Latin, Greek
        } else if (lead == 0xA7 && trail >= 0xD1 && trail <= 0xF1) {
            trail -= 0x30;  // Cyrillic
        }
        out += static_cast<char>(lead);
        out += static_cast<char>(trail);
        i += 2;
    }
    endSegment();
    return out;
}

EntryNameRule::EntryNameRule(Utf8ToCp936 convert, size_t maxBytes)
    : convert_(std::move(convert)), maxBytes_(maxBytes) {}

bool EntryNameRule::Check(const StoredName& name, NameRefusal* refusal,
                          std::string* written) const {
    std::string text = name.bytes;
    if (name.utf8 && !(convert_ && convert_(name.bytes, &text))) {
        return Refuse(refusal, NameRule::kNotInCodePage,
                      "cannot be written in the code page 936 of the target systems");
    }
    if (!name.utf8 && !IsCp936Text(text)) {
        return Refuse(refusal, NameRule::kNotInCodePage,
                      "is no text in the code page 936 of the target systems");
    }
    if (written != nullptr) {
        *written = text;
    }
    if (text.empty()) {
        return Refuse(refusal, NameRule::kEmpty, "is empty");
    }
    if (IsSeparator(text[0])) {
        return Refuse(refusal, NameRule::kAbsolute, "is absolute (starts with a separator)");
    }
    if (text.size() >= 2 && text[1] == ':' && AsciiUpper(text[0]) >= 'A' &&
        AsciiUpper(text[0]) <= 'Z') {
        return Refuse(refusal, NameRule::kAbsolute, "starts with a drive");
    }
    std::string segment;
    for (size_t i = 0; i <= text.size();) {
        const bool end = i == text.size();
        const size_t size = end ? 1 : Cp936CharSize(text.data() + i, text.size() - i);
        if (!end && size == 2) {
            segment.append(text, i, 2);
            i += 2;
            continue;
        }
        if (!end && !IsSeparator(text[i])) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (c < 0x20 || std::strchr("<>:\"|?*", c) != nullptr) {
                return Refuse(refusal, NameRule::kForbiddenCharacter,
                              "holds " + ShownCharacter(c) + ", which Windows refuses in names");
            }
            segment += text[i++];
            continue;
        }
        // A separator or the end closes a segment. Only a folder entry ends in a separator.
        if (segment.empty() && !end) {
            return Refuse(refusal, NameRule::kEmpty, "has an empty folder name (two separators)");
        }
        if (!segment.empty() && !CheckSegment(segment, refusal)) {
            return false;
        }
        segment.clear();
        ++i;
    }
    if (text.size() > maxBytes_) {
        return Refuse(refusal, NameRule::kTooLong,
                      "is " + std::to_string(text.size()) +
                          " bytes long in the code page 936; at most " + std::to_string(maxBytes_) +
                          " leave room for the installation folder");
    }
    return true;
}

std::vector<NameRefusal> EntryNameRule::CheckAll(const std::vector<StoredName>& names) const {
    std::vector<NameRefusal> refusals;
    std::vector<bool> refused(names.size(), false);
    std::vector<std::string> folded(names.size());
    std::vector<bool> hasForm(names.size(), false);
    for (size_t i = 0; i < names.size(); ++i) {
        NameRefusal refusal;
        std::string written;
        if (!Check(names[i], &refusal, &written)) {
            refusal.entry = i;
            refusals.push_back(refusal);
            refused[i] = true;
        }
        if (refusal.rule != NameRule::kNotInCodePage || !refused[i]) {
            folded[i] = FoldedName(written);
            hasForm[i] = true;
        }
    }
    // The folders every name needs, and the files; a folder entry ends in a separator.
    std::unordered_map<std::string, size_t> files;
    std::unordered_map<std::string, size_t> folders;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& key = folded[i];
        for (size_t at = 0; hasForm[i] && at < key.size();) {
            const size_t size = Cp936CharSize(key.data() + at, key.size() - at);
            if (size == 1 && key[at] == '\\' && at > 0) {
                folders.emplace(key.substr(0, at), i);
            }
            at += size;
        }
    }
    auto collide = [&](size_t entry, size_t other, NameRule rule, const char* reason) {
        if (!refused[entry]) {
            refusals.push_back(NameRefusal{rule, reason, entry, other});
            refused[entry] = true;
        }
    };
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& key = folded[i];
        if (!hasForm[i] || key.empty() || key.back() == '\\') {
            continue;
        }
        auto [file, inserted] = files.emplace(key, i);
        if (!inserted) {
            collide(i, file->second, NameRule::kFoldsOntoAnother,
                    "is the same file on Windows as another entry (letter case and trailing "
                    "dots and spaces do not count)");
            continue;
        }
        auto folder = folders.find(key);
        if (folder != folders.end()) {
            collide(i, folder->second, NameRule::kFileAndFolder,
                    "is a file where another entry needs a folder of that name");
        }
    }
    std::stable_sort(refusals.begin(), refusals.end(),
                     [](const NameRefusal& a, const NameRefusal& b) { return a.entry < b.entry; });
    return refusals;
}

}  // namespace package_format
