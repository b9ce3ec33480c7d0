#include "archive_end.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "pe/little_endian.h"

namespace ferrylift_pack {
namespace {

using little_endian::Read16;
using little_endian::Read32;

constexpr uint64_t kEndRecordSize = 22;
constexpr uint64_t kMaxComment = 0xffff;
constexpr uint64_t kLocatorSize = 20;
constexpr uint64_t kZip64RecordSize = 56;

uint64_t Read64(const uint8_t* at) {
    return Read32(at) | uint64_t{Read32(at + 4)} << 32;
}

bool ReadAt(std::FILE* file, uint64_t at, uint8_t* out, size_t size) {
    return fseeko(file, static_cast<off_t>(at), SEEK_SET) == 0 &&
           std::fread(out, 1, size, file) == size;
}

std::string Span(uint64_t from, uint64_t size) {
    return std::to_string(from) + " to " + std::to_string(from + size);
}

// The ZIP64 records in front of the end record at endAt (archive offsets).
std::string ReadZip64End(std::FILE* file, uint64_t offset, uint64_t endAt, ArchiveEnd* end) {
    end->zip64 = false;
    uint8_t locator[kLocatorSize];
    if (endAt < kLocatorSize ||
        !ReadAt(file, offset + endAt - kLocatorSize, locator, kLocatorSize) ||
        std::memcmp(locator, "PK\x06\x07", 4) != 0) {
        return "its end record marks ZIP64 values, but no ZIP64 end locator precedes it";
    }
    const uint64_t locatorAt = endAt - kLocatorSize;
    const uint64_t recordAt = Read64(locator + 8);
    uint8_t record[kZip64RecordSize];
    if (recordAt + kZip64RecordSize > locatorAt ||
        !ReadAt(file, offset + recordAt, record, kZip64RecordSize) ||
        std::memcmp(record, "PK\x06\x06", 4) != 0) {
        return "its ZIP64 end locator points at offset " + std::to_string(recordAt) +
               ", where no ZIP64 end record is (the locator is at " + std::to_string(locatorAt) +
               ")";
    }
    const uint64_t recordEnd = recordAt + 12 + Read64(record + 4);
    if (recordEnd != locatorAt) {
        return "its ZIP64 end record at offset " + std::to_string(recordAt) + " ends at " +
               std::to_string(recordEnd) + ", not at its locator at " + std::to_string(locatorAt);
    }
    end->entries = Read64(record + 32);
    end->directorySize = Read64(record + 40);
    end->directoryOffset = Read64(record + 48);
    end->zip64 = true;
    if (end->directoryOffset + end->directorySize != recordAt) {
        return "its ZIP64 end record says the central directory lies from " +
               Span(end->directoryOffset, end->directorySize) +
               ", but the record itself is at offset " + std::to_string(recordAt) +
               ": the trailer's archive size does not match the archive's own offsets";
    }
    return "";
}

}  // namespace

std::string ReadArchiveEnd(std::FILE* file, uint64_t offset, uint64_t size, ArchiveEnd* end) {
    const uint64_t tailSize = std::min(size, kEndRecordSize + kMaxComment);
    std::vector<uint8_t> tail(static_cast<size_t>(tailSize));
    if (!ReadAt(file, offset + size - tailSize, tail.data(), tail.size())) {
        return "its archive cannot be read";
    }
    // The end record whose comment reaches exactly to the archive's end.
    for (uint64_t back = kEndRecordSize; back <= tailSize; ++back) {
        const uint8_t* record = tail.data() + tailSize - back;
        if (std::memcmp(record, "PK\x05\x06", 4) != 0 ||
            kEndRecordSize + Read16(record + 20) != back) {
            continue;
        }
        const uint64_t endAt = size - back;
        end->comment.assign(reinterpret_cast<const char*>(record) + kEndRecordSize,
                            static_cast<size_t>(back - kEndRecordSize));
        const uint16_t entries = Read16(record + 10);
        const uint32_t directorySize = Read32(record + 12);
        const uint32_t directoryOffset = Read32(record + 16);
        const bool sizesMarked = directorySize == 0xffffffffu || directoryOffset == 0xffffffffu;
        if (sizesMarked || entries == 0xffff) {
            std::string reason = ReadZip64End(file, offset, endAt, end);
            // Exactly 65,535 entries may also be written without ZIP64 records.
            if (end->zip64 || sizesMarked) {
                return reason;
            }
        }
        end->entries = entries;
        end->directoryOffset = directoryOffset;
        end->directorySize = directorySize;
        end->zip64 = false;
        if (uint64_t{directoryOffset} + directorySize != endAt) {
            return "its end record says the central directory lies from " +
                   Span(directoryOffset, directorySize) + ", but the record itself is at offset " +
                   std::to_string(endAt) + ": the trailer's archive size " + std::to_string(size) +
                   " does not match the archive's own offsets";
        }
        return "";
    }
    return "the trailer's archive size " + std::to_string(size) +
           " does not end at the archive's end record";
}

}  // namespace ferrylift_pack
