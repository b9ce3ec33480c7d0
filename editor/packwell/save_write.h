// A save's last stages: the files added or put in place of their entries,
// then the archive closed, which writes a temporary file beside the package
// and renames it over the package.
#pragma once

#include "archive.h"
#include "packwell.h"
#include "save_reconcile.h"

#include <string>

namespace packwell {

// Adds each wanted file, or replaces its kept entry when the file changed (an
// unchanged entry is copied raw by the close). Pictures are stored, the rest
// deflated; options.password encrypts what is written.
bool AddOrReplace(zip_t* zip, const SaveList& list, const KeptEntries& kept,
                  const ZipOptions& options, std::string& error);

// Sets the comment (when not empty) and closes the archive. None, or the
// kind of failure with the old package left as it was.
PackwellFailure CloseArchive(Archive& archive, const std::string& comment, std::string& error);

}  // namespace packwell
