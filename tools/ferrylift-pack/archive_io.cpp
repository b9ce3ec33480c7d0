#include "archive_io.h"

#include <algorithm>

namespace ferrylift_pack {
namespace {

StreamWindow* WindowOf(voidpf stream) {
    return static_cast<StreamWindow*>(stream);
}

// Moves the stream to the window's position.
bool Position(StreamWindow* window) {
    const uint64_t at = window->offset + window->position;
    if (window->streamAt == at) {
        return true;
    }
    window->streamAt = UINT64_MAX;
    if (fseeko(window->file, static_cast<off_t>(at), SEEK_SET) != 0) {
        return false;
    }
    window->streamAt = at;
    return true;
}

voidpf ZCALLBACK Open(voidpf opaque, const void*, int) {
    StreamWindow* window = WindowOf(opaque);
    window->position = 0;
    window->streamAt = UINT64_MAX;
    return window;
}

uLong ZCALLBACK Read(voidpf, voidpf stream, void* buffer, uLong size) {
    StreamWindow* window = WindowOf(stream);
    if (window->position >= window->size) {
        return 0;
    }
    const uint64_t want = std::min<uint64_t>(size, window->size - window->position);
    if (!Position(window)) {
        return 0;
    }
    const size_t got = std::fread(buffer, 1, static_cast<size_t>(want), window->file);
    window->position += got;
    window->streamAt = got == want ? window->streamAt + got : UINT64_MAX;
    return static_cast<uLong>(got);
}

uLong ZCALLBACK Write(voidpf, voidpf stream, const void* buffer, uLong size) {
    StreamWindow* window = WindowOf(stream);
    if (!Position(window)) {
        return 0;
    }
    const size_t written = std::fwrite(buffer, 1, size, window->file);
    window->position += written;
    window->streamAt = written == size ? window->streamAt + written : UINT64_MAX;
    return static_cast<uLong>(written);
}

ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) {
    return WindowOf(stream)->position;
}

long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    StreamWindow* window = WindowOf(stream);
    uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
        base = window->position;
    } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
        if (window->size == UINT64_MAX) {
            window->streamAt = UINT64_MAX;
            if (fseeko(window->file, 0, SEEK_END) != 0) {
                return -1;
            }
            base = static_cast<uint64_t>(ftello(window->file)) - window->offset;
        } else {
            base = window->size;
        }
    }
    const uint64_t target = base + offset;
    if (target > window->size) {
        return -1;
    }
    window->position = target;
    return 0;
}

int ZCALLBACK Close(voidpf, voidpf) {
    return 0;
}

int ZCALLBACK Error(voidpf, voidpf stream) {
    return std::ferror(WindowOf(stream)->file);
}

zlib_filefunc64_def Functions(StreamWindow* window) {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = Open;
    functions.zread_file = Read;
    functions.zwrite_file = Write;
    functions.ztell64_file = Tell;
    functions.zseek64_file = Seek;
    functions.zclose_file = Close;
    functions.zerror_file = Error;
    functions.opaque = window;
    return functions;
}

}  // namespace

unzFile OpenArchiveIn(StreamWindow* window) {
    zlib_filefunc64_def functions = Functions(window);
    return unzOpen2_64("", &functions);
}

zipFile CreateArchiveIn(StreamWindow* window) {
    zlib_filefunc64_def functions = Functions(window);
    return zipOpen2_64("", APPEND_STATUS_CREATE, nullptr, &functions);
}

}  // namespace ferrylift_pack
