#include "core/leftovers.h"

#include <cctype>
#include <vector>

#include "core/update.h"
#include "platform/directory.h"
#include "platform/error.h"
#include "platform/shortcuts.h"
#include "support/file_helpers.h"
#include "support/log_file.h"
#include "support/zip_extract.h"

namespace Update {
namespace {

constexpr char kTag[] = "Update::RemoveLeftovers";
constexpr size_t kGuidLength = 38;

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() > suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool IsGuidText(const std::string& text) {
    static const char kForm[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    for (size_t i = 0; i < kGuidLength; ++i) {
        const char c = text[i];
        const bool ok = kForm[i] == 'X' ? std::isxdigit(static_cast<unsigned char>(c)) != 0 &&
                                              !std::islower(static_cast<unsigned char>(c))
                                        : c == kForm[i];
        if (!ok) {
            return false;
        }
    }
    return true;
}

void Remove(const std::string& path) {
    const bool removed = platform::RemoveFile(path);
    LogPrintf(&g_logFile, "%s DeleteFile(%s) result(%d) error(%u)", kTag, path.c_str(),
              removed ? 1 : 0, removed ? 0u : platform::LastError());
}

}  // namespace

bool IsMovedAsideName(const std::string& name, std::string* base) {
    if (name.size() <= kGuidLength || !IsGuidText(name.substr(name.size() - kGuidLength))) {
        return false;
    }
    *base = name.substr(0, name.size() - kGuidLength);
    return true;
}

void RemoveLeftoversBelow(const std::string& root) {
    std::vector<std::string> files;
    std::vector<std::string> folders;
    platform::ListFolder(root, [&](const std::string& name, bool isDirectory) {
        (isDirectory ? folders : files).push_back(name);
    });
    for (const std::string& name : files) {
        std::string base;
        // A moved-aside file always has the one that took its place beside it.
        const bool movedAside =
            IsMovedAsideName(name, &base) && platform::PathExists(JoinPath(root, base));
        if (movedAside || EndsWith(name, kZipScratchSuffix)) {
            Remove(JoinPath(root, name));
        }
    }
    for (const std::string& name : folders) {
        RemoveLeftoversBelow(JoinPath(root, name));
    }
}

void RemoveLeftovers() {
    const std::string root = GetDestinationRoot();
    if (!root.empty()) {
        RemoveLeftoversBelow(root);
    }
}

}  // namespace Update
