// A libzip archive held for the length of one Packwell call: discarded (left
// unchanged) unless it was closed on purpose.
#pragma once

#include <zip.h>

#include <memory>
#include <string>

namespace packwell {

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

// Opens path with zip_open's flags; a non-empty password becomes the default
// password. Null, with the reason in error, when it cannot be opened.
Archive OpenArchive(const std::string& path, int flags, const std::string& password,
                    std::string& error);

// libzip's text of the archive's last error, after the call that failed.
std::string ZipError(const char* call, zip_t* archive);

}  // namespace packwell
