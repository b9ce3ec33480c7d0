// The update package: the installer program, a ZIP archive of the client suite and an 8-byte
// trailer (archive length, then the whole length with these bytes; unsigned 32-bit
// little-endian):
//   [program][archive: dataSize bytes][dataSize][total]
// An Authenticode signature appends its certificate table after the trailer and records it in
// the program's PE security directory. Such a table, when it ends exactly at the end of the
// file, is not part of the package: the trailer lies just before it and total counts the file
// without it. Without a signature the trailer is the file's last 8 bytes.
#pragma once

#include <cstdint>
#include <cstdio>

namespace package_format {

constexpr uint32_t kTrailerSize = 8;
// Sizes and offsets are 32-bit, and the installer compares its own size as a signed value.
constexpr uint64_t kMaxTotalSize = (uint64_t{1} << 31) - 1;

struct Trailer {
    uint32_t dataSize = 0;
    uint32_t total = 0;
};

void EncodeTrailer(const Trailer& trailer, uint8_t out[kTrailerSize]);
Trailer DecodeTrailer(const uint8_t in[kTrailerSize]);

// True when an archive of dataSize bytes fits in front of the trailer of a package of total
// bytes, checked before anything is allocated for it.
bool ArchiveFits(uint32_t dataSize, uint32_t total);

// Zero bytes written between the program and the archive so that the package's length is a
// multiple of 8. Signing tools align the certificate table to 8 bytes; with an aligned
// package they add no padding, and the table starts right after the trailer.
uint32_t AlignmentPadding(uint64_t programSize, uint64_t archiveSize);

// What the loader and the signing tools read from a PE file's headers.
struct PeHeaders {
    uint16_t machine = 0;    // 0x8664 x86-64, 0x14c x86
    uint16_t magic = 0;      // 0x20b PE32+, 0x10b PE32
    uint16_t subsystem = 0;  // 2 Windows GUI, 3 console
    uint16_t characteristics = 0;
    uint32_t securityOffset = 0;  // data directory 4: a file offset, not an RVA
    uint32_t securitySize = 0;
    uint32_t optionalHeaderAt = 0;  // file offset of the optional header
    uint32_t securityEntryAt = 0;   // file offset of data directory 4; 0 when absent
};

// The first bytes a PE header parse needs in practice (DOS stub, PE and optional headers).
constexpr uint32_t kHeaderProbeSize = 4096;

// Parses the headers in data[0, size). False when they are not a complete PE header.
bool ParsePeHeaders(const uint8_t* data, size_t size, PeHeaders* headers);

// Bytes at the end of a file of fileSize bytes that belong to an Authenticode signature: the
// certificate table when the security directory ends exactly at the end of the file, else 0.
// headers holds the file's first headerBytes bytes.
uint32_t SignatureSize(const uint8_t* headers, size_t headerBytes, uint64_t fileSize);

// The same for an open file; the stream's position is left undefined.
uint32_t SignatureSize(std::FILE* file, uint64_t fileSize);

// Where the parts lie in a file, as the installer finds them.
struct Layout {
    uint32_t signatureSize = 0;
    Trailer trailer;
    uint64_t programSize = 0;  // bytes before the archive (program and alignment padding)
    uint64_t archiveOffset = 0;
};

enum class LayoutStatus {
    kOk,
    kTooShort,         // no room for a trailer
    kReadFailed,       // the stream could not be read
    kTotalMismatch,    // the trailer's total is not the file's size (less a signature)
    kArchiveTooLarge,  // dataSize reaches in front of the file
};

// Reads the trailer of a file of fileSize bytes and checks it against the size.
LayoutStatus ReadLayout(std::FILE* file, uint64_t fileSize, Layout* layout);

}  // namespace package_format
