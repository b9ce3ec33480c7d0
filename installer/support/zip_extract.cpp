#include "support/zip_extract.h"

#include <unzip.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/directory.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "platform/path.h"
#include "platform/shortcuts.h"
#include "platform/text.h"
#include "support/file_helpers.h"
#include "support/log_file.h"

namespace {

constexpr char kExtractTag[] = "ZipExtractEx";
constexpr char kEntryTag[] = "ZipExtractCurrentFile";
constexpr size_t kNameBufferSize = 260;
constexpr size_t kChunkSize = 4096;
// General-purpose flag bit 11: the name is UTF-8.
constexpr unsigned long kUtf8NameFlag = 0x800;

// Closes the archive on every way out.
class ArchiveCloser {
public:
    explicit ArchiveCloser(unzFile archive) : archive_(archive) {}
    ~ArchiveCloser() { unzClose(archive_); }
    ArchiveCloser(const ArchiveCloser&) = delete;
    ArchiveCloser& operator=(const ArchiveCloser&) = delete;

private:
    unzFile archive_;
};

// Closes the current entry on every way out, unless it was closed (and checked) already.
class EntryCloser {
public:
    explicit EntryCloser(unzFile archive) : archive_(archive) {}
    ~EntryCloser() {
        if (open_) {
            unzCloseCurrentFile(archive_);
        }
    }
    EntryCloser(const EntryCloser&) = delete;
    EntryCloser& operator=(const EntryCloser&) = delete;
    // The library reports a CRC mismatch here, once the entry's data has been read to its end.
    int Close() {
        open_ = false;
        return unzCloseCurrentFile(archive_);
    }

private:
    unzFile archive_;
    bool open_ = true;
};

// Names are walked a whole character of the ANSI code page at a time: in GBK the trail byte of
// a character such as 淺 is '\\', which is no separator there.
const char* NextChar(const char* c, const char* end) {
    return c + platform::AnsiCharSize(c, static_cast<size_t>(end - c));
}

bool IsSeparatorChar(const char* c, const char* end) {
    return platform::IsPathSeparator(*c) &&
           platform::AnsiCharSize(c, static_cast<size_t>(end - c)) == 1;
}

// Whether the last character is the native separator; the last byte alone may be a trail byte.
bool EndsWithNativeSeparator(const std::string& text) {
    const char* end = text.c_str() + text.size();
    bool last = false;
    for (const char* c = text.c_str(); c != end; c = NextChar(c, end)) {
        last = *c == platform::kPathSeparator && NextChar(c, end) == c + 1;
    }
    return last;
}

// A segment that would climb: "..", and on Windows also ". ." and "..." style names, which
// the Win32 path rules shorten to "..".
bool IsParentSegment(const char* begin, const char* end) {
    size_t dots = 0;
    for (const char* c = begin; c != end; ++c) {
        if (*c == '.') {
            ++dots;
        } else if (*c != ' ') {
            return false;
        }
    }
    return dots >= 2;
}

// Names are joined to the destination as they stand, so one that starts at a root or a drive,
// or climbs with a parent segment, would write outside it.
bool IsUnsafeName(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    if (platform::IsPathSeparator(name[0])) {
        return true;
    }
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) {
        return true;
    }
    const char* segment = name.c_str();
    const char* end = name.c_str() + name.size();
    for (const char* c = name.c_str();; c = NextChar(c, end)) {
        if (*c == '\0' || IsSeparatorChar(c, end)) {
            if (IsParentSegment(segment, c)) {
                return true;
            }
            if (*c == '\0') {
                return false;
            }
            segment = c + 1;
        }
    }
}

// Copies the entry's data into the open file in chunks, one write per chunk.
bool CopyEntryData(unzFile archive, platform::FileHandle file) {
    char buffer[kChunkSize];
    for (;;) {
        const int count = unzReadCurrentFile(archive, buffer, sizeof buffer);
        if (count < 0) {
            LogPrintf(g_libraryLog, "%s unzReadCurrentFile < 0", kEntryTag);
            return false;
        }
        if (count == 0) {
            return true;
        }
        uint32_t written = 0;
        if (!platform::WriteFile(file, buffer, static_cast<uint32_t>(count), &written) ||
            written != static_cast<uint32_t>(count)) {
            LogPrintf(g_libraryLog, "%s WriteFile != %d", kEntryTag, count);
            return false;
        }
    }
}

