#include "core/temp_archive.h"

#include "core/update.h"
#include "platform/error.h"
#include "platform/temp_file.h"
#include "support/log_file.h"

namespace Update {
namespace {

constexpr char kTag[] = "Update::CopyFileA";

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

bool TempArchive::Write(const std::vector<uint8_t>& data) {
    path_ = GetTempFileNameA();
    if (path_.empty()) {
        return false;  // the temporary folder said why
    }
    if (data.empty()) {
        LogPrintf(&g_logFile, "%s archive of 0 bytes", kTag);
        return false;
    }
    file_.Reset(platform::CreateTempFile(kTempArchiveName));
    if (!file_) {
        LogPrintf(&g_logFile, "%s CreateFile(%s) failed(%u)", kTag, path_.c_str(),
                  platform::LastError());
        return false;
    }
    if (!WriteAll(file_.Get(), data.data(), data.size())) {
        const uint32_t error = platform::LastError();
        file_.Reset();
        // A partial archive would only fill the temporary folder.
        const bool removed = platform::RemoveTempFile(kTempArchiveName);
        LogPrintf(&g_logFile, "%s WriteFile(%s) failed(%u), removed(%d)", kTag, path_.c_str(),
                  error, removed ? 1 : 0);
        return false;
    }
    return true;
}

}  // namespace Update
