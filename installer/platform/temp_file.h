// The files the installer keeps in the temporary folder (GetTempPath of known_folders.h).
#pragma once

#include <string>

#include "platform/file.h"

namespace platform {

// CreateFileA(GetTempPath() + name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
// CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr): a file to write and then read back through
// the one handle. POSIX: made anew in the private folder through its open descriptor (an
// earlier file of the name removed first), O_EXCL | O_NOFOLLOW, mode 0600, so that no other
// file can take its place between the writing and the last read. Null with LastError() set.
FileHandle CreateTempFile(const std::string& name);

// DeleteFileA(GetTempPath() + name); POSIX through the private folder's descriptor.
bool RemoveTempFile(const std::string& name);

}  // namespace platform
