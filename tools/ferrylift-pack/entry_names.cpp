#include "entry_names.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "utf8.h"

namespace ferrylift_pack {
namespace {

bool Convert(const char* to, const char* from, const std::string& in, std::string* out) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::string input = in;
    std::string result(in.size() * 4 + 4, '\0');
    char* source = input.data();
    size_t sourceLeft = input.size();
    char* target = result.data();
    size_t targetLeft = result.size();
    size_t converted = iconv(converter, &source, &sourceLeft, &target, &targetLeft);
    iconv_close(converter);
    if (converted == static_cast<size_t>(-1) || sourceLeft != 0) {
        return false;
    }
    result.resize(result.size() - targetLeft);
    *out = result;
    return true;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// "..", and what Windows shortens to it (". .", "..."): the extractor refuses them.
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

// Letter case folded as Windows compares file names, over the UTF-8 form.
std::string Fold(const std::string& utf8) {
    static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    std::string out;
    size_t i = 0;
    while (i < utf8.size()) {
        uint32_t code = NextCodePoint(utf8, &i);
        if (code == '/') {
            code = '\\';
        }
        if (locale != nullptr) {
            code = static_cast<uint32_t>(towupper_l(static_cast<wint_t>(code), locale));
        } else if (code < 0x80) {
            code = static_cast<uint32_t>(std::toupper(static_cast<int>(code)));
        }
        out.append(reinterpret_cast<const char*>(&code), sizeof code);
    }
    return out;
}

}  // namespace

bool Utf8ToCp936(const std::string& utf8, std::string* out) {
    return Convert("CP936", "UTF-8", utf8, out);
}

bool Cp936ToUtf8(const std::string& ansi, std::string* out) {
    return Convert("UTF-8", "CP936", ansi, out);
}

std::string EntryNameRules::Display(const std::string& stored, bool utf8) {
    std::string text;
    if (utf8 || !Cp936ToUtf8(stored, &text)) {
        return stored;
    }
    return text;
}

std::string EntryNameRules::Add(const std::string& stored, bool utf8) {
    if (stored.size() > kMaxEntryNameBytes) {
        return "is " + std::to_string(stored.size()) + " bytes long; the installer takes at most " +
               std::to_string(kMaxEntryNameBytes);
    }
    std::string ansi = stored;
    std::string text = stored;
    if (utf8 && !Utf8ToCp936(stored, &ansi)) {
        return "cannot be written in the code page 936 of the target systems";
    }
    if (!utf8 && !Cp936ToUtf8(stored, &text)) {
        return "is no text in the code page 936 of the target systems";
    }
    if (ansi.empty()) {
        return "is empty";
    }
    if (IsSeparator(ansi[0])) {
        return "is absolute";
    }
    if (ansi.size() >= 2 && ansi[1] == ':' && std::isalpha(static_cast<unsigned char>(ansi[0]))) {
        return "starts with a drive";
    }
    std::string segment;
    for (size_t i = 0; i <= ansi.size(); ++i) {
        if (i < ansi.size() && !IsSeparator(ansi[i])) {
            unsigned char c = static_cast<unsigned char>(ansi[i]);
            if (c >= 0x81 && i + 1 < ansi.size()) {
                // A double-byte character, whose second byte may be 0x5C ("\\"): the
                // installer steps over whole characters, so it is no separator.
                segment += ansi.substr(i, 2);
                ++i;
                continue;
            }
            if (c < 0x20 || std::string("<>:\"|?*").find(ansi[i]) != std::string::npos) {
                return "holds a character Windows refuses in file names";
            }
            segment += ansi[i];
            continue;
        }
        if (IsParentSegment(segment)) {
            return "climbs out of the installation folder";
        }
        segment.clear();
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsSeparator(text[i])) {
            folders_.emplace(Fold(text.substr(0, i)), text.substr(0, i));
        }
    }
    bool isFolder = IsSeparator(ansi.back());
    if (isFolder) {
        return "";
    }
    if (ansi == kClientProgramName) {
        ++clients_;
    }
    std::string key = Fold(text);
    auto [it, inserted] = folded_.emplace(key, text);
    if (!inserted) {
        return "differs from the entry " + it->second +
               " only in letter case: on Windows one would overwrite the other";
    }
    return "";
}

std::string EntryNameRules::Finish() const {
    if (clients_ == 0) {
        return std::string("has no top-level ") + kClientProgramName;
    }
    if (clients_ > 1) {
        return std::string("has ") + std::to_string(clients_) + " top-level entries " +
               kClientProgramName;
    }
    for (const auto& [key, name] : folded_) {
        auto folder = folders_.find(key);
        if (folder != folders_.end()) {
            return "has a file " + name + " and a folder " + folder->second + " of the same name";
        }
    }
    return "";
}

}  // namespace ferrylift_pack
