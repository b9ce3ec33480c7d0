// Walking an open minizip archive's entries, for the extractor, the archive check and the name
// rule. Internal to them.
#pragma once

#include <unzip.h>

#include <cstddef>
#include <memory>
#include <string>

#include "support/log_file.h"

namespace zip_internal {

// General-purpose flag bit 11: the name is UTF-8.
constexpr unsigned long kUtf8NameFlag = 0x800;
// Entry names are at most 65535 bytes (a 16-bit length).
constexpr size_t kNameCapacity = 65536;

// Walks the entries of an open archive from the current one (the first after opening);
// visit(archive, info, name) returns false to stop. False, with a log line under tag, when
// minizip fails or visit stops.
template <typename Visit>
bool ForEachEntry(const char* tag, unzFile archive, Visit visit) {
    unz_global_info64 global;
    if (unzGetGlobalInfo64(archive, &global) != UNZ_OK) {
        LogPrintf(g_libraryLog, "%s unzGetGlobalInfo64 != UNZ_OK", tag);
        return false;
    }
    std::unique_ptr<char[]> name(new char[kNameCapacity]);
    for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
        if (i > 0 && unzGoToNextFile(archive) != UNZ_OK) {
            LogPrintf(g_libraryLog, "%s unzGoToNextFile != UNZ_OK", tag);
            return false;
        }
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(archive, &info, name.get(), kNameCapacity, nullptr, 0, nullptr,
                                    0) != UNZ_OK) {
            LogPrintf(g_libraryLog, "%s unzGetCurrentFileInfo64 != UNZ_OK", tag);
            return false;
        }
        if (!visit(archive, info, std::string(name.get(), info.size_filename))) {
            return false;
        }
    }
    return true;
}

}  // namespace zip_internal
