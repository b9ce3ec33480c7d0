// An unpack's first stage: from the package's names alone, what it will
// write where. The track folder is the folder that holds the package's
// "tracks.xml"; entries outside it, named like lock files, or with names this
// system cannot store are left out and named.
#pragma once

#include "entry_names.h"
#include "unpack_bounds.h"

#include <zip.h>

#include <string>
#include <vector>

namespace packwell {

// Which of the track folder's entries are wanted.
struct UnpackFilter {
    std::string includePrefix;  // only names starting with it (all when empty)
    std::string excludePrefix;  // no names starting with it (none when empty)
    bool keepExisting = false;  // files already in the store stay
};

struct UnpackPlan {
    std::string folder;                // the track folder, below the root
    zip_uint64_t documentIndex = 0;    // the "tracks.xml" entry
    std::vector<PlannedFile> files;    // entries to write
    std::vector<std::string> folders;  // folder entries, below the track folder
    std::vector<std::string> skipped;  // entries left out, by name
};

// False, with the reason in error, when the package has no usable track
// folder or an entry declares no size.
bool PlanUnpack(zip_t* archive, const std::vector<EntryName>& names, const std::string& root,
                const UnpackFilter& filter, UnpackPlan& plan, std::string& error);

}  // namespace packwell
