#include "core/temp_archive.h"

#include <vector>

#include "core/update.h"
#include "platform/error.h"
#include "platform/temp_file.h"
#include "support/log_file.h"

namespace Update {
namespace {

constexpr char kTag[] = "Update::CopyFileA";
constexpr size_t kPieceSize = 1 << 20;

// A write that stops short (a disk filling up: Wine reports success with fewer bytes) goes on
// with the rest, so that the failure comes with the system's reason. A write that makes no
// progress at all means there is no room.
bool WriteAll(platform::FileHandle file, const uint8_t* data, size_t size) {
    while (size > 0) {
        const uint32_t piece = size < (1u << 30) ? static_cast<uint32_t>(size) : (1u << 30);
        uint32_t done = 0;
        if (!platform::WriteFile(file, data, piece, &done)) {
            return false;
        }
        if (done == 0) {
            platform::SetLastError(platform::kErrorDiskFull);
            return false;
        }
        data += done;
        size -= done;
    }
    return true;
}

}  // namespace

TempArchive::Outcome TempArchive::CopyFrom(std::FILE* from, uint32_t size) {
    path_ = GetTempFileNameA();
    if (path_.empty()) {
        return Outcome::kWriteFailed;  // the temporary folder said why
    }
    if (size == 0) {
        LogPrintf(&g_logFile, "%s archive of 0 bytes", kTag);
        return Outcome::kWriteFailed;
    }
    file_.Reset(platform::CreateTempFile(kTempArchiveName));
    if (!file_) {
        LogPrintf(&g_logFile, "%s CreateFile(%s) failed(%u)", kTag, path_.c_str(),
                  platform::LastError());
        return Outcome::kWriteFailed;
    }
    std::vector<uint8_t> piece(kPieceSize);
    for (uint32_t left = size; left > 0;) {
        const size_t want = left < piece.size() ? left : piece.size();
        if (std::fread(piece.data(), 1, want, from) != want) {
            // A package cut short while it was read: nothing of it is kept.
            file_.Reset();
            platform::RemoveTempFile(kTempArchiveName);
            return Outcome::kReadFailed;
        }
        if (!WriteAll(file_.Get(), piece.data(), want)) {
            const uint32_t error = platform::LastError();
            file_.Reset();
            // A partial archive would only fill the temporary folder.
            const bool removed = platform::RemoveTempFile(kTempArchiveName);
            LogPrintf(&g_logFile, "%s WriteFile(%s) failed(%u), removed(%d)", kTag, path_.c_str(),
                      error, removed ? 1 : 0);
            return Outcome::kWriteFailed;
        }
        left -= static_cast<uint32_t>(want);
    }
    return Outcome::kWritten;
}

}  // namespace Update
