// The checks of a finished package: everything the installer would refuse or get wrong.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "delta_note.h"
#include "package_format/entry_name_rule.h"

namespace ferrylift_pack {

struct CheckOptions {
    bool posixStandIn = false;  // the program part may be the installer's POSIX build
    size_t maxNameBytes = package_format::kDefaultMaxNameBytes;
};

struct PackageSummary {
    std::string program;         // what the program part is
    std::string carriedVersion;  // ProductVersion of the package
    std::string lowestVersion;   // fixed file version of the package
    std::string clientVersion;   // ProductVersion of the archive's tideboard3.exe
    uint64_t programSize = 0;
    uint32_t archiveSize = 0;
    uint32_t totalSize = 0;
    uint32_t signatureSize = 0;  // 0: not signed
    size_t entries = 0;
    uint64_t uncompressed = 0;
    uint64_t clientSize = 0;
    bool delta = false;
    DeltaNote deltaNote;
};

// Checks the package at path; on a refusal writes "ferrylift-pack: <name>: <reason>" lines to
// err and returns false. name is how messages call the file.
bool CheckPackage(const std::string& path, const std::string& name, const CheckOptions& options,
                  PackageSummary* summary, std::ostream& err);

// The summary block that --verify and packing print.
void PrintSummary(const std::string& name, const PackageSummary& summary, std::ostream& out);

}  // namespace ferrylift_pack
