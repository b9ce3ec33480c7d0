#include "sequence/desktop_links.h"

#include <utility>

#include "core/update.h"
#include "platform/directory.h"
#include "platform/error.h"
#include "platform/known_folders.h"
#include "platform/shortcuts.h"
#include "support/file_helpers.h"
#include "support/log_file.h"

namespace {

constexpr char kCreateLinkTag[] = "ShellLink::CreateLink";

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Bytes outside ASCII (GBK lead and trail bytes among them) must match exactly.
bool EqualsIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool ContainsIgnoringAsciiCase(const std::vector<std::string>& list, const std::string& name) {
    for (const std::string& entry : list) {
        if (EqualsIgnoringAsciiCase(entry, name)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string GetDesktopPath() {
    return platform::GetKnownFolder(platform::KnownFolder::kDesktop);
}

void ForEachDesktopLink(const std::function<void(const std::string& name)>& callback) {
    const std::string previous = platform::GetWorkingFolder();
    const std::string desktop = GetDesktopPath();
    if (desktop.empty() || !platform::SetWorkingFolder(desktop)) {
        return;
    }
    std::vector<std::string> names;
    platform::FindFilesWithSuffix(".lnk", [&](const std::string& name, bool isDirectory) {
        if (!isDirectory) {
            names.push_back(name);
        }
    });
    platform::SetWorkingFolder(previous);
    for (const std::string& name : names) {
        callback(name);
    }
}

std::string ResolveLinkTarget(const std::u16string& path) {
    return platform::ReadShortcutTarget(path);
}

ShellLink::ShellLink(std::string root)
    : root_(std::move(root)),
      targets_{"tideboard3.exe", "Mirrorpane.exe"},
      linkNames_{"Tideboard.lnk", Utf8ToAnsi(u8"Tideboard行为管控.lnk")},
      obsoleteLinkNames_{Utf8ToAnsi(u8"Tideboard更新程序.lnk")} {
    platform::InitializeShellObjects();
}

ShellLink::~ShellLink() {
    platform::UninitializeShellObjects();
}

void ShellLink::PruneLink(bool stray, const std::string& name) {
    const std::string desktop = GetDesktopPath();
    if (desktop.empty()) {
        return;
    }
    const std::string linkPath = JoinPath(desktop, name);
    const std::string target = ResolveLinkTarget(AnsiToWide(linkPath));
    const std::string targetName = target.empty() ? std::string() : GetFileNamePart(target);
    if (!stray) {
        if (ContainsIgnoringAsciiCase(obsoleteLinkNames_, name)) {
            platform::RemoveFile(linkPath);
        }
        return;
    }
    if (!targetName.empty() && ContainsIgnoringAsciiCase(targets_, targetName) &&
        !ContainsIgnoringAsciiCase(linkNames_, name)) {
        platform::RemoveFile(linkPath);
    }
}

void ShellLink::CreateLinks() {
    for (size_t i = 0; i < targets_.size(); ++i) {
        CreateLink(targets_[i], linkNames_[i]);
    }
}

bool ShellLink::CreateLink(const std::string& targetName, const std::string& linkName) {
    // An empty root leaves the program to be found relative to the working folder.
    const std::string targetPath = root_.empty() ? targetName : JoinPath(root_, targetName);
    if (!platform::PathExists(targetPath)) {
        LogPrintf(&g_logFile, "%s PathFileExistsA FALSE(%s)", kCreateLinkTag, targetPath.c_str());
        return false;
    }
    // Without a desktop folder the shortcut would land in the working folder.
    const std::string desktop = GetDesktopPath();
    if (desktop.empty()) {
        LogPrintf(&g_logFile, "%s Save error(%u)", kCreateLinkTag, platform::kErrorPathNotFound);
        return false;
    }
    const std::u16string linkPath = AnsiToWide(JoinPath(desktop, linkName));
    switch (platform::SaveShortcut(linkPath, targetPath)) {
        case platform::ShortcutFailure::kNone:
            return true;
        case platform::ShortcutFailure::kCreateInstance:
            LogPrintf(&g_logFile, "%s CoCreateInstance error(%u)", kCreateLinkTag,
                      platform::LastError());
            return false;
        case platform::ShortcutFailure::kQueryInterface:
            LogPrintf(&g_logFile, "%s QueryInterface error(%u)", kCreateLinkTag,
                      platform::LastError());
            return false;
        case platform::ShortcutFailure::kSave:
            LogPrintf(&g_logFile, "%s Save error(%u)", kCreateLinkTag, platform::LastError());
            return false;
    }
    return false;
}

void UpdateDesktopLinks() {
    const std::string root = Update::GetDestinationRoot();
    ShellLink links(root);
    ForEachDesktopLink([&](const std::string& name) { links.PruneLink(false, name); });
    ForEachDesktopLink([&](const std::string& name) { links.PruneLink(true, name); });
    links.CreateLinks();
}
