#include "support/zip_check.h"

#include <unzip.h>

#include <memory>

#include "support/file_helpers.h"
#include "support/log_file.h"
#include "support/zip_archive.h"
#include "support/zip_entries.h"
#include "support/zip_entry_writer.h"
#include "support/zip_names.h"

namespace {

constexpr char kListTag[] = "ZipListEntries";
constexpr char kVerifyTag[] = "ZipVerifyEntries";

}  // namespace

bool ZipListEntries(const ZipSource& zip, const std::string& destDir,
                    std::vector<ZipListedEntry>* entries) {
    entries->clear();
    zip_internal::Archive opened(zip);
    if (opened.Empty()) {
        return true;
    }
    if (opened.Get() == nullptr) {
        LogPrintf(g_libraryLog, "%s unzOpen64(%s) == NULL", kListTag, zip.Name());
        return false;
    }
    const std::string dest = zip_internal::WithSeparator(destDir);
    return zip_internal::ForEachEntry(
        kListTag, static_cast<unzFile>(opened.Get()),
        [&](unzFile, const unz_file_info64& info, const std::string& name) {
            ZipListedEntry entry;
            entry.name = name;
            entry.utf8 = (info.flag & zip_internal::kUtf8NameFlag) != 0;
            entry.size = info.uncompressed_size;
            if (!zip_internal::OutputPath(dest, entry.utf8 ? Utf8ToAnsi(name) : name, false,
                                          &entry.path)) {
                entry.path.clear();
            }
            entries->push_back(entry);
            return true;
        });
}

bool ZipVerifyEntries(const ZipSource& zip) {
    zip_internal::Archive opened(zip);
    if (opened.Empty()) {
        return true;
    }
    if (opened.Get() == nullptr) {
        LogPrintf(g_libraryLog, "%s unzOpen64(%s) == NULL", kVerifyTag, zip.Name());
        return false;
    }
    // One buffer for all entries: the data is only counted, and checked by the library.
    std::unique_ptr<char[]> buffer(new char[64 * 1024]);
    return zip_internal::ForEachEntry(
        kVerifyTag, static_cast<unzFile>(opened.Get()),
        [&](unzFile archive, const unz_file_info64& info, const std::string& name) {
            if (unzOpenCurrentFile(archive) != UNZ_OK) {
                LogPrintf(g_libraryLog, "%s unzOpenCurrentFile != UNZ_OK entry(%s)", kVerifyTag,
                          name.c_str());
                return false;
            }
            zip_internal::OpenEntry entry(archive);
            uint64_t total = 0;
            for (;;) {
                const int count = unzReadCurrentFile(archive, buffer.get(), 64 * 1024);
                if (count < 0) {
                    LogPrintf(g_libraryLog, "%s unzReadCurrentFile < 0 entry(%s) result(%d)",
                              kVerifyTag, name.c_str(), count);
                    return false;
                }
                if (count == 0) {
                    break;
                }
                total += static_cast<uint64_t>(count);
            }
            // The library stops at the stored size, and checks the CRC at the close.
            if (total != info.uncompressed_size || !entry.Close()) {
                LogPrintf(g_libraryLog,
                          "%s entry(%s) damaged: %llu bytes of %llu, or its CRC differs",
                          kVerifyTag, name.c_str(), static_cast<unsigned long long>(total),
                          static_cast<unsigned long long>(info.uncompressed_size));
                return false;
            }
            return true;
        });
}
