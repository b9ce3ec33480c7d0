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
    // Whether a folder name (segments separated by "/") can be a track folder
    // in the store; UnZipFile refuses a package whose track folder cannot.
    static bool IsTrackFolderName(const std::string& folder);

    // Inner path of the first entry whose last path component is flagFileName,
    // with "/" as separator; empty when the package has none or cannot be read.
    void GetFlagFilePathFromZipPackage(std::string& flagPath, const std::string& flagFileName,
                                       const std::string& packagePath, const std::string& password);

    // Extracts the package's track folder, the folder that holds its
    // "tracks.xml", below targetRoot: of its entries those whose names start
    // with includePrefix (all when empty) and not with excludePrefix (none when
    // empty). Entries outside the track folder, and entries named like lock
    // files ("*.lock"), are left out and named in SkippedEntries; nothing is
    // written, replaced or removed outside the track folder. Existing files
    // are replaced unless keepExisting is set; inside the track folder a file
    // or link where an entry needs a folder, and a folder or link where it
    // needs a file, are replaced too. Returns false, writing nothing, when the
    // package cannot be read, has no "tracks.xml" inside a folder, or its
    // track folder cannot be had without replacing something (a file in its
    // place, a lock's name, a folder of another track above it); false also
    // when a file cannot be written. Several programs may unpack the same
    // package at once.
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
    // Entries of the package that the last UnZipFile left out, by name.
    const std::vector<std::string>& SkippedEntries() const { return skippedEntries_; }
    // Listed files that the last ZipFiles left out, as given.
    const std::vector<std::string>& SkippedFiles() const { return skippedFiles_; }

private:
    std::string lastError_;
    PackwellFailure lastFailure_ = PackwellFailure::None;
    std::vector<std::string> skippedFiles_;
    std::vector<std::string> skippedEntries_;
};
