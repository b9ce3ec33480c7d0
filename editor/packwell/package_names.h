// The entry names of a whole package, read one way for all of them. Names
// without the UTF-8 flag can be valid UTF-8 and valid GBK at once (C2 BC is
// "¼" in UTF-8 and "录" in GBK); the package's own document says which was
// meant: the reading under which it finds more of its pictures wins, UTF-8
// when neither does better.
#pragma once

#include "entry_names.h"

#include <zip.h>

#include <string>
#include <vector>

namespace packwell {

// Separators as "/" (Windows archivers may write "\").
std::string Normalised(std::string name);

// The normalised name of the first entry whose last path component is
// fileName; empty when there is none.
std::string FlagPathOf(const std::vector<EntryName>& names, const std::string& fileName);

// The names of every entry of the archive, by index, in the package's reading.
std::vector<EntryName> ReadPackageNames(zip_t* archive);

}  // namespace packwell
