// Folders and path existence.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// PathFileExistsA: a file or folder of that name exists.
bool PathExists(const std::string& path);

// CreateDirectoryA(path, nullptr): creates the last level only. False with LastError() set
// (kErrorAlreadyExists when it exists, kErrorPathNotFound when the parent is missing).
bool CreateDirectory(const std::string& path);

// SHCreateDirectoryExA(nullptr, path, nullptr): creates every missing level. Returns the Win32
// result code: kErrorSuccess, kErrorAlreadyExists (a folder or file of that name was there),
// kErrorBadPathname (path not absolute), kErrorFilenameExcedRange (kMaxPath chars or more), or
// the error of the level that failed. Sets LastError() to the same code.
int CreateDirectoryAll(const std::string& path);

// GetDiskFreeSpaceExA(folder, &freeToCaller, ...); POSIX: statvfs, f_bavail * f_frsize. The
// bytes this user may still write on the volume that holds folder, which must exist. False
// with LastError() set.
bool GetDiskFreeSpace(const std::string& folder, uint64_t* freeBytes);

// FindFirstFileA/FindNextFileA on folder + "\\*": every entry but "." and "..", in the order the
// system gives them. isDirectory is false for a link or junction, so that a walk never leaves
// the tree through one. False with LastError() set when the folder cannot be read.
using FolderEntry = std::function<void(const std::string& name, bool isDirectory)>;
bool ListFolder(const std::string& folder, const FolderEntry& found);

}  // namespace platform
