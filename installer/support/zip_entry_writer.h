// Writing one archive entry to its output file: in place, or beside the target and renamed over
// it once complete (see ZipWriteMode). Internal to the extractor.
#pragma once

#include <string>

#include "support/zip_extract.h"

namespace zip_internal {

// The archive's current entry, open for reading: closed on every way out unless Close (which
// checks its size and CRC) was called.
class OpenEntry {
public:
    explicit OpenEntry(void* archive) : archive_(archive) {}
    ~OpenEntry();
    OpenEntry(const OpenEntry&) = delete;
    OpenEntry& operator=(const OpenEntry&) = delete;
    void* Archive() const { return archive_; }
    // unzCloseCurrentFile: where the library reports a CRC mismatch, once the data was read to
    // its end. True when it matched.
    bool Close();

private:
    void* archive_;
    bool open_ = true;
};

// Writes the entry to path in the given mode, asking onCreateFailed when the file cannot be
// created (or, replacing, opened for writing). True when written or skipped by the callback.
// name is the entry's name for log lines; dosDateTime its stored time.
bool WriteEntry(OpenEntry* entry, const std::string& name, unsigned long dosDateTime,
                const std::string& path, const ZipCreateFailed& onCreateFailed, ZipWriteMode mode);

}  // namespace zip_internal
