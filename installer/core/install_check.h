// The check before the first pass of Update::CopyFileA: a package that is damaged or does not
// fit changes nothing.
#pragma once

#include <string>

#include "support/zip_extract.h"

namespace Update {

// True when the volume of the installation folder root has room for the install (each new file
// is written beside its old copy, which goes once the new one is complete; sizes in whole
// 4 KiB blocks) and every entry of the archive inflates to its stored size and CRC. Otherwise
// logs why, with the tag "Update::CopyFileA", and returns false.
bool CheckArchiveBeforeInstall(const ZipSource& archive, const std::string& root);

}  // namespace Update
