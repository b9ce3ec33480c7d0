// Packwell: unpacks track packages into a folder and updates them in place.
// Paths are UTF-8; entry names inside a package always use "/".
#pragma once

#include <string>
#include <vector>

class Packwell {
public:
    // Inner path of the first entry whose last path component is flagFileName,
    // with "/" as separator; empty when the package has none or cannot be read.
    void GetFlagFilePathFromZipPackage(std::string& flagPath, const std::string& flagFileName,
                                       const std::string& packagePath, const std::string& password);

    // Extracts the entries whose names start with includePrefix (all when empty)
    // and not with excludePrefix (none when empty) below targetRoot. Existing
    // files are replaced unless keepExisting is set. Returns false, writing
    // nothing, when the package cannot be read or any entry name would land
    // outside targetRoot; false also when a file cannot be written.
    bool UnZipFile(const std::string& packagePath, const std::string& targetRoot,
                   const std::string& password, const std::string& includePrefix,
                   const std::string& excludePrefix, bool keepExisting);

    // Makes the package at packagePath hold exactly the given files (and every
    // file below the given folders), each under its path relative to root. An
    // existing package is updated: unchanged entries are kept as they are,
    // changed ones replaced, entries not listed removed. Pictures are stored,
    // everything else deflated. A non-empty password encrypts new entries
    // (AES-256); a non-empty comment becomes the archive comment. The package
    // is replaced atomically; on failure the old one stays untouched.
    bool ZipFiles(const std::vector<std::string>& files, const std::vector<std::string>& folders,
                  const std::string& packagePath, const std::string& root,
                  const std::string& password, const std::string& comment,
                  const std::string& extraStoredExtensions);

    // Last failure, for diagnostics.
    const std::string& LastError() const { return lastError_; }

private:
    std::string lastError_;
};
