// Packwell: unpacks track packages into a folder and updates them in place.
// Paths are UTF-8; entry names inside a package always use "/". Entry names are
// read as their writer meant them: UTF-8 when flagged or valid UTF-8, otherwise
// GB18030 (the ANSI code page of Chinese Windows); names written are UTF-8
// with the UTF-8 flag.
#pragma once

#include <string>
#include <vector>

// Why the last UnZipFile or ZipFiles failed, for the caller to tell the user.
enum class PackwellFailure {
    None,             // the last call succeeded
    ReadOnlyPackage,  // the package file may not be written
    NoPermission,     // a folder (the package's or the store's) may not be written
    DiskFull,         // no space left, or less than the unpacked package needs
    TooLarge,         // the package exceeds the limits of an unpack
    Other,            // unreadable package, bad names, input/output errors
};

class Packwell {
public:
    // Inner path of the first entry whose last path component is flagFileName,
    // with "/" as separator; empty when the package has none or cannot be read.
    void GetFlagFilePathFromZipPackage(std::string& flagPath, const std::string& flagFileName,
                                       const std::string& packagePath, const std::string& password);

    // Extracts the entries whose names start with includePrefix (all when empty)
    // and not with excludePrefix (none when empty) below targetRoot. Existing
    // files are replaced unless keepExisting is set; a file or link where an
    // entry needs a folder, and a folder or link where it needs a file, are
    // replaced too, except a folder directly below targetRoot. Returns false,
    // writing nothing, when the package cannot be read or any entry name would
    // land outside targetRoot; false also when a file cannot be written.
    // Several programs may unpack the same package at once.
    bool UnZipFile(const std::string& packagePath, const std::string& targetRoot,
                   const std::string& password, const std::string& includePrefix,
                   const std::string& excludePrefix, bool keepExisting);

    // Makes the package at packagePath hold the given files (and every file
    // below the given folders), each under its path relative to root. An
    // existing package is updated: unchanged entries are kept as they are,
    // changed ones replaced, entries not listed removed; an entry whose name is
    // not flagged UTF-8 is written anew under its UTF-8 name. A listed file that
    // is missing or not a regular file is skipped (see SkippedFiles); an entry
    // of the package under its name is then kept as it was. Pictures are
    // stored, everything else deflated. A non-empty password encrypts new
    // entries (AES-256); a non-empty comment becomes the archive comment. The
    // package is replaced atomically; on failure the old one stays untouched.
    // Saves of packages in one folder take turns, and a save first removes the
    // temporary files that interrupted saves of this package left beside it.
    // False, changing nothing, when a listed file lies outside root or none of
    // the listed files can be read.
    bool ZipFiles(const std::vector<std::string>& files, const std::vector<std::string>& folders,
                  const std::string& packagePath, const std::string& root,
                  const std::string& password, const std::string& comment,
                  const std::string& extraStoredExtensions);

    // Last failure, for diagnostics.
    const std::string& LastError() const { return lastError_; }
    // Kind of the last failure of UnZipFile or ZipFiles; None after a success.
    PackwellFailure LastFailure() const { return lastFailure_; }
    // Listed files that the last ZipFiles left out, as given.
    const std::vector<std::string>& SkippedFiles() const { return skippedFiles_; }

private:
    std::string lastError_;
    PackwellFailure lastFailure_ = PackwellFailure::None;
    std::vector<std::string> skippedFiles_;
};
