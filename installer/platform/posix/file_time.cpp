// File times on POSIX: FILETIME arithmetic of our own, mktime for the local reading, futimens.
#include "platform/file_time.h"

#include <sys/stat.h>

#include <cerrno>
#include <ctime>

#include "platform/error.h"

namespace platform {
namespace {

constexpr int64_t kIntervalsPerSecond = 10000000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kEpochDifference = 11644473600;

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

bool IsLeapYear(unsigned year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

timespec ToTimespec(FileTime time) {
    timespec value{};
    value.tv_sec =
        static_cast<time_t>(static_cast<int64_t>(time / kIntervalsPerSecond) - kEpochDifference);
    value.tv_nsec = static_cast<long>(time % kIntervalsPerSecond) * 100;
    return value;
}

}  // namespace

bool DosDateTimeToFileTime(uint16_t dosDate, uint16_t dosTime, FileTime* out) {
    const unsigned year = 1980u + (dosDate >> 9);
    const unsigned month = (dosDate >> 5) & 0x0F;
    const unsigned day = dosDate & 0x1F;
    const unsigned hour = dosTime >> 11;
    const unsigned minute = (dosTime >> 5) & 0x3F;
    const unsigned second = (dosTime & 0x1F) * 2u;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    const int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 +
                            second + kEpochDifference;
    *out = static_cast<FileTime>(seconds) * kIntervalsPerSecond;
    return true;
}

bool LocalFileTimeToFileTime(FileTime local, FileTime* utc) {
    // The local reading's fields, taken apart as if it were UTC, then put back by mktime.
    const timespec value = ToTimespec(local);
    std::tm fields{};
    if (gmtime_r(&value.tv_sec, &fields) == nullptr) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    fields.tm_isdst = -1;
    const time_t seconds = std::mktime(&fields);
    if (seconds == static_cast<time_t>(-1)) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    *utc = static_cast<FileTime>(static_cast<int64_t>(seconds) + kEpochDifference) *
               kIntervalsPerSecond +
           local % kIntervalsPerSecond;
    return true;
}

bool SetFileTime(FileHandle file, const FileTime* /*creation*/, const FileTime* access,
                 const FileTime* write) {
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = times[0];
    if (access != nullptr) {
        times[0] = ToTimespec(*access);
    }
    if (write != nullptr) {
        times[1] = ToTimespec(*write);
    }
    if (futimens(static_cast<int>(NativeFileHandle(file)), times) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    return true;
}

}  // namespace platform
