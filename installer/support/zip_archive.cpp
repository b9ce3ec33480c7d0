#include "support/zip_archive.h"

#include <unzip.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/file.h"

namespace zip_internal {
namespace {

// minizip's file functions over a handle the caller keeps open. Each open of the archive gets
// a stream of its own, with its own position and a read buffer: minizip reads the directory a
// field of 2 or 4 bytes at a time, which unbuffered would be a system call each (tens of
// thousands per pass). Every physical read seeks first, so streams sharing the handle do not
// disturb each other. Closing the stream leaves the handle open.
constexpr size_t kStreamBuffer = 64 * 1024;

struct HandleStream {
    explicit HandleStream(platform::FileHandle handle) : file(handle), buffer(kStreamBuffer) {
        int64_t at = 0;
        if (platform::SeekFile(file, 0, platform::SeekOrigin::kCurrent, &at)) {
            position = static_cast<uint64_t>(at);
        }
    }
    platform::FileHandle file;
    bool failed = false;
    uint64_t position = 0;
    std::vector<char> buffer;
    uint64_t bufferStart = 0;
    size_t bufferLength = 0;

    // Up to size bytes at position straight from the file; how many were read.
    uint32_t ReadAt(char* out, uint32_t size) {
        uint32_t done = 0;
        if (!platform::SeekFile(file, static_cast<int64_t>(position),
                                platform::SeekOrigin::kBegin) ||
            !platform::ReadFile(file, out, size, &done)) {
            failed = true;
            return 0;
        }
        return done;
    }
};

voidpf ZCALLBACK OpenHandle(voidpf opaque, const void* /*name*/, int /*mode*/) {
    return new HandleStream(static_cast<platform::FileHandle>(opaque));
}

uLong ZCALLBACK ReadHandle(voidpf /*opaque*/, voidpf stream, void* buffer, uLong size) {
    auto* s = static_cast<HandleStream*>(stream);
    char* out = static_cast<char*>(buffer);
    uLong total = 0;
    while (total < size) {
        const uLong wanted = size - total;
        if (s->position >= s->bufferStart && s->position < s->bufferStart + s->bufferLength) {
            const size_t offset = static_cast<size_t>(s->position - s->bufferStart);
            const size_t piece = std::min<size_t>(s->bufferLength - offset, wanted);
            std::memcpy(out + total, s->buffer.data() + offset, piece);
            total += piece;
            s->position += piece;
            continue;
        }
        if (wanted >= kStreamBuffer) {
            const uint32_t done = s->ReadAt(
                out + total, static_cast<uint32_t>(std::min<uLong>(wanted, 0x40000000ul)));
            if (done == 0) {
                break;
            }
            total += done;
            s->position += done;
            continue;
        }
        s->bufferLength = s->ReadAt(s->buffer.data(), static_cast<uint32_t>(kStreamBuffer));
        s->bufferStart = s->position;
        if (s->bufferLength == 0) {
            break;
        }
    }
    return total;
}

uLong ZCALLBACK WriteHandle(voidpf /*opaque*/, voidpf stream, const void*, uLong) {
    static_cast<HandleStream*>(stream)->failed = true;  // archives are only read
    return 0;
}

ZPOS64_T ZCALLBACK TellHandle(voidpf /*opaque*/, voidpf stream) {
    return static_cast<HandleStream*>(stream)->position;
}

long ZCALLBACK SeekHandle(voidpf /*opaque*/, voidpf stream, ZPOS64_T offset, int origin) {
    auto* s = static_cast<HandleStream*>(stream);
    if (origin == ZLIB_FILEFUNC_SEEK_SET) {
        s->position = offset;
        return 0;
    }
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
        s->position += offset;  // wraps for a negative offset, as minizip passes it
        return 0;
    }
    int64_t end = 0;
    if (!platform::SeekFile(s->file, static_cast<int64_t>(offset), platform::SeekOrigin::kEnd,
                            &end)) {
        return -1;
    }
    s->position = static_cast<uint64_t>(end);
    return 0;
}

int ZCALLBACK CloseHandleStream(voidpf /*opaque*/, voidpf stream) {
    delete static_cast<HandleStream*>(stream);
    return 0;
}

int ZCALLBACK HandleError(voidpf /*opaque*/, voidpf stream) {
    return static_cast<HandleStream*>(stream)->failed ? 1 : 0;
}

// The first bytes of the archive, up to size; how many were read.
size_t ReadStart(const ZipSource& zip, unsigned char* buffer, size_t size) {
    if (zip.File() != nullptr) {
        uint32_t done = 0;
        if (!platform::SeekFile(zip.File(), 0, platform::SeekOrigin::kBegin) ||
            !platform::ReadFile(zip.File(), buffer, static_cast<uint32_t>(size), &done)) {
            return 0;
        }
        return done;
    }
    platform::UniqueStream file(platform::OpenStream(zip.Name(), "rb"));
    return file ? std::fread(buffer, 1, size, file.Get()) : 0;
}

// minizip looks for the end record only after the first byte of the file, so an archive of no
// entries, which is the end record alone, does not open. It holds nothing to extract.
bool IsBareEmptyArchive(const ZipSource& zip) {
    unsigned char record[23];
    if (ReadStart(zip, record, sizeof record) != 22) {
        return false;
    }
    static const unsigned char kEmptyEnd[10] = {'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0};
    return std::memcmp(record, kEmptyEnd, sizeof kEmptyEnd) == 0 && record[10] == 0 &&
           record[11] == 0 && record[20] == 0 && record[21] == 0;
}

void* Open(const ZipSource& zip) {
    if (zip.File() == nullptr) {
        return unzOpen64(zip.Name());
    }
    zlib_filefunc64_def functions{OpenHandle, ReadHandle,        WriteHandle, TellHandle,
                                  SeekHandle, CloseHandleStream, HandleError, zip.File()};
    return unzOpen2_64(zip.Name(), &functions);
}

}  // namespace

Archive::Archive(const ZipSource& zip) : handle_(Open(zip)) {
    empty_ = handle_ == nullptr && IsBareEmptyArchive(zip);
}

Archive::~Archive() {
    if (handle_ != nullptr) {
        unzClose(static_cast<unzFile>(handle_));
    }
}

}  // namespace zip_internal
