#include "core/install_check.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/update.h"
#include "platform/directory.h"
#include "platform/error.h"
#include "platform/file.h"
#include "support/file_helpers.h"
#include "support/log_file.h"
#include "support/zip_check.h"

namespace Update {
namespace {

constexpr char kTag[] = "Update::CopyFileA";
constexpr uint64_t kBlock = 4096;

// The installation folder may not exist yet: its nearest existing ancestor lies on the same
// volume.
bool FreeBytesBelow(std::string folder, uint64_t* freeBytes) {
    for (;;) {
        if (platform::GetDiskFreeSpace(folder, freeBytes)) {
            return true;
        }
        std::string parent = GetParentPath(folder);
        if (parent.empty() || parent == folder) {
            return false;
        }
        folder = parent;
    }
}

uint64_t Blocks(uint64_t bytes) {
    return (bytes + kBlock - 1) / kBlock * kBlock;
}

// The most the installation grows at any moment: files are written in the order of the two
// passes, each beside its old copy (which goes with the rename), the main program last.
uint64_t PeakGrowth(const std::vector<ZipListedEntry>& entries) {
    std::vector<const ZipListedEntry*> order;
    for (bool clientPass : {false, true}) {
        for (const ZipListedEntry& entry : entries) {
            if (!entry.path.empty() &&
                (GetFileNamePart(entry.path) == kClientProgramName) == clientPass) {
                order.push_back(&entry);
            }
        }
    }
    int64_t grown = 0;
    int64_t peak = 0;
    for (const ZipListedEntry* entry : order) {
        platform::FileStatus old;
        const uint64_t oldBytes = platform::GetFileStatus(entry->path, &old) && !old.isDirectory
                                      ? Blocks(static_cast<uint64_t>(old.size))
                                      : 0;
        const int64_t fresh = static_cast<int64_t>(Blocks(entry->size));
        peak = std::max(peak, grown + fresh);
        grown += fresh - static_cast<int64_t>(oldBytes);
    }
    return static_cast<uint64_t>(peak);
}

}  // namespace

bool CheckArchiveBeforeInstall(const ZipSource& archive, const std::string& root) {
    std::vector<ZipListedEntry> entries;
    if (!ZipListEntries(archive, root, &entries)) {
        LogPrintf(&g_logFile, "%s ZipListEntries(%s) failed", kTag, archive.Name());
        return false;
    }
    const uint64_t needed = PeakGrowth(entries);
    uint64_t freeBytes = 0;
    if (!FreeBytesBelow(root, &freeBytes)) {
        LogPrintf(&g_logFile, "%s GetDiskFreeSpaceEx(%s) failed(%u)", kTag, root.c_str(),
                  platform::LastError());
        return false;
    }
    if (needed > freeBytes) {
        LogPrintf(&g_logFile, "%s disk of %s too small: needed(%llu) free(%llu)", kTag,
                  root.c_str(), static_cast<unsigned long long>(needed),
                  static_cast<unsigned long long>(freeBytes));
        return false;
    }
    // Inflated only now: an archive that would not fit is refused without unpacking it.
    if (!ZipVerifyEntries(archive)) {
        LogPrintf(&g_logFile, "%s archive(%s) is damaged, nothing written", kTag, archive.Name());
        return false;
    }
    return true;
}

}  // namespace Update
