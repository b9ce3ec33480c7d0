#include "program_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "package_format/package_trailer.h"
#include "platform/version_resource.h"
#include "support/little_endian.h"

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
    const uint8_t* archive = data + end - kTrailerSize - trailer.dataSize;
    return std::memcmp(archive, "PK\x03\x04", 4) == 0 || std::memcmp(archive, "PK\x05\x06", 4) == 0;
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
           std::fread(start, 1, 4, file.get()) == 4 &&
           (std::memcmp(start, "PK\x03\x04", 4) == 0 || std::memcmp(start, "PK\x05\x06", 4) == 0);
}

}  // namespace ferrylift_pack
