// What a delta package says about itself, in its archive's comment (the installer does not read
// it): the release it is made from and what it carries and leaves alone. A full package has no
// comment.
#pragma once

#include <cstdint>
#include <string>

namespace ferrylift_pack {

struct DeltaNote {
    std::string base;  // the carried version of the release the delta is made from
    uint64_t carriedFiles = 0;
    uint64_t carriedBytes = 0;
    uint64_t unchangedFiles = 0;  // files of the new release the delta leaves alone
    uint64_t unchangedBytes = 0;
    uint64_t leftovers = 0;  // files of the base the new release lacks; they stay installed
};

std::string FormatDeltaNote(const DeltaNote& note);
// False when comment is no delta note.
bool ParseDeltaNote(const std::string& comment, DeltaNote* note);

// The summary line of a delta: "delta from <base>: ..."
std::string DescribeDelta(const DeltaNote& note);

}  // namespace ferrylift_pack
