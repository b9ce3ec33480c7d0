// The packager of the self-extracting update installer: the installer program with the
// suite's versions written into its version resource, then a ZIP of the client suite, then
// the trailer (see package_format/package_trailer.h).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "package_check.h"

namespace ferrylift_pack {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // refused input, a package that fails its checks, I/O errors
constexpr int kExitUsage = 2;   // bad command line

struct PackOptions {
    std::string installer;
    std::string suite;
    std::string output;
    std::string lowest;           // the lowest installed version the package may update
    std::string since;            // delta: the earlier release's suite folder or package
    bool allowLeftovers = false;  // delta: the earlier release has files the suite lacks
    std::string certificate;      // PKCS#12 file to sign with; empty: unsigned
    std::string certificatePass;  // file holding its password; empty: none
    CheckOptions check;
};

// Writes the package at output; nothing is left at output unless the result is kExitOk.
int Pack(const PackOptions& options, std::ostream& out, std::ostream& err);

// Checks a package and prints its summary.
int Verify(const std::string& package, const CheckOptions& options, std::ostream& out,
           std::ostream& err);

// The command line without the program name.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ferrylift_pack
