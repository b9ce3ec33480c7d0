// The suite folder: its files in a stable order, with the names they get in the archive, and
// the checks a suite must pass before anything is written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace ferrylift_pack {

struct SuiteFile {
    std::string entryName;  // relative, '\\' separated, UTF-8
    std::filesystem::path path;
    uint64_t size = 0;
};

// Lists the regular files below folder, sorted by entry name. False (message written to err)
// when the folder cannot be read or holds what no entry can be (links to nowhere, devices,
// names with a backslash or no UTF-8, files of 2 GiB or more).
bool ListSuite(const std::filesystem::path& folder, std::vector<SuiteFile>* files,
               std::ostream& err);

// The checks of the package's entries before packing: their number, their names (the limit in
// code-page-936 bytes) and no update package among them. False with the messages on err.
bool CheckSuite(const std::filesystem::path& folder, const std::vector<SuiteFile>& files,
                size_t maxNameBytes, std::ostream& err);

bool HasNonAscii(const std::string& text);

}  // namespace ferrylift_pack
