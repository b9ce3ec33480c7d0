#include "support/zip_archive.h"

#include <unzip.h>

#include <cstdio>
#include <cstring>

#include "platform/file.h"

namespace zip_internal {
namespace {

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

Archive::Archive(const char* zipPath) : handle_(unzOpen64(zipPath)) {
    empty_ = handle_ == nullptr && IsBareEmptyArchive(zipPath);
}

Archive::~Archive() {
    if (handle_ != nullptr) {
        unzClose(static_cast<unzFile>(handle_));
    }
}

}  // namespace zip_internal
