// Entry names and the output paths they give. Names are walked a whole character of the ANSI
// code page at a time: in GBK the trail byte of a character such as 淺 is '\\', which is no
// separator there. Internal to the extractor and the archive check.
#pragma once

#include <string>

namespace zip_internal {

// The destination with the native separator after its last character (unless empty).
std::string WithSeparator(const std::string& destDir);

// Names are joined to the destination as they stand, so one that starts at a root or a drive,
// or climbs with a parent segment, would write outside it.
bool IsUnsafeName(const std::string& name);

// destDir (ending with the separator) + name, both separators of the name as the native one.
// With createFolders each folder on the way is created, top down, one level at a time. False
// when the name names no file (a folder entry, or empty); *path is set either way.
bool OutputPath(const std::string& destDir, const std::string& name, bool createFolders,
                std::string* path);

}  // namespace zip_internal
