// The entry names of a whole archive against the package format's name rule, checked before
// anything of the archive is written. Internal to the extractor.
#pragma once

#include <cstddef>
#include <string>

namespace zip_internal {

// The longest name (in the ANSI code page) that still fits below destDir (ending with the
// separator) on Windows, where a path holds 259 characters, with room for the braced GUID a file
// in use gets when it is moved aside. 0 when destDir leaves no room at all.
size_t NameLimitBelow(const std::string& destDir);

// Reads every name from the open archive's central directory (an unzFile) and checks each, and
// all of them against each other, with the name rule the packer applies. Each refused name is
// logged as "<tag> unsafe entry name(<name>) <reason>". Leaves the archive at its first entry.
// False when a name is refused or the directory cannot be read.
bool CheckEntryNames(const char* tag, void* archive, const std::string& destDir);

}  // namespace zip_internal
