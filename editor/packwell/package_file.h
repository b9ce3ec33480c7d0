// The package file a save replaces: the file a symbolic link leads to, not the
// link, and only a file and a folder the user may write.
#pragma once

#include "packwell.h"

#include <filesystem>
#include <string>

namespace packwell {

// The file path leads to after following every symbolic link (also the last
// one when it leads nowhere yet); path itself when it is no link.
std::filesystem::path ResolvePackagePath(const std::filesystem::path& path);

// Whether a save may replace package (or create it): None, or
// ReadOnlyPackage when the file may not be written, NoPermission when its
// folder may not, Other when package names no regular file.
PackwellFailure CheckReplaceable(const std::filesystem::path& package, std::string& error);

}  // namespace packwell
