// One entry of a package written to its place in the store: through a short
// temporary name in the same folder and a rename, so a reader never sees half
// a file and two programs unpacking the same package at once each finish
// their own copy; never more bytes than the package declares.
#pragma once

#include "packwell.h"

#include <zip.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace packwell {

// Writes entry index to target, which must be free (store_paths.h). None, or
// the kind of failure with the reason in error and the system's error number
// in systemError (0 when the package was at fault). Data beyond declaredSize
// stops the write as TooLarge.
PackwellFailure WriteEntryFile(zip_t* archive, zip_uint64_t index, uint64_t declaredSize,
                               const std::filesystem::path& target, std::string& error,
                               int& systemError);

}  // namespace packwell
