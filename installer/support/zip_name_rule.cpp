#include "support/zip_name_rule.h"

#include <unzip.h>

#include <vector>

#include "package_format/entry_name_rule.h"
#include "platform/text.h"
#include "support/file_helpers.h"
#include "support/log_file.h"
#include "support/zip_entries.h"
#include "unicode/utf.h"

namespace zip_internal {
namespace {

// A Windows path holds 259 characters; a file moved aside gets a braced GUID after its name.
constexpr size_t kMaxPath = 259;
constexpr size_t kMovedAsideSuffix = 38;

// UTF-8 to the ANSI code page only when nothing is lost: a character the code page lacks
// would become '?', and the file another name than the package meant.
bool Utf8ToAnsiExactly(const std::string& utf8, std::string* ansi) {
    if (!utf::IsValidUtf8(utf8)) {
        return false;
    }
    const std::u16string wide = platform::MultiByteToWide(platform::CodePage::kUtf8, utf8);
    *ansi = platform::WideToMultiByte(platform::CodePage::kAnsi, wide);
    return platform::MultiByteToWide(platform::CodePage::kAnsi, *ansi) == wide;
}

// The name as the log shows it: in the ANSI code page, like every other line.
std::string Shown(const package_format::StoredName& name) {
    return name.utf8 ? Utf8ToAnsi(name.bytes) : name.bytes;
}

}  // namespace

size_t NameLimitBelow(const std::string& destDir) {
    const size_t used = destDir.size() + kMovedAsideSuffix;
    return used < kMaxPath ? kMaxPath - used : 0;
}

bool CheckEntryNames(const char* tag, void* handle, const std::string& destDir) {
    unzFile archive = static_cast<unzFile>(handle);
    std::vector<package_format::StoredName> names;
    if (!ForEachEntry(tag, archive,
                      [&names](unzFile, const unz_file_info64& info, const std::string& name) {
                          names.push_back({name, (info.flag & kUtf8NameFlag) != 0});
                          return true;
                      })) {
        return false;
    }
    if (unzGoToFirstFile(archive) != UNZ_OK) {
        LogPrintf(g_libraryLog, "%s unzGoToFirstFile != UNZ_OK", tag);
        return false;
    }
    const package_format::EntryNameRule rule(Utf8ToAnsiExactly, NameLimitBelow(destDir));
    const std::vector<package_format::NameRefusal> refusals = rule.CheckAll(names);
    for (const package_format::NameRefusal& refusal : refusals) {
        const bool collides = refusal.rule == package_format::NameRule::kFoldsOntoAnother ||
                              refusal.rule == package_format::NameRule::kFileAndFolder;
        LogPrintf(g_libraryLog, "%s unsafe entry name(%s) %s%s%s%s", tag,
                  Shown(names[refusal.entry]).c_str(), refusal.reason.c_str(),
                  collides ? ": (" : "", collides ? Shown(names[refusal.other]).c_str() : "",
                  collides ? ")" : "");
    }
    return refusals.empty();
}

}  // namespace zip_internal
