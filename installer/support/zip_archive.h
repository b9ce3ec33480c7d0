// Opening an archive with minizip, for the extractor and the archive check. Internal to them.
#pragma once

#include "support/zip_extract.h"

namespace zip_internal {

// An open minizip archive (unzFile), closed on every way out.
class Archive {
public:
    // Opens the archive. Empty() is then true for an archive that holds nothing, Get() is null
    // for one that cannot be opened.
    explicit Archive(const ZipSource& zip);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    void* Get() const { return handle_; }
    bool Empty() const { return empty_; }

private:
    void* handle_ = nullptr;
    bool empty_ = false;
};

}  // namespace zip_internal
