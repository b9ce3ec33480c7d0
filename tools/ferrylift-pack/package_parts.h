// The parts of a package as packing makes them: the installer program stamped with the
// versions, the package file (program, padding, archive, trailer) and its signed form.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "pack.h"
#include "scratch_files.h"

namespace ferrylift_pack {

// The installer as the package will carry it: checked, then stamped with the versions.
bool PrepareInstaller(const PackOptions& options, const std::string& carried,
                      const std::string& lowest, uint64_t archiveSize, std::vector<uint8_t>* image,
                      std::ostream& err);

// program, the zeros of padding, the archive and the trailer, into package.
bool WritePackage(const ScratchFile& package, const std::vector<uint8_t>& program,
                  const ScratchFile& archive, uint32_t padding, std::ostream& err);

// The signed package, made by the signing tool in a private folder and taken over from there.
bool SignInto(const ScratchFile& package, const PackOptions& options, ScratchFolder* folder,
              ScratchFile* signedPackage, std::ostream& err);

}  // namespace ferrylift_pack
