// Writes the suite's files into a deflated ZIP archive, in the given order, with the files'
// modification times and UTF-8 names flagged as such.
#pragma once

#include <ostream>
#include <vector>

#include "scratch_files.h"
#include "suite.h"

namespace ferrylift_pack {

// Writes the archive into archive (an empty scratch file), with comment as the archive's
// comment unless it is empty. False with the message on err.
bool WriteArchive(const ScratchFile& archive, const std::vector<SuiteFile>& files,
                  const std::string& comment, std::ostream& err);

}  // namespace ferrylift_pack
