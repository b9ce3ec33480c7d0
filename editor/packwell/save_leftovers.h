// Saving a package goes through a temporary file that libzip writes beside it
// ("<package>.XXXXXX") and renames over it at the end. A save that is killed
// leaves that file behind; the next save of the package removes it.
#pragma once

#include "platform/file_access.h"

#include <filesystem>
#include <string>
#include <vector>

namespace packwell {

// Holds an exclusive lock on the folder of a package while it is saved, so
// that saves of one folder by several programs take turns and a temporary
// file of a running save is never taken for a leftover.
class FolderLock {
public:
    explicit FolderLock(const std::filesystem::path& package);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Waits up to timeoutMs for the lock. False when another program still
    // holds it, or when the folder cannot be locked at all (some network
    // folders): then nothing may be taken for a leftover.
    bool Acquire(int timeoutMs, bool& unsupported);

private:
    platform::FolderLockHandle handle_;
};

// True when file is what an interrupted save of package leaves: named
// package + "." + six letters or digits, a regular file, empty or the start of
// an archive that never got its end record.
bool IsSaveLeftover(const std::filesystem::path& package, const std::filesystem::path& file);

// Removes every leftover of package; returns the paths removed.
std::vector<std::string> RemoveSaveLeftovers(const std::filesystem::path& package);

}  // namespace packwell
