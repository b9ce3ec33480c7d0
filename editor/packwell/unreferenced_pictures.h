// Pictures the teacher inserted and never saved, or whose entries a save left
// out, stay in the track's "res" while undo may bring them back; the next open
// of the track removes them.
#pragma once

#include <zip.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace packwell {

// Removes the regular files directly in resFolder whose names are neither in
// keep nor among the names packaged returns; returns the names removed. When
// packaged cannot tell (nullopt), nothing is removed. It is called only when a
// file is not in keep: a track's pictures are usually all named by its
// document, and the directory of a large package takes a while to read.
std::vector<std::string> RemoveUnreferenced(
    const std::filesystem::path& resFolder, const std::vector<std::string>& keep,
    const std::function<std::optional<std::vector<std::string>>()>& packaged);

// Names of the package's entries directly in its track folder's "res".
std::vector<std::string> PackagedPictures(zip_t* archive);

}  // namespace packwell
