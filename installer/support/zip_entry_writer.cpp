#include "support/zip_entry_writer.h"

#include <unzip.h>

#include <string>

#include "platform/error.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "platform/shortcuts.h"
#include "support/log_file.h"

namespace zip_internal {
namespace {

constexpr char kEntryTag[] = "ZipExtractCurrentFile";
constexpr size_t kChunkSize = 4096;

// Copies the entry's data into the open file in chunks, one write per chunk. Failures name the
// entry or the file, and the system error.
bool CopyEntryData(unzFile archive, const std::string& name, platform::FileHandle file,
                   const std::string& path) {
    char buffer[kChunkSize];
    for (;;) {
        const int count = unzReadCurrentFile(archive, buffer, sizeof buffer);
        if (count < 0) {
            LogPrintf(g_libraryLog, "%s unzReadCurrentFile < 0 entry(%s) result(%d)", kEntryTag,
                      name.c_str(), count);
            return false;
        }
        if (count == 0) {
            return true;
        }
        // A short write (a disk filling up) goes on with the rest, so that the failure that
        // follows comes with the system's reason; one that writes nothing means no room.
        for (uint32_t at = 0; at < static_cast<uint32_t>(count);) {
            uint32_t written = 0;
            const bool ok =
                platform::WriteFile(file, buffer + at, static_cast<uint32_t>(count) - at, &written);
            if (ok && written == 0) {
                platform::SetLastError(platform::kErrorDiskFull);
            }
            if (!ok || written == 0) {
                LogPrintf(g_libraryLog, "%s WriteFile != %d file(%s) error(%u)", kEntryTag, count,
                          path.c_str(), platform::LastError());
                return false;
            }
            at += written;
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

enum class CreateOutcome { Opened, Skipped, Failed };

// Opens path for writing with `disposition`, asking the caller's callback after each failed
// try. With missingIsFine a file that does not exist counts as opened: replacing only asks
// whether an existing file can be written.
CreateOutcome CreateWithRetries(const std::string& path, uint32_t disposition, bool missingIsFine,
                                const ZipCreateFailed& onCreateFailed, platform::UniqueFile* file) {
    for (;;) {
        file->Reset(platform::CreateFile(path, platform::kGenericWrite, platform::kShareNone,
                                         disposition, platform::kAttributesNone));
        if (*file || (missingIsFine && platform::LastError() == platform::kErrorFileNotFound)) {
            return CreateOutcome::Opened;
        }
        const uint32_t error = platform::LastError();
        LogPrintf(g_libraryLog, "%s CreateFile(%s) failed(%u)", kEntryTag, path.c_str(), error);
        const ZipCode answer = onCreateFailed(path, error);
        if (answer == ZipCode::Skip) {
            return CreateOutcome::Skipped;
        }
        if (answer != ZipCode::Retry) {
            return CreateOutcome::Failed;
        }
    }
}

// How many scratch names are tried for one file before the write fails.
constexpr int kScratchNames = 16;

// Errors that say a name is taken: a folder or a read-only file under it, or a file another
// process holds. Another name may then be free; other errors would recur under any name.
bool IsTakenName(uint32_t error) {
    return error == platform::kErrorAccessDenied || error == platform::kErrorSharingViolation ||
           error == platform::kErrorLockViolation || error == platform::kErrorAlreadyExists ||
           error == platform::kErrorFileExists;
}

// The scratch file beside a target: its name plus the suffix, or, while that is taken, its name
// plus "~<n>" plus the suffix. Every one of them ends in the suffix, which no entry may, so a
// later run knows what a kill left. Removed on every way out unless it took the target's place.
class ScratchFile {
public:
    ScratchFile() = default;
    ~ScratchFile() {
        if (!path_.empty() && !kept_) {
            platform::RemoveFile(path_);
        }
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Creates the first free scratch name for target; a scratch file a killed run left is
    // simply overwritten. False, each failed try logged, when none could be created.
    bool Create(const std::string& target, platform::UniqueFile* file) {
        for (int n = 0; n < kScratchNames; ++n) {
            const std::string path = n == 0 ? target + kZipScratchSuffix
                                            : target + "~" + std::to_string(n) + kZipScratchSuffix;
            file->Reset(platform::CreateFile(path, platform::kGenericWrite, platform::kShareNone,
                                             platform::kCreateAlways, platform::kAttributesNone));
            if (*file) {
                path_ = path;
                return true;
            }
            const uint32_t error = platform::LastError();
            LogPrintf(g_libraryLog, "%s CreateFile(%s) failed(%u)", kEntryTag, path.c_str(), error);
            if (!IsTakenName(error)) {
                return false;
            }
        }
        return false;
    }
    const std::string& Path() const { return path_; }
    void Keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

bool CloseChecked(OpenEntry* entry, const std::string& name) {
    if (!entry->Close()) {
        LogPrintf(g_libraryLog, "%s unzCloseCurrentFile != UNZ_OK entry(%s)", kEntryTag,
                  name.c_str());
        return false;
    }
    return true;
}

bool WriteInPlace(OpenEntry* entry, const std::string& name, unsigned long dosDateTime,
                  const std::string& path, const ZipCreateFailed& onCreateFailed) {
    platform::UniqueFile file;
    const CreateOutcome outcome =
        CreateWithRetries(path, platform::kCreateAlways, false, onCreateFailed, &file);
    if (outcome != CreateOutcome::Opened) {
        return outcome == CreateOutcome::Skipped;
    }
    if (!CopyEntryData(static_cast<unzFile>(entry->Archive()), name, file.Get(), path)) {
        return false;
    }
    ApplyEntryTime(file.Get(), dosDateTime);
    file.Reset();
    // Without this check a damaged entry would be installed and reported as a success.
    return CloseChecked(entry, name);
}

bool Replace(OpenEntry* entry, const std::string& name, unsigned long dosDateTime,
             const std::string& path, const ZipCreateFailed& onCreateFailed, bool synced) {
    {
        platform::UniqueFile target;
        const CreateOutcome outcome =
            CreateWithRetries(path, platform::kOpenExisting, true, onCreateFailed, &target);
        if (outcome != CreateOutcome::Opened) {
            return outcome == CreateOutcome::Skipped;
        }
    }
    ScratchFile scratch;
    platform::UniqueFile file;
    if (!scratch.Create(path, &file)) {
        return false;
    }
    if (!CopyEntryData(static_cast<unzFile>(entry->Archive()), name, file.Get(), scratch.Path())) {
        return false;
    }
    ApplyEntryTime(file.Get(), dosDateTime);
    if (synced && !platform::FlushFile(file.Get())) {
        LogPrintf(g_libraryLog, "%s FlushFileBuffers(%s) failed(%u)", kEntryTag,
                  scratch.Path().c_str(), platform::LastError());
        return false;
    }
    file.Reset();
    if (!CloseChecked(entry, name)) {
        return false;
    }
    // Only the synced file's new name is worth a sync of its folder: the others' data is not
    // on the disk yet either.
    if (!platform::MoveFileReplacing(scratch.Path(), path, synced)) {
        LogPrintf(g_libraryLog, "%s MoveFileEx(%s, %s) failed(%u)", kEntryTag,
                  scratch.Path().c_str(), path.c_str(), platform::LastError());
        return false;
    }
    scratch.Keep();
    return true;
}

}  // namespace

OpenEntry::~OpenEntry() {
    if (open_) {
        unzCloseCurrentFile(static_cast<unzFile>(archive_));
    }
}

bool OpenEntry::Close() {
    open_ = false;
    return unzCloseCurrentFile(static_cast<unzFile>(archive_)) == UNZ_OK;
}

bool WriteEntry(OpenEntry* entry, const std::string& name, unsigned long dosDateTime,
                const std::string& path, const ZipCreateFailed& onCreateFailed, ZipWriteMode mode) {
    switch (mode) {
        case ZipWriteMode::InPlace:
            return WriteInPlace(entry, name, dosDateTime, path, onCreateFailed);
        case ZipWriteMode::Replace:
            return Replace(entry, name, dosDateTime, path, onCreateFailed, false);
        case ZipWriteMode::ReplaceSynced:
            return Replace(entry, name, dosDateTime, path, onCreateFailed, true);
    }
    return false;
}

}  // namespace zip_internal
