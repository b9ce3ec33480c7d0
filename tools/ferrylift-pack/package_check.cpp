#include "package_check.h"

#include <unzip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "entry_names.h"
#include "files.h"
#include "package_format/package_trailer.h"
#include "program_check.h"
#include "support/file_version_info.h"
#include "support/little_endian.h"

namespace ferrylift_pack {
namespace {

using little_endian::Read16;
using little_endian::Read32;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// The archive's end record must end the archive and its directory must end at that record:
// then the trailer's dataSize and the archive agree on where the archive begins.
std::string CheckArchiveEnd(const std::vector<uint8_t>& archive) {
    const size_t size = archive.size();
    for (size_t back = 22; back <= size && back <= 22 + 0xffff; ++back) {
        const uint8_t* record = archive.data() + size - back;
        if (std::memcmp(record, "PK\x05\x06", 4) != 0 || size_t{22} + Read16(record + 20) != back) {
            continue;
        }
        const uint32_t directorySize = Read32(record + 12);
        const uint32_t directoryOffset = Read32(record + 16);
        if (directoryOffset == 0xffffffffu || directorySize == 0xffffffffu) {
            return "the archive uses ZIP64 records, which the format does not carry";
        }
        if (uint64_t{directoryOffset} + directorySize != size - back) {
            return "the trailer's archive size " + std::to_string(size) +
                   " does not match the archive's own offsets";
        }
        return "";
    }
    return "the trailer's archive size " + std::to_string(size) +
           " does not end at the archive's end record";
}

}  // namespace

bool CheckPackage(const std::string& path, const std::string& name, const CheckOptions& options,
                  PackageSummary* summary, std::ostream& err) {
    auto refuse = [&](const std::string& reason) {
        err << "ferrylift-pack: " << name << ": " << reason << "\n";
        return false;
    };
    File file(std::fopen(path.c_str(), "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        return refuse(std::string("cannot open: ") + std::strerror(errno));
    }
    const long end = std::ftell(file.get());
    if (end < 0) {
        return refuse("cannot read its size");
    }
    const uint64_t size = static_cast<uint64_t>(end);
    package_format::Layout layout;
    switch (package_format::ReadLayout(file.get(), size, &layout)) {
        case package_format::LayoutStatus::kOk:
            break;
        case package_format::LayoutStatus::kTooShort:
            return refuse("is not a package: too short for a trailer");
        case package_format::LayoutStatus::kReadFailed:
            return refuse("cannot read the trailer");
        case package_format::LayoutStatus::kTotalMismatch: {
            std::vector<uint8_t> headers(
                static_cast<size_t>(std::min<uint64_t>(size, package_format::kHeaderProbeSize)));
            package_format::PeHeaders pe;
            if (std::fseek(file.get(), 0, SEEK_SET) == 0 &&
                std::fread(headers.data(), 1, headers.size(), file.get()) == headers.size() &&
                package_format::ParsePeHeaders(headers.data(), headers.size(), &pe) &&
                pe.securitySize != 0) {
                return refuse(
                    "its signature's certificate table does not end the file: bytes "
                    "were added after signing, or it was signed before packing");
            }
            return refuse("is not a package: its trailer's total " +
                          std::to_string(layout.trailer.total) + " is not its size " +
                          std::to_string(size - layout.signatureSize) +
                          (layout.signatureSize != 0 ? " without the certificate table" : ""));
        }
        case package_format::LayoutStatus::kArchiveTooLarge:
            return refuse("is not a package: its trailer's archive size " +
                          std::to_string(layout.trailer.dataSize) + " exceeds the file");
    }

    std::vector<uint8_t> program(static_cast<size_t>(layout.programSize));
    std::vector<uint8_t> archive(layout.trailer.dataSize);
    if (std::fseek(file.get(), 0, SEEK_SET) != 0 ||
        std::fread(program.data(), 1, program.size(), file.get()) != program.size() ||
        std::fread(archive.data(), 1, archive.size(), file.get()) != archive.size()) {
        return refuse("cannot read the package");
    }
    std::string reason =
        CheckProgram(program.data(), program.size(), options.posixStandIn, &summary->program);
    if (!reason.empty()) {
        return refuse("its program part " + reason);
    }
    package_format::PeHeaders pe;
    if (package_format::ParsePeHeaders(program.data(), program.size(), &pe) &&
        pe.securitySize != 0) {
        if (layout.signatureSize == 0) {
            return refuse(
                "its program carries a signature that does not end the file: it was signed "
                "before packing and no longer verifies; sign the package after packing");
        }
        uint8_t certificate[8];
        if (std::fseek(file.get(), static_cast<long>(pe.securityOffset), SEEK_SET) != 0 ||
            std::fread(certificate, 1, 8, file.get()) != 8 ||
            Read32(certificate) > layout.signatureSize || Read16(certificate + 4) != 0x0200 ||
            Read16(certificate + 6) != 2) {
            return refuse("its certificate table holds no Authenticode signature");
        }
    }
    file.reset();
    std::vector<uint8_t>().swap(program);

    if (archive.size() < 22 || std::memcmp(archive.data(), "PK", 2) != 0) {
        return refuse("the trailer's archive size " + std::to_string(archive.size()) +
                      " does not point at the start of an archive");
    }
    reason = CheckArchiveEnd(archive);
    if (!reason.empty()) {
        return refuse(reason);
    }
    TempFile archiveFile;
    if (!archiveFile.valid() ||
        !WriteWholeFile(archiveFile.path(), archive.data(), archive.size())) {
        return refuse("cannot write a scratch copy of the archive");
    }
    std::vector<uint8_t>().swap(archive);
    unzFile zip = unzOpen64(archiveFile.path().c_str());
    if (zip == nullptr) {
        return refuse("its archive does not open");
    }
    std::unique_ptr<void, int (*)(unzFile)> closer(zip, unzClose);

    EntryNameRules rules;
    std::vector<uint8_t> client;
    std::vector<uint8_t> data;
    int step = unzGoToFirstFile(zip);
    for (; step == UNZ_OK; step = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        std::vector<char> nameBuffer(0x10000 + 1);
        if (unzGetCurrentFileInfo64(zip, &info, nameBuffer.data(), nameBuffer.size(), nullptr, 0,
                                    nullptr, 0) != UNZ_OK) {
            return refuse("entry " + std::to_string(summary->entries + 1) + " cannot be read");
        }
        const std::string stored(nameBuffer.data(), info.size_filename);
        const bool utf8 = (info.flag & 0x800) != 0;
        const std::string shown = "entry " + EntryNameRules::Display(stored, utf8);
        reason = rules.Add(stored, utf8);
        if (!reason.empty()) {
            return refuse(shown + " " + reason);
        }
        if ((info.flag & 1) != 0) {
            return refuse(shown + " is encrypted");
        }
        if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) {
            return refuse(shown + " is compressed with method " +
                          std::to_string(info.compression_method) +
                          "; the installer reads stored and deflated entries only");
        }
        if (info.uncompressed_size > package_format::kMaxTotalSize) {
            return refuse(shown + " is 2 GiB or larger");
        }
        if (unzOpenCurrentFile(zip) != UNZ_OK) {
            return refuse(shown + " cannot be opened");
        }
        data.resize(static_cast<size_t>(info.uncompressed_size));
        int got = data.empty()
                      ? 0
                      : unzReadCurrentFile(zip, data.data(), static_cast<unsigned>(data.size()));
        char extra = 0;
        int more = unzReadCurrentFile(zip, &extra, 1);
        int closed = unzCloseCurrentFile(zip);
        if (closed == UNZ_CRCERROR) {
            return refuse(shown + " has a wrong CRC");
        }
        if (got != static_cast<int>(data.size()) || more != 0 || closed != UNZ_OK) {
            return refuse(shown + " does not inflate to its recorded size");
        }
        if (IsPackage(data.data(), data.size())) {
            return refuse(shown + " is itself an update package");
        }
        if (stored == kClientProgramName) {
            client = data;
        }
        ++summary->entries;
        summary->uncompressed += data.size();
    }
    if (step != UNZ_END_OF_LIST_OF_FILE) {
        return refuse("its archive's directory is damaged");
    }
    reason = rules.Finish();
    if (!reason.empty()) {
        return refuse("its archive " + reason);
    }

    TempFile clientFile;
    FileVersions clientVersions;
    if (!clientFile.valid() || !WriteWholeFile(clientFile.path(), client.data(), client.size()) ||
        !ReadFileVersions(clientFile.path(), &clientVersions)) {
        return refuse(std::string("the archive's ") + kClientProgramName +
                      " has no version resource with a ProductVersion");
    }
    FileVersions own;
    if (!ReadFileVersions(path, &own)) {
        return refuse("its program's version resource cannot be read as the installer reads it");
    }
    summary->carriedVersion = own.productVersion;
    summary->lowestVersion = own.fixedFileVersion;
    summary->clientVersion = clientVersions.productVersion;
    if (CompareVersion(Wide(own.productVersion), Wide(clientVersions.productVersion)) != 0) {
        return refuse("it carries version " + own.productVersion + ", but its " +
                      kClientProgramName + " is version " + clientVersions.productVersion);
    }
    if (CompareVersion(Wide(own.fixedFileVersion), Wide(own.productVersion)) > 0) {
        return refuse("its lowest updatable version " + own.fixedFileVersion +
                      " is newer than the version it carries, " + own.productVersion);
    }
    summary->programSize = layout.programSize;
    summary->archiveSize = layout.trailer.dataSize;
    summary->totalSize = layout.trailer.total;
    summary->signatureSize = layout.signatureSize;
    return true;
}

void PrintSummary(const std::string& name, const PackageSummary& summary, std::ostream& out) {
    out << name << ": update package\n"
        << "  carried version:  " << summary.carriedVersion << " (" << kClientProgramName
        << " in the archive: " << summary.clientVersion << ")\n"
        << "  lowest version:   " << summary.lowestVersion << "\n"
        << "  program:          " << summary.program << ", " << summary.programSize << " bytes\n"
        << "  archive:          " << summary.entries << " entries, " << summary.archiveSize
        << " bytes (" << summary.uncompressed << " bytes unpacked)\n"
        << "  total:            " << summary.totalSize << " bytes\n"
        << "  signed:           "
        << (summary.signatureSize != 0
                ? "yes (certificate table of " + std::to_string(summary.signatureSize) + " bytes)"
                : std::string("no"))
        << "\n";
}

}  // namespace ferrylift_pack
