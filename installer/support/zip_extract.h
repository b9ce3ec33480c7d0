// Unpacking a ZIP archive into a folder: every entry in stored order, folders created one level
// at a time, a filter deciding which files are written and a callback deciding what happens when
// an output file cannot be created (typically because the old file is in use).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/file.h"

// The failure callback's answer. Any other value counts as Fail.
enum class ZipCode : int {
    Skip = 1,   // leave this file untouched and carry on
    Retry = 2,  // create the file again (the callback may have moved the old one aside)
    Fail = 3,   // give up: the entry, and with it the extraction, fails
};

// Gets the full output path (ANSI); true means write the file.
using ZipFilter = std::function<bool(const std::string& path)>;
// Gets the full output path and the Win32 error of the failed create.
using ZipCreateFailed = std::function<ZipCode(const std::string& path, uint32_t error)>;

// How the files that pass the filter are written.
enum class ZipWriteMode {
    // Created under their own name (an old file is truncated) and written there.
    InPlace,
    // Written to a scratch file beside the target (its name plus kZipScratchSuffix), which takes
    // the target's place with one rename once all data is written and its size and CRC matched.
    // Until then, and after any failure or a kill, the target is the old file. The target is
    // first opened for writing without truncating it, so a file in use still goes to the
    // failure callback. A failure removes the scratch file.
    Replace,
    // Replace, with the scratch file's data on the disk before the rename (FlushFileBuffers):
    // for the file that must survive a power cut too. A sync costs milliseconds per file.
    ReplaceSynced,
};
constexpr char kZipScratchSuffix[] = ".ferrylift-new";

// Where an archive is read from.
class ZipSource {
public:
    // The archive at path, opened by name with the library's default file functions.
    ZipSource(const char* path) : name_(path) {}  // NOLINT(google-explicit-constructor)
    // An archive the caller holds open for reading: read through that handle only (so no other
    // file can take its name's place), from its start, and never closed here. name is the
    // archive's name for log lines.
    ZipSource(platform::FileHandle file, const char* name) : name_(name), file_(file) {}

    const char* Name() const { return name_; }
    platform::FileHandle File() const { return file_; }

private:
    const char* name_;
    platform::FileHandle file_ = nullptr;
};

// Extracts the archive zip under destDir. True when every entry was dealt with (written,
// left out by the filter, a folder, or skipped by the callback); false at the first failure,
// with the reason in the library log. Files written before a failure stay. Entry names that
// would leave destDir (a ".." segment, a leading separator, a drive prefix) or are 260 bytes or
// longer fail the extraction. Both callables must be set.
bool ZipExtractEx(const ZipSource& zip, const char* destDir, ZipFilter filter,
                  ZipCreateFailed onCreateFailed, ZipWriteMode mode = ZipWriteMode::InPlace);

// Extracts the archive's current entry; destDir ends with the path separator. The handle is
// minizip's unzFile. Used by ZipExtractEx.
bool ZipExtractCurrentFile(const ZipFilter& filter, const ZipCreateFailed& onCreateFailed,
                           void* archive, const std::string& destDir,
                           ZipWriteMode mode = ZipWriteMode::InPlace);
