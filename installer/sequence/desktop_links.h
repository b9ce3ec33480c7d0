// The desktop shortcuts of the client suite: obsolete and stray ones removed, the standard ones
// written after every update attempt.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The current user's own desktop folder; empty when it cannot be determined.
std::string GetDesktopPath();

// Calls callback once per "*.lnk" entry on the desktop that is not a folder. The names are all
// collected first, with the desktop as working folder, which is restored before the first call.
void ForEachDesktopLink(const std::function<void(const std::string& name)>& callback);

// The target path stored in a shortcut file; empty when it cannot be read.
std::string ResolveLinkTarget(const std::u16string& path);

// Shortcut manager for one pass over the desktop.
class ShellLink {
public:
    explicit ShellLink(std::string root);
    ~ShellLink();
    ShellLink(const ShellLink&) = delete;
    ShellLink& operator=(const ShellLink&) = delete;

    // stray false: deletes the shortcut when its name is obsolete. stray true: deletes it when
    // it points at one of the suite's programs but has none of the standard names. Names
    // compare without regard to ASCII letter case.
    void PruneLink(bool stray, const std::string& name);

    // CreateLink for each program and its standard shortcut name.
    void CreateLinks();

    // Writes desktop\linkName pointing at root\targetName; false (logged) when the program is
    // missing or the shortcut cannot be saved.
    bool CreateLink(const std::string& targetName, const std::string& linkName);

private:
    std::string root_;
    std::vector<std::string> targets_;
    std::vector<std::string> linkNames_;
    std::vector<std::string> obsoleteLinkNames_;
};

// Prunes and re-creates the desktop shortcuts for the installation folder of the client's
// configuration file.
void UpdateDesktopLinks();
