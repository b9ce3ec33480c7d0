// A save's second stage: the package's entries matched with the files to
// pack. Entries are matched by the names their writer meant. An entry kept
// must carry its name exactly once, in "/" form and as flagged UTF-8, or the
// package would end up holding the old and the new file under two spellings
// of one place; any other entry goes and its file is added anew. An entry
// whose file is missing stays as it is, so nothing already in the package is
// lost to a file that vanished from the store.
#pragma once

#include "save_collect.h"

#include <zip.h>

#include <map>
#include <string>

namespace packwell {

// Entry name -> index of the package's entry kept under it.
using KeptEntries = std::map<std::string, zip_uint64_t>;

// Deletes the entries that go and renames kept ones of missing files to their
// UTF-8 names; false, with the reason in error, when libzip refuses.
bool ReconcileEntries(zip_t* zip, const SaveList& list, KeptEntries& kept, std::string& error);

}  // namespace packwell
