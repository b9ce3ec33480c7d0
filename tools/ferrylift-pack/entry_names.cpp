#include "entry_names.h"

#include <iconv.h>

#include <algorithm>

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

}  // namespace

bool Utf8ToCp936(const std::string& utf8, std::string* out) {
    return Convert("CP936", "UTF-8", utf8, out);
}

bool Cp936ToUtf8(const std::string& ansi, std::string* out) {
    return Convert("UTF-8", "CP936", ansi, out);
}

std::string EntryNames::Display(const std::string& stored, bool utf8) {
    std::string text;
    const bool ascii = std::all_of(stored.begin(), stored.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (utf8 || ascii || !Cp936ToUtf8(stored, &text)) {
        return stored;
    }
    return text;
}

EntryNames::EntryNames(size_t maxBytes) : rule_(Utf8ToCp936, maxBytes) {}

void EntryNames::Add(const std::string& stored, bool utf8) {
    names_.push_back({stored, utf8});
}

std::vector<NameProblem> EntryNames::Check() const {
    std::vector<NameProblem> problems;
    auto shown = [&](size_t i) { return Display(names_[i].bytes, names_[i].utf8); };
    for (const package_format::NameRefusal& refusal : rule_.CheckAll(names_)) {
        std::string message = "entry " + shown(refusal.entry) + " " + refusal.reason;
        if (refusal.rule == package_format::NameRule::kFoldsOntoAnother ||
            refusal.rule == package_format::NameRule::kFileAndFolder) {
            message += ": " + shown(refusal.other);
        }
        problems.push_back({refusal.entry, message});
    }
    size_t clients = 0;
    for (const package_format::StoredName& name : names_) {
        clients += name.bytes == kClientProgramName ? 1 : 0;
    }
    if (clients != 1) {
        problems.push_back({kWholeList, clients == 0
                                            ? std::string("has no top-level ") + kClientProgramName
                                            : std::string("has ") + std::to_string(clients) +
                                                  " top-level entries " + kClientProgramName});
    }
    return problems;
}

}  // namespace ferrylift_pack
