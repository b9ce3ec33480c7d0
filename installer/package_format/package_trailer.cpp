#include "package_format/package_trailer.h"

#include <vector>

#include "pe/little_endian.h"
#include "pe/pe_image.h"

namespace package_format {

using little_endian::Read32;

void EncodeTrailer(const Trailer& trailer, uint8_t out[kTrailerSize]) {
    little_endian::Write32(trailer.dataSize, out);
    little_endian::Write32(trailer.total, out + 4);
}

Trailer DecodeTrailer(const uint8_t in[kTrailerSize]) {
    Trailer trailer;
    trailer.dataSize = Read32(in);
    trailer.total = Read32(in + 4);
    return trailer;
}

bool ArchiveFits(uint32_t dataSize, uint32_t total) {
    return static_cast<int64_t>(dataSize) <=
           static_cast<int64_t>(static_cast<int32_t>(total)) - kTrailerSize;
}

uint32_t AlignmentPadding(uint64_t programSize, uint64_t archiveSize) {
    return static_cast<uint32_t>((8 - (programSize + archiveSize + kTrailerSize) % 8) % 8);
}

bool ParsePeHeaders(const uint8_t* data, size_t size, PeHeaders* headers) {
    pe::Headers parsed;
    if (!pe::ParseHeaders(data, size, &parsed)) {
        return false;
    }
    PeHeaders result;
    result.machine = parsed.machine;
    result.magic = parsed.magic;
    result.subsystem = parsed.subsystem;
    result.characteristics = parsed.characteristics;
    result.optionalHeaderAt = static_cast<uint32_t>(parsed.optionalAt);
    pe::DataDirectory security;
    if (pe::FindDirectory(data, parsed, pe::kSecurityDirectory, &security)) {
        result.securityEntryAt = static_cast<uint32_t>(security.entryAt);
        result.securityOffset = security.address;
        result.securitySize = security.size;
    }
    *headers = result;
    return true;
}

uint32_t SignatureSize(const uint8_t* headers, size_t headerBytes, uint64_t fileSize) {
    PeHeaders pe;
    if (!ParsePeHeaders(headers, headerBytes, &pe) || pe.securitySize == 0) {
        return 0;
    }
    const uint64_t end = uint64_t{pe.securityOffset} + pe.securitySize;
    // The table follows at least a trailer.
    if (end != fileSize || pe.securityOffset < kTrailerSize) {
        return 0;
    }
    return pe.securitySize;
}

uint32_t SignatureSize(std::FILE* file, uint64_t fileSize) {
    std::vector<uint8_t> headers(
        static_cast<size_t>(fileSize < kHeaderProbeSize ? fileSize : kHeaderProbeSize));
    if (headers.empty() || std::fseek(file, 0, SEEK_SET) != 0 ||
        std::fread(headers.data(), 1, headers.size(), file) != headers.size()) {
        return 0;
    }
    return SignatureSize(headers.data(), headers.size(), fileSize);
}

LayoutStatus ReadLayout(std::FILE* file, uint64_t fileSize, Layout* layout) {
    Layout result;
    result.signatureSize = SignatureSize(file, fileSize);
    const uint64_t end = fileSize - result.signatureSize;
    if (end < kTrailerSize) {
        return LayoutStatus::kTooShort;
    }
    uint8_t bytes[kTrailerSize];
    if (end > kMaxTotalSize + kTrailerSize ||
        std::fseek(file, static_cast<long>(end - kTrailerSize), SEEK_SET) != 0 ||
        std::fread(bytes, 1, kTrailerSize, file) != kTrailerSize) {
        return LayoutStatus::kReadFailed;
    }
    result.trailer = DecodeTrailer(bytes);
    if (result.trailer.total != end) {
        *layout = result;
        return LayoutStatus::kTotalMismatch;
    }
    if (!ArchiveFits(result.trailer.dataSize, result.trailer.total)) {
        *layout = result;
        return LayoutStatus::kArchiveTooLarge;
    }
    result.archiveOffset = end - kTrailerSize - result.trailer.dataSize;
    result.programSize = result.archiveOffset;
    *layout = result;
    return LayoutStatus::kOk;
}

}  // namespace package_format
