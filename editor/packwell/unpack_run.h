// An unpack's last stage: the planned folders and files written into the
// track folder. Leftovers of a killed unpack of the track go first; a track
// folder this unpack began is removed again when it fails.
#pragma once

#include "packwell.h"
#include "unpack_bounds.h"
#include "unpack_plan.h"

#include <string>

namespace packwell {

// None, or the kind of failure with its refusal (a reason for the teacher when
// an entry holds more than it declares or the disk fills). An entry whose
// name turns out too long for the file system is added to plan.skipped.
PackwellFailure RunUnpack(zip_t* archive, UnpackPlan& plan, const std::string& root,
                          Refusal& refusal);

}  // namespace packwell
