// What the program part of a package must be: the installer built for Windows (a PE program
// for the graphical subsystem, x86-64 or x86) with a version resource; with the POSIX option,
// the installer's POSIX build (an ELF program with the same resource) for development runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ferrylift_pack {

// The reason data[0, size) is no such program, or "". description names what it is.
std::string CheckProgram(const uint8_t* data, size_t size, bool posixStandIn,
                         std::string* description);

// True when data[0, size) is itself an update package, signed or not.
bool IsPackage(const uint8_t* data, size_t size);
// The same for a file, reading only its headers, trailer and the archive's first bytes.
bool IsPackageFile(const std::string& path);

// The same for bytes seen once, in order (an archive entry as it inflates): keeps the headers
// and the bytes where a trailer would be.
class PackageProbe {
public:
    explicit PackageProbe(uint64_t size) : size_(size) {}
    void Feed(const uint8_t* data, size_t size);
    // After the last byte: whether it is a package, or nothing when that depends on the four
    // bytes at ArchiveOffset(), which lie past the kept headers (see StartsArchive).
    std::optional<bool> Result();
    uint64_t ArchiveOffset() const { return archiveOffset_; }
    static bool StartsArchive(const uint8_t* bytes);

private:
    void Capture(const uint8_t* data, uint64_t from, uint64_t count);

    uint64_t size_;
    uint64_t seen_ = 0;
    std::vector<uint8_t> head_;
    uint64_t end_ = 0;  // where the trailer ends, once the headers are known
    bool endKnown_ = false;
    uint8_t trailer_[8] = {};
    uint64_t archiveOffset_ = 0;
};

}  // namespace ferrylift_pack
