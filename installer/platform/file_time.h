// File times: the FILETIME calls the extractor uses to stamp written files with the date and
// time stored in the archive.
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace platform {

// FILETIME as one number: 100-nanosecond intervals since 1601-01-01.
using FileTime = uint64_t;

// DosDateTimeToFileTime: the MS-DOS date (high half: years since 1980, month, day) and time
// (low half: hour, minute, seconds / 2) as a file time of the same wall-clock reading. False,
// with *out untouched, for fields out of range (month 0, day 0, hour 24, ...).
bool DosDateTimeToFileTime(uint16_t dosDate, uint16_t dosTime, FileTime* out);

// LocalFileTimeToFileTime: a local wall-clock reading as UTC. Windows applies the current
// offset from UTC; the POSIX stand-in reads the wall clock through mktime, so the offset of
// that date (daylight saving included) applies.
bool LocalFileTimeToFileTime(FileTime local, FileTime* utc);

// SetFileTime on an open file; a null pointer leaves that time alone. POSIX has no creation
// time: it sets access and modification time.
bool SetFileTime(FileHandle file, const FileTime* creation, const FileTime* access,
                 const FileTime* write);

}  // namespace platform
