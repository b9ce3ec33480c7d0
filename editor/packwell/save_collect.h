// A save's first stage: the files to pack, each with its entry name (its path
// relative to the root) and the checksum that tells whether the package's
// entry is still current.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace packwell {

struct WantedFile {
    std::filesystem::path source;
    std::string name;
    uint32_t crc;
    uint64_t size;
};

struct SaveList {
    std::vector<WantedFile> wanted;
    std::set<std::string> names;       // every listed name, read or not
    std::set<std::string> missing;     // listed, but no readable file
    std::vector<std::string> skipped;  // the listed files left out, as given
};

// The given files and every file below the given folders. A file that is
// gone or is no regular file is left out and named in skipped; false, with
// the reason in error, when a file lies outside root or a folder cannot be
// listed.
bool CollectFiles(const std::vector<std::string>& files, const std::vector<std::string>& folders,
                  const std::string& root, SaveList& list, std::string& error);

}  // namespace packwell