// Creation, access and write time all become the entry's stored local date and time. A date
// that names no day (month 0, say) leaves the times of the new file as they are.
void ApplyEntryTime(platform::FileHandle file, unsigned long dosDateTime) {
    platform::FileTime local = 0;
    platform::FileTime utc = 0;
    if (platform::DosDateTimeToFileTime(static_cast<uint16_t>(dosDateTime >> 16),
                                        static_cast<uint16_t>(dosDateTime & 0xFFFF), &local) &&
        platform::LocalFileTimeToFileTime(local, &utc)) {
        platform::SetFileTime(file, &utc, &utc, &utc);
    }
}

// Logs a failed create of path and asks the caller's callback what to do.
ZipCode AskAfterFailedCreate(const std::string& path, const ZipCreateFailed& onCreateFailed) {
    const uint32_t error = platform::LastError();
    LogPrintf(g_libraryLog, "%s CreateFile(%s) failed(%u)", kEntryTag, path.c_str(), error);
    return onCreateFailed(path, error);
}

enum class CreateOutcome { Opened, Skipped, Failed };

// Opens path for writing with `disposition`, asking the caller's callback after each failed
// try. With missingIsFine a file that does not exist counts as opened: the replace mode only
// asks whether an existing main program can be written.
CreateOutcome CreateWithRetries(const std::string& path, uint32_t disposition, bool missingIsFine,
                                const ZipCreateFailed& onCreateFailed, platform::UniqueFile* file) {
    for (;;) {
        file->Reset(platform::CreateFile(path, platform::kGenericWrite, platform::kShareNone,
                                         disposition, platform::kAttributesNone));
        if (*file || (missingIsFine && platform::LastError() == platform::kErrorFileNotFound)) {
            return CreateOutcome::Opened;
        }
        const ZipCode answer = AskAfterFailedCreate(path, onCreateFailed);
        if (answer == ZipCode::Skip) {
            return CreateOutcome::Skipped;
        }
        if (answer != ZipCode::Retry) {
            return CreateOutcome::Failed;
        }
    }
}

