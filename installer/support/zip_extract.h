// Unpacking a ZIP archive into a folder: every entry in stored order, folders created one level
// at a time, a filter deciding which files are written and a callback deciding what happens when
// an output file cannot be created (typically because the old file is in use).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

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

// Extracts the archive at zipPath under destDir. True when every entry was dealt with (written,
// left out by the filter, a folder, or skipped by the callback); false at the first failure,
// with the reason in the library log. Files written before a failure stay. Entry names that
// would leave destDir (a ".." segment, a leading separator, a drive prefix) or are 260 bytes or
// longer fail the extraction. Both callables must be set.
bool ZipExtractEx(const char* zipPath, const char* destDir, ZipFilter filter,
                  ZipCreateFailed onCreateFailed);

// Extracts the archive's current entry; destDir ends with the path separator. The handle is
// minizip's unzFile. Used by ZipExtractEx.
bool ZipExtractCurrentFile(const ZipFilter& filter, const ZipCreateFailed& onCreateFailed,
                           void* archive, const std::string& destDir);
