// Packwell: unpacks track packages into a folder and updates them in place.
// Paths are UTF-8; entry names inside a package always use "/". Entry names are
// read as their writer meant them: UTF-8 when flagged or valid UTF-8, otherwise
// GB18030 (the ANSI code page of Chinese Windows); unflagged names valid as
// both are read the way under which the package's "tracks.xml" finds its
// pictures. Names written are UTF-8 with the UTF-8 flag.
#pragma once

#include <string>
#include <vector>

// How ZipFiles writes what it adds.
struct ZipOptions {
    std::string password;               // non-empty: new entries encrypted (AES-256)
    std::string comment;                // non-empty: the archive comment
    std::string extraStoredExtensions;  // ".bmp,.tif": stored too, besides pictures
};

// What ZipFiles packs: files, and every file below folders, each under its
// path relative to root, into the package at packagePath.
struct ZipRequest {
    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::string packagePath;
    std::string root;
    ZipOptions options;
};

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
    // place, a lock's name, a folder of another track above it), or when it
    // claims more than the limits or the free space allow (unpack_limits.h);
    // false also when a file cannot be written or holds more than it
    // declares, and a track folder the unpack began is then removed. Several
    // programs may unpack the same package at once.
    bool UnZipFile(const std::string& packagePath, const std::string& targetRoot,
                   const std::string& password, const std::string& includePrefix,
                   const std::string& excludePrefix, bool keepExisting);

    // Makes the package hold the request's files, each under its path
    // relative to its root. An existing package is updated: unchanged entries
    // are kept as they are, changed ones replaced, entries not listed removed;
    // an entry whose name is not flagged UTF-8 is written anew under its UTF-8
    // name. A listed file that is missing or not a regular file is skipped
    // (see SkippedFiles); an entry of the package under its name is then kept
    // as it was. Pictures are stored, everything else deflated. The package
    // is replaced atomically; on failure the old one stays untouched. A
    // package reached through symbolic links is written where they lead, the
    // links staying; a package or folder the user may not write is not
    // replaced. Saves of packages in one folder take turns, and a save first
    // removes the temporary files that interrupted saves of this package left
    // beside it. False, changing nothing, when a listed file lies outside root
    // or none of the listed files can be read.
    bool ZipFiles(const ZipRequest& request);
    bool ZipFiles(const std::vector<std::string>& files, const std::vector<std::string>& folders,
                  const std::string& packagePath, const std::string& root,
                  const std::string& password, const std::string& comment,
                  const std::string& extraStoredExtensions);

    // For an open, after UnZipFile and before any editing: removes the regular
    // files directly in trackFolder + "/res" that neither pictures (the
    // picture file names the document refers to) nor the package at
    // packagePath (its track folder's "res") names, and returns their names:
    // pictures an earlier session inserted and never saved, or left out of a
    // save. Removes nothing when the package cannot be read.
    std::vector<std::string> RemoveStrayPictures(const std::string& trackFolder,
                                                 const std::vector<std::string>& pictures,
                                                 const std::string& packagePath);

    // Last failure, for diagnostics.
    const std::string& LastError() const { return lastError_; }
    // Kind of the last failure of UnZipFile or ZipFiles; None after a success.
    PackwellFailure LastFailure() const { return lastFailure_; }
    // Why the last UnZipFile refused the package, in words for the teacher
    // (Chinese, UTF-8), when a limit, the free space or an entry larger than
    // it declares stopped it; empty for other failures.
    const std::string& LastRefusal() const { return lastRefusal_; }
    // Entries of the package that the last UnZipFile left out, by name.
    const std::vector<std::string>& SkippedEntries() const { return skippedEntries_; }
    // Listed files that the last ZipFiles left out, as given.
    const std::vector<std::string>& SkippedFiles() const { return skippedFiles_; }

private:
    std::string lastError_;
    std::string lastRefusal_;
    PackwellFailure lastFailure_ = PackwellFailure::None;
    std::vector<std::string> skippedFiles_;
    std::vector<std::string> skippedEntries_;
};
