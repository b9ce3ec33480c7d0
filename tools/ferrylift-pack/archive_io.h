// minizip over an open stream: an archive written into a scratch file's descriptor, and an
// archive read where it lies inside a package, without copying it out.
#pragma once

#include <unzip.h>
#include <zip.h>

#include <cstdint>
#include <cstdio>

namespace ferrylift_pack {

// A part of a stream seen as a whole file: bytes [offset, offset + size). For writing, size
// is unbounded and the part starts at offset 0.
struct StreamWindow {
    std::FILE* file = nullptr;
    uint64_t offset = 0;
    uint64_t size = UINT64_MAX;
    uint64_t position = 0;  // relative to offset
    // Where the stream stands, absolute; a seek is made only when it differs (minizip reads
    // the directory a byte at a time, and every seek empties the stream's buffer).
    uint64_t streamAt = UINT64_MAX;
};

// Archives over window, which must outlive the handle. Closing the handle leaves the stream
// open. Null when minizip refuses.
unzFile OpenArchiveIn(StreamWindow* window);
zipFile CreateArchiveIn(StreamWindow* window);

}  // namespace ferrylift_pack
