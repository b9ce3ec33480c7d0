// The packager of the self-extracting update installer: the installer program, then a ZIP of
// the client suite, then the trailer (archive length, total length; 32-bit little-endian).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace ferrylift_pack {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;   // reading or writing failed, or a package failed to verify
constexpr int kExitRefused = 2;  // bad command line or input the package format cannot carry

// Sizes and offsets in the format are 32-bit, and the installer checks its own size as a
// signed 32-bit value.
constexpr uint64_t kMaxFileSize = (uint64_t{1} << 31) - 1;
constexpr uint64_t kMaxTotalSize = (uint64_t{1} << 31) - 1;
// Entry names must fit the extractor's 260-byte name buffer with their terminator.
constexpr size_t kMaxEntryNameBytes = 259;
// Without ZIP64 records the central directory counts entries in 16 bits.
constexpr size_t kMaxEntries = 65535;

struct PackResult {
    int status = kExitOk;
    uint32_t archiveSize = 0;
    uint32_t totalSize = 0;
    size_t entries = 0;
};

// Writes the package at output; nothing is left at output unless the result is kExitOk.
PackResult Pack(const std::string& installer, const std::string& suite, const std::string& output,
                std::ostream& out, std::ostream& err);

struct VerifyResult {
    int status = kExitOk;
    size_t entries = 0;
    uint64_t uncompressed = 0;
    uint64_t compressed = 0;
    uint32_t archiveSize = 0;
    uint32_t totalSize = 0;
};

// Checks the trailer against the file size, that the archive opens, every entry inflates
// with a matching CRC, and the suite's main program is at the top level.
VerifyResult Verify(const std::string& package, std::ostream& out, std::ostream& err);

// The command line without the program name.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ferrylift_pack
