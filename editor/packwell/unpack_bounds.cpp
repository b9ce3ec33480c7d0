#include "unpack_bounds.h"

#include "unpack_limits.h"
#include "utf8_path.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace packwell {

namespace {

std::string Mib(uint64_t bytes) {
    return std::to_string(bytes >> 20) + " MiB";
}

// The teacher's unit: whole megabytes.
std::string Mb(uint64_t bytes) {
    return std::to_string(bytes >> 20) + " MB";
}

constexpr const char* kTooLarge = "授课轨迹包过大：";

// Bytes the unpack adds to the disk at its peak: what each file grows by over
// the file it replaces, and the largest file once more for its temporary copy.
uint64_t SpaceNeeded(const std::vector<PlannedFile>& files) {
    uint64_t grows = 0;
    uint64_t largest = 0;
    for (const PlannedFile& file : files) {
        std::error_code code;
        const fs::file_status status = fs::symlink_status(file.target, code);
        const uint64_t existing =
            fs::is_regular_file(status) ? fs::file_size(file.target, code) : 0;
        grows += file.size > existing ? file.size - existing : 0;
        largest = std::max(largest, file.size);
    }
    return grows + largest;
}

}  // namespace

bool DeclaredSize(zip_t* archive, zip_uint64_t index, uint64_t& size) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
        return false;
    size = stat.size;
    return true;
}

PackwellFailure CheckUnpackBounds(zip_t* archive, uint64_t entryCount,
                                  const std::vector<PlannedFile>& files, zip_uint64_t documentIndex,
                                  const fs::path& targetRoot, Refusal& refusal) {
    if (entryCount > kMaxEntries) {
        refusal.error =
            std::to_string(entryCount) + " entries, more than " + std::to_string(kMaxEntries);
        refusal.reason = kTooLarge + std::to_string(entryCount) + "个条目，最多" +
                         std::to_string(kMaxEntries) + "个";
        return PackwellFailure::TooLarge;
    }
    uint64_t document = 0;
    if (!DeclaredSize(archive, documentIndex, document) || document > kMaxDocumentBytes) {
        refusal.error = "tracks.xml of " + Mib(document) + ", more than " + Mib(kMaxDocumentBytes);
        refusal.reason = "tracks.xml过大";  // as the host says it of a document it reads
        return PackwellFailure::TooLarge;
    }
    uint64_t total = 0;
    for (const PlannedFile& file : files) {
        if (file.size > kMaxEntryBytes) {
            refusal.error = Utf8Of(file.target) + " of " + Mib(file.size) + ", more than " +
                            Mib(kMaxEntryBytes);
            refusal.reason = kTooLarge + Utf8Of(file.target.filename()) + "解压后" + Mb(file.size) +
                             "，一个文件最多" + Mb(kMaxEntryBytes);
            return PackwellFailure::TooLarge;
        }
        total += file.size;
    }
    if (total > kMaxUnpackedBytes) {
        refusal.error = Mib(total) + " unpacked, more than " + Mib(kMaxUnpackedBytes);
        refusal.reason =
            kTooLarge + std::string("解压后共") + Mb(total) + "，最多" + Mb(kMaxUnpackedBytes);
        return PackwellFailure::TooLarge;
    }
    // What this user may still write there (blocks kept for root do not count).
    std::error_code code;
    const fs::space_info disk = fs::space(targetRoot, code);
    if (!code) {
        const uint64_t free = disk.available;
        const uint64_t needed = SpaceNeeded(files);
        if (needed + kFreeSpaceMargin > free) {
            refusal.error = Mib(needed) + " needed, " + Mib(free) + " free on the store's disk";
            refusal.reason = "磁盘空间不足：解压需要" + Mb(needed) + "（另留" +
                             Mb(kFreeSpaceMargin) + "），可用" + Mb(free);
            return PackwellFailure::DiskFull;
        }
    }
    return PackwellFailure::None;
}

}  // namespace packwell
