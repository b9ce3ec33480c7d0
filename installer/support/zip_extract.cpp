#include "support/zip_extract.h"

#include <unzip.h>

#include <cctype>
#include <utility>

#include "platform/directory.h"
#include "platform/error.h"
#include "platform/path.h"
#include "platform/text.h"
#include "support/file_helpers.h"
#include "support/log_file.h"
#include "support/zip_archive.h"
#include "support/zip_entries.h"
#include "support/zip_entry_writer.h"
#include "support/zip_name_rule.h"
#include "support/zip_names.h"

namespace {

constexpr char kExtractTag[] = "ZipExtractEx";
constexpr char kEntryTag[] = "ZipExtractCurrentFile";
constexpr size_t kNameBufferSize = 260;

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
        LogPrintf(g_libraryLog, "%s unzOpenCurrentFile != UNZ_OK entry(%s)", kEntryTag, nameBuffer);
        return false;
    }
    zip_internal::OpenEntry entry(archive);

    std::string name =
        (info.flag & zip_internal::kUtf8NameFlag) != 0 ? Utf8ToAnsi(nameBuffer) : nameBuffer;
    if (zip_internal::IsUnsafeName(name)) {
        LogPrintf(g_libraryLog, "%s unsafe entry name(%s)", kEntryTag, name.c_str());
        return false;
    }

    // Each folder on the way is created, also for a file the filter leaves out.
    std::string path;
    if (!zip_internal::OutputPath(destDir, name, true, &path)) {
        return true;  // a folder entry, or a name that could not be converted
    }
    if (!filter(path)) {
        return true;
    }
    return zip_internal::WriteEntry(&entry, nameBuffer, info.dosDate, path, onCreateFailed, mode);
}

bool ZipExtractEx(const ZipSource& zip, const char* destDir, ZipFilter filter,
                  ZipCreateFailed onCreateFailed, ZipWriteMode mode) {
    zip_internal::Archive opened(zip);
    if (opened.Empty()) {
        platform::CreateDirectory(destDir);
        return true;
    }
    unzFile archive = static_cast<unzFile>(opened.Get());
    if (archive == nullptr) {
        LogPrintf(g_libraryLog, "%s unzOpen64(%s) == NULL", kExtractTag, zip.Name());
        return false;
    }

    // Every name is checked before the first file is written: one that Windows would write as
    // another file, or as a device, refuses the whole archive.
    const std::string dest = zip_internal::WithSeparator(destDir);
    if (!zip_internal::CheckEntryNames(kExtractTag, archive, dest)) {
        return false;
    }
    unz_global_info64 global;
    const ZPOS64_T count = unzGetGlobalInfo64(archive, &global) == UNZ_OK ? global.number_entry : 0;
    platform::CreateDirectory(destDir);
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
