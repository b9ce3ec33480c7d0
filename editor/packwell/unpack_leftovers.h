// An unpack writes each file under a temporary name in its folder and renames
// it (store_paths.h). One that is killed leaves that file behind; the next
// unpack of the same track removes it, when no other unpack of the track runs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace packwell {

// A lock on a track folder for the length of an unpack: shared while files
// are written, exclusive while leftovers are removed, so the temporary file
// of a running unpack is never taken for a leftover. Released when the
// process ends, killed or not.
class UnpackTurn {
public:
    explicit UnpackTurn(const std::filesystem::path& trackFolder);
    ~UnpackTurn();
    UnpackTurn(const UnpackTurn&) = delete;
    UnpackTurn& operator=(const UnpackTurn&) = delete;

    // True when no other unpack holds the folder; it is then held alone
    // until Share.
    bool TryAlone();
    // Holds the folder alongside other unpacks (waits for one that is
    // removing leftovers).
    void Share();

private:
    int fd_ = -1;
};

// True for a regular file named like an unpack's temporary file:
// ".packwell-" and eight letters or digits, or (from older versions) any
// name followed by ".packwell-" and six.
bool IsUnpackLeftover(const std::filesystem::path& file);

// Removes every leftover below trackFolder; returns the paths removed.
std::vector<std::string> RemoveUnpackLeftovers(const std::filesystem::path& trackFolder);

}  // namespace packwell
