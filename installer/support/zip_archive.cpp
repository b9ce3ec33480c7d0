#include "support/zip_archive.h"

#include <unzip.h>

#include <cstdio>
#include <cstring>

#include "platform/file.h"

namespace zip_internal {
namespace {

// minizip's file functions over a handle the caller keeps open. Each open of the archive gets
// a stream of its own; closing it leaves the handle open.
struct HandleStream {
    platform::FileHandle file;
    bool failed = false;
};

voidpf ZCALLBACK OpenHandle(voidpf opaque, const void* /*name*/, int /*mode*/) {
    return new HandleStream{static_cast<platform::FileHandle>(opaque)};
}

uLong ZCALLBACK ReadHandle(voidpf /*opaque*/, voidpf stream, void* buffer, uLong size) {
    auto* s = static_cast<HandleStream*>(stream);
    uLong total = 0;
    while (total < size) {
        uint32_t done = 0;
        const uLong want = size - total < 0x40000000ul ? size - total : 0x40000000ul;
        if (!platform::ReadFile(s->file, static_cast<char*>(buffer) + total,
                                static_cast<uint32_t>(want), &done)) {
            s->failed = true;
            break;
        }
        if (done == 0) {
            break;
        }
        total += done;
    }
    return total;
}

uLong ZCALLBACK WriteHandle(voidpf /*opaque*/, voidpf stream, const void*, uLong) {
    static_cast<HandleStream*>(stream)->failed = true;  // archives are only read
    return 0;
}

ZPOS64_T ZCALLBACK TellHandle(voidpf /*opaque*/, voidpf stream) {
    int64_t position = 0;
    if (!platform::SeekFile(static_cast<HandleStream*>(stream)->file, 0,
                            platform::SeekOrigin::kCurrent, &position)) {
        return static_cast<ZPOS64_T>(-1);
    }
    return static_cast<ZPOS64_T>(position);
}

long ZCALLBACK SeekHandle(voidpf /*opaque*/, voidpf stream, ZPOS64_T offset, int origin) {
    platform::SeekOrigin from = platform::SeekOrigin::kBegin;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
        from = platform::SeekOrigin::kCurrent;
    } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
        from = platform::SeekOrigin::kEnd;
    }
    return platform::SeekFile(static_cast<HandleStream*>(stream)->file,
                              static_cast<int64_t>(offset), from)
               ? 0
               : -1;
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
