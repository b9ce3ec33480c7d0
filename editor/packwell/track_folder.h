// The one folder a package may write into: the folder that holds its
// "tracks.xml". Everything else in the store belongs to other tracks, their
// lock files ("<folder>.lock") or nobody, and an unpack leaves it alone.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace packwell {

// The file that makes a folder a track folder.
inline constexpr char kTrackDocument[] = "tracks.xml";

// Whether a "/"-separated folder name can be a track folder of the store: no
// empty, "." or ".." segment, no segment that is a lock file's name.
bool IsTrackFolderName(const std::string& folder);

// Whether a name segment has the form of a lock file ("*.lock", any case).
bool IsLockName(const std::string& segment);

// The entry name's path below folder ("L/res/a.jpg" below "L" is "res/a.jpg",
// "L/" is ""); false when the entry lies outside folder or a segment below it
// is a lock file's name. name uses "/" and has passed IsSafeEntryName.
bool PathInside(const std::string& name, const std::string& folder, std::string& inside);

// Makes root/folder a real folder without replacing anything: a folder above
// it that is a file, a link or a track folder itself (it holds a
// "tracks.xml"), or a file or link where the track folder belongs, refuses
// the package. made receives the highest folder this call created (empty when
// all existed), which is what a failed unpack removes again.
bool PrepareTrackFolder(const std::filesystem::path& root, const std::string& folder,
                        std::filesystem::path& made, std::string& error);

}  // namespace packwell
