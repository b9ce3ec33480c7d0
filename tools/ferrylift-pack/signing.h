// Authenticode signing of a finished package with osslsigncode. The signature's certificate
// table follows the trailer; the installer and the checks read the package without it.
#pragma once

#include <ostream>
#include <string>

#include "scratch_files.h"

namespace ferrylift_pack {

// Signs input into the file outputName of folder with the PKCS#12 certificate (password read
// from passwordFile when given). osslsigncode reaches both through the descriptors it inherits.
// False, with osslsigncode's own messages on err, when signing failed.
bool SignPackage(const ScratchFile& input, const ScratchFolder& folder,
                 const std::string& outputName, const std::string& certificate,
                 const std::string& passwordFile, std::ostream& err);

}  // namespace ferrylift_pack
