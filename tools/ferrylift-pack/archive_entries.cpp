#include "archive_entries.h"

#include <memory>

#include "files.h"

namespace ferrylift_pack {
namespace {

// Names are read whole: the field holds at most 65,535 bytes.
constexpr size_t kNameBufferSize = 0x10000 + 1;

}  // namespace

std::string ReadEntries(unzFile zip, std::vector<ArchiveEntry>* entries) {
    std::vector<char> name(kNameBufferSize);
    int step = unzGoToFirstFile(zip);
    for (; step == UNZ_OK; step = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, name.data(), name.size(), nullptr, 0, nullptr, 0) !=
            UNZ_OK) {
            return "entry " + std::to_string(entries->size() + 1) + " cannot be read";
        }
        ArchiveEntry entry;
        entry.stored.assign(name.data(), info.size_filename);
        entry.utf8 = (info.flag & 0x800) != 0;
        entry.flag = info.flag;
        entry.method = info.compression_method;
        entry.size = info.uncompressed_size;
        entry.compressedSize = info.compressed_size;
        entry.crc = static_cast<uint32_t>(info.crc);
        unzGetFilePos64(zip, &entry.position);
        entries->push_back(std::move(entry));
    }
    if (step != UNZ_END_OF_LIST_OF_FILE) {
        return "its archive's directory is damaged after entry " + std::to_string(entries->size());
    }
    return "";
}

std::string InflateEntry(unzFile zip, const ArchiveEntry& entry, const ChunkSink& sink) {
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
        return "cannot be opened";
    }
    std::vector<uint8_t> buffer(kChunkSize);
    uint64_t total = 0;
    for (;;) {
        const int got =
            unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (got < 0) {
            unzCloseCurrentFile(zip);
            return got == UNZ_CRCERROR ? "has a wrong CRC" : "does not inflate (damaged data)";
        }
        if (got == 0) {
            break;
        }
        total += static_cast<uint64_t>(got);
        if (total > entry.size) {
            unzCloseCurrentFile(zip);
            return "inflates to more than its recorded size " + std::to_string(entry.size);
        }
        if (!sink(buffer.data(), static_cast<size_t>(got))) {
            unzCloseCurrentFile(zip);
            return "";
        }
    }
    const int closed = unzCloseCurrentFile(zip);
    if (closed == UNZ_CRCERROR) {
        return "has a wrong CRC";
    }
    if (total != entry.size || closed != UNZ_OK) {
        return "does not inflate to its recorded size " + std::to_string(entry.size) + " (gives " +
               std::to_string(total) + ")";
    }
    return "";
}

}  // namespace ferrylift_pack
