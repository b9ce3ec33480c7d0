// The VS_VERSIONINFO tree of a version resource, rewritten with new versions: the fixed
// file and product versions and the FileVersion and ProductVersion texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ferrylift_pack {

size_t Align(size_t value, size_t alignment);
// Zeros up to the next multiple of 4 bytes, as resource blocks are aligned.
void Pad(std::vector<uint8_t>* out);

// The new resource for an old one (blob[0, size)); false (with reason) when the old one is no
// version tree or the versions are no versions.
bool Restamp(const uint8_t* blob, size_t size, const std::string& carried,
             const std::string& lowest, std::vector<uint8_t>* out, std::string* reason);

}  // namespace ferrylift_pack
