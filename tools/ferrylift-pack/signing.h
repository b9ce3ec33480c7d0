// Authenticode signing of a finished package with osslsigncode. The signature's certificate
// table follows the trailer; the installer and the checks read the package without it.
#pragma once

#include <ostream>
#include <string>

namespace ferrylift_pack {

// Signs input into output with the PKCS#12 certificate (password read from passwordFile when
// given). False, with osslsigncode's own messages on err, when signing failed.
bool SignPackage(const std::string& input, const std::string& output,
                 const std::string& certificate, const std::string& passwordFile,
                 std::ostream& err);

}  // namespace ferrylift_pack