// Removes the scratch file on every way out, unless it has taken the target's place.
class ScratchFile {
public:
    explicit ScratchFile(std::string path) : path_(std::move(path)) {}
    ~ScratchFile() {
        if (!kept_) {
            platform::RemoveFile(path_);
        }
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::string& Path() const { return path_; }
    void Keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

// ZipWriteMode::Replace: see there.
bool ReplaceWithEntry(unzFile archive, EntryCloser* entry, unsigned long dosDateTime,
                      const std::string& path, const ZipCreateFailed& onCreateFailed) {
    {
        platform::UniqueFile target;
        const CreateOutcome outcome =
            CreateWithRetries(path, platform::kOpenExisting, true, onCreateFailed, &target);
        if (outcome != CreateOutcome::Opened) {
            return outcome == CreateOutcome::Skipped;
        }
    }
    // A scratch file left by a killed run is simply overwritten.
    ScratchFile scratch(path + kZipScratchSuffix);
    platform::UniqueFile file(platform::CreateFile(scratch.Path(), platform::kGenericWrite,
                                                   platform::kShareNone, platform::kCreateAlways,
                                                   platform::kAttributesNone));
    if (!file) {
        LogPrintf(g_libraryLog, "%s CreateFile(%s) failed(%u)", kEntryTag, scratch.Path().c_str(),
                  platform::LastError());
        return false;
    }
    if (!CopyEntryData(archive, file.Get())) {
        return false;
    }
    ApplyEntryTime(file.Get(), dosDateTime);
    if (!platform::FlushFile(file.Get())) {
        LogPrintf(g_libraryLog, "%s FlushFileBuffers(%s) failed(%u)", kEntryTag,
                  scratch.Path().c_str(), platform::LastError());
        return false;
    }
    file.Reset();
    if (entry->Close() != UNZ_OK) {
        LogPrintf(g_libraryLog, "%s unzCloseCurrentFile != UNZ_OK", kEntryTag);
        return false;
    }
    if (!platform::MoveFileReplacing(scratch.Path(), path)) {
        LogPrintf(g_libraryLog, "%s MoveFileEx(%s, %s) failed(%u)", kEntryTag,
                  scratch.Path().c_str(), path.c_str(), platform::LastError());
        return false;
    }
    scratch.Keep();
    return true;
}

// minizip looks for the end record only after the first byte of the file, so an archive of no
// entries, which is the end record alone, does not open. It holds nothing to extract.
bool IsBareEmptyArchive(const char* zipPath) {
    platform::UniqueStream file(platform::OpenStream(zipPath, "rb"));
    unsigned char record[23];
    if (!file || std::fread(record, 1, sizeof record, file.Get()) != 22) {
        return false;
    }
    static const unsigned char kEmptyEnd[10] = {'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0};
    return std::memcmp(record, kEmptyEnd, sizeof kEmptyEnd) == 0 && record[10] == 0 &&
           record[11] == 0 && record[20] == 0 && record[21] == 0;
}

}  // namespace

bool ZipExtractCurrentFile(const ZipFilter& filter, const ZipCreateFailed& onCreateFailed,
                           void* handle, const std::string& destDir, ZipWriteMode mode) {
    unzFile archive = static_cast<unzFile>(handle);
    unz_file_info64 info;
    char nameBuffer[kNameBufferSize];
    if (unzGetCurrentFileInfo64(archive, &info, nameBuffer, sizeof nameBuffer, nullptr, 0, nullptr,
                                0) != UNZ_OK) {
        LogPrintf(g_libraryLog, "%s unzGetCurrentFileInfo64 != UNZ_OK", kEntryTag);
        return false;
    }
    // A longer name does not fit the buffer: cut short it would name another file.
    if (info.size_filename >= kNameBufferSize) {
        nameBuffer[kNameBufferSize - 1] = '\0';
        LogPrintf(g_libraryLog, "%s unsafe entry name(%s)", kEntryTag, nameBuffer);
        return false;
    }
    if (unzOpenCurrentFile(archive) != UNZ_OK) {
        LogPrintf(g_libraryLog, "%s unzOpenCurrentFile != UNZ_OK", kEntryTag);
        return false;
    }
    EntryCloser entry(archive);

    std::string name = (info.flag & kUtf8NameFlag) != 0 ? Utf8ToAnsi(nameBuffer) : nameBuffer;
    if (IsUnsafeName(name)) {
        LogPrintf(g_libraryLog, "%s unsafe entry name(%s)", kEntryTag, name.c_str());
        return false;
    }

    // Each folder on the way is created top down, one level at a time; both separators come
    // out as the native one.
    std::string path = destDir;
    const char* segment = name.c_str();
    const char* end = name.c_str() + name.size();
    for (const char* c = name.c_str();; c = NextChar(c, end)) {
        if (*c == '\0') {
            path.append(segment, c);
            break;
        }
        if (IsSeparatorChar(c, end)) {
            path.append(segment, c);
            path += platform::kPathSeparator;
            platform::CreateDirectory(path);
            segment = c + 1;
        }
    }
    if (*segment == '\0') {
        return true;  // a folder entry, or a name that could not be converted
    }
    if (!filter(path)) {
        return true;
    }

    if (mode == ZipWriteMode::Replace) {
        return ReplaceWithEntry(archive, &entry, info.dosDate, path, onCreateFailed);
    }
    platform::UniqueFile file;
    const CreateOutcome outcome =
        CreateWithRetries(path, platform::kCreateAlways, false, onCreateFailed, &file);
    if (outcome != CreateOutcome::Opened) {
        return outcome == CreateOutcome::Skipped;
    }
    if (!CopyEntryData(archive, file.Get())) {
        return false;
    }
    ApplyEntryTime(file.Get(), info.dosDate);
    file.Reset();
    // Without this check a damaged entry would be installed and reported as a success.
    if (entry.Close() != UNZ_OK) {
        LogPrintf(g_libraryLog, "%s unzCloseCurrentFile != UNZ_OK", kEntryTag);
        return false;
    }
    return true;
}

bool ZipExtractEx(const char* zipPath, const char* destDir, ZipFilter filter,
                  ZipCreateFailed onCreateFailed, ZipWriteMode mode) {
    unzFile archive = unzOpen64(zipPath);
    if (archive == nullptr && IsBareEmptyArchive(zipPath)) {
        platform::CreateDirectory(destDir);
        return true;
    }
    if (archive == nullptr) {
        LogPrintf(g_libraryLog, "%s unzOpen64(%s) == NULL", kExtractTag, zipPath);
        return false;
    }
    ArchiveCloser closer(archive);

    unz_global_info64 global;
    const ZPOS64_T count = unzGetGlobalInfo64(archive, &global) == UNZ_OK ? global.number_entry : 0;

    std::string dest = destDir;
    platform::CreateDirectory(dest);
    if (!dest.empty() && !EndsWithNativeSeparator(dest)) {
        dest += platform::kPathSeparator;
    }
    for (ZPOS64_T i = 0; i < count; ++i) {
        if (!ZipExtractCurrentFile(filter, onCreateFailed, archive, dest, mode)) {
            LogPrintf(g_libraryLog, "%s ZipExtractCurrentFile == false", kExtractTag);
            return false;
        }
        if (i + 1 < count && unzGoToNextFile(archive) != UNZ_OK) {
            LogPrintf(g_libraryLog, "%s unzGoToNextFile != UNZ_OK", kExtractTag);
            return false;
        }
    }
    return true;
}
