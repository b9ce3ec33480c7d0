#include "program_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "package_format/package_trailer.h"
#include "platform/version_resource.h"

namespace ferrylift_pack {

std::string CheckProgram(const uint8_t* data, size_t size, bool posixStandIn,
                         std::string* description) {
    size_t offset = 0;
    size_t length = 0;
    const bool hasVersion = platform::FindVersionResource(data, size, &offset, &length);
    if (size >= 4 && std::memcmp(data,
                                 "\x7f"
                                 "ELF",
                                 4) == 0) {
        if (!posixStandIn) {
            return "is an ELF program (the POSIX build?), not a Windows program";
        }
        *description = "POSIX stand-in (ELF), not for Windows";
        return hasVersion ? "" : "has no version resource";
    }
    package_format::PeHeaders pe;
    if (!package_format::ParsePeHeaders(data, size, &pe)) {
        return "is not a Windows program (no PE headers)";
    }
    if (!((pe.machine == 0x8664 && pe.magic == 0x20b) ||
          (pe.machine == 0x14c && pe.magic == 0x10b))) {
        return "is a Windows program for neither x86-64 nor x86";
    }
    if ((pe.characteristics & 0x0002) == 0 || (pe.characteristics & 0x2000) != 0) {
        return "is a library, not a program";
    }
    if (pe.subsystem != 2) {
        return "is not a program of the Windows graphical subsystem (subsystem " +
               std::to_string(pe.subsystem) + ")";
    }
    if (!hasVersion) {
        return "has no version resource";
    }
    *description = std::string("Windows GUI program, ") + (pe.machine == 0x8664 ? "x86-64" : "x86");
    return "";
}

bool IsPackage(const uint8_t* data, size_t size) {
    using package_format::kTrailerSize;
    const uint32_t signature = package_format::SignatureSize(
        data, std::min<size_t>(size, package_format::kHeaderProbeSize), size);
    const size_t end = size - signature;
    if (end < kTrailerSize) {
        return false;
    }
    const package_format::Trailer trailer =
        package_format::DecodeTrailer(data + end - kTrailerSize);
    if (trailer.total != end || !package_format::ArchiveFits(trailer.dataSize, trailer.total) ||
        trailer.dataSize < 4) {
        return false;
    }
    return PackageProbe::StartsArchive(data + end - kTrailerSize - trailer.dataSize);
}

bool IsPackageFile(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         std::fclose);
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        return false;
    }
    const long size = std::ftell(file.get());
    package_format::Layout layout;
    uint8_t start[4];
    return size > 0 &&
           package_format::ReadLayout(file.get(), static_cast<uint64_t>(size), &layout) ==
               package_format::LayoutStatus::kOk &&
           layout.trailer.dataSize >= 4 &&
           std::fseek(file.get(), static_cast<long>(layout.archiveOffset), SEEK_SET) == 0 &&
           std::fread(start, 1, 4, file.get()) == 4 && PackageProbe::StartsArchive(start);
}

bool PackageProbe::StartsArchive(const uint8_t* bytes) {
    return std::memcmp(bytes, "PK\x03\x04", 4) == 0 || std::memcmp(bytes, "PK\x05\x06", 4) == 0;
}

void PackageProbe::Capture(const uint8_t* data, uint64_t from, uint64_t count) {
    const uint64_t start = end_ - std::min<uint64_t>(end_, package_format::kTrailerSize);
    for (uint64_t i = std::max(from, start); i < std::min(from + count, end_); ++i) {
        trailer_[package_format::kTrailerSize - (end_ - i)] = data[i - from];
    }
}

void PackageProbe::Feed(const uint8_t* data, size_t size) {
    const size_t keep = std::min<size_t>(size, package_format::kHeaderProbeSize - head_.size());
    head_.insert(head_.end(), data, data + keep);
    if (endKnown_) {
        Capture(data, seen_, size);
    } else if (head_.size() == package_format::kHeaderProbeSize || seen_ + size >= size_) {
        endKnown_ = true;
        end_ = size_ - package_format::SignatureSize(head_.data(), head_.size(), size_);
        Capture(head_.data(), 0, head_.size());
        Capture(data + keep, seen_ + keep, size - keep);
    }
    seen_ += size;
}

std::optional<bool> PackageProbe::Result() {
    using package_format::kTrailerSize;
    if (!endKnown_ || end_ < kTrailerSize) {
        return false;
    }
    const package_format::Trailer trailer = package_format::DecodeTrailer(trailer_);
    if (trailer.total != end_ || !package_format::ArchiveFits(trailer.dataSize, trailer.total) ||
        trailer.dataSize < 4) {
        return false;
    }
    const uint64_t at = end_ - kTrailerSize - trailer.dataSize;
    if (at + 4 <= head_.size()) {
        return StartsArchive(head_.data() + at);
    }
    archiveOffset_ = at;
    return std::nullopt;
}

}  // namespace ferrylift_pack
