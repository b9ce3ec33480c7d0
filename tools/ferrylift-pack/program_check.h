// What the program part of a package must be: the installer built for Windows (a PE program
// for the graphical subsystem, x86-64 or x86) with a version resource; with the POSIX option,
// the installer's POSIX build (an ELF program with the same resource) for development runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ferrylift_pack {

// The reason data[0, size) is no such program, or "". description names what it is.
std::string CheckProgram(const uint8_t* data, size_t size, bool posixStandIn,
                         std::string* description);

// True when data[0, size) is itself an update package, signed or not.
bool IsPackage(const uint8_t* data, size_t size);
// The same for a file, reading only its headers, trailer and the archive's first bytes.
bool IsPackageFile(const std::string& path);

}  // namespace ferrylift_pack
