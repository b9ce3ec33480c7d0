// Writes the two versions a package carries into the installer program's version resource:
// the suite's version as the ProductVersion text (and fixed product version), the lowest
// updatable version as the fixed file version (and FileVersion text).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ferrylift_pack {

// "a.b.c.d" with one to four fields of 0..65535 (the fixed version's 16-bit fields); missing
// fields are 0.
bool ParseVersionText(const std::string& text, uint16_t fields[4]);

// Rewrites every version resource of a PE image (or the one of the POSIX build's ELF image).
// A resource that grows beyond its old room moves into a section added for it. False, with
// the reason, when the image cannot take the versions.
bool StampVersions(std::vector<uint8_t>* image, const std::string& carried,
                   const std::string& lowest, std::string* reason);

}  // namespace ferrylift_pack
