// Shell shortcut files and the folder search that finds them. Windows: IShellLinkA over
// IPersistFile. POSIX: a shortcut is a symbolic link carrying the shortcut's file name.
#pragma once

#include <functional>
#include <string>

namespace platform {

// CoInitialize / CoUninitialize for the calling thread; nothing on POSIX.
void InitializeShellObjects();
void UninitializeShellObjects();

// The step of SaveShortcut that failed; LastError() holds the system error.
enum class ShortcutFailure {
    kNone,
    kCreateInstance,  // CoCreateInstance(CLSID_ShellLink)
    kQueryInterface,  // IPersistFile
    kSave,            // IPersistFile::Save
};

// Writes a shortcut at linkPath pointing at targetPath (nothing else is set), replacing an
// existing file of that name.
ShortcutFailure SaveShortcut(const std::u16string& linkPath, const std::string& targetPath);

// The target path stored in a shortcut (at most 259 chars); empty when it cannot be read.
std::string ReadShortcutTarget(const std::u16string& linkPath);

// DeleteFileA.
bool RemoveFile(const std::string& path);

// The process's working folder (empty on failure) and changing it.
std::string GetWorkingFolder();
bool SetWorkingFolder(const std::string& path);

// FindFirstFileA/FindNextFileA on pattern "*" + suffix in the working folder, in the order the
// system reports the entries; the suffix matches without regard to ASCII letter case, as on
// Windows. isDirectory is false for a POSIX symbolic link, which stands for a shortcut file.
using FoundEntry = std::function<void(const std::string& name, bool isDirectory)>;
void FindFilesWithSuffix(const std::string& suffix, const FoundEntry& found);

}  // namespace platform
