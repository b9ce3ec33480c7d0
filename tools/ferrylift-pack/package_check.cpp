#include "package_check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "archive_check.h"
#include "archive_end.h"
#include "archive_io.h"
#include "entry_names.h"
#include "files.h"
#include "package_format/package_trailer.h"
#include "pe/little_endian.h"
#include "program_check.h"
#include "support/file_version_info.h"

namespace ferrylift_pack {
namespace {

using little_endian::Read16;
using little_endian::Read32;

std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

bool ReadAt(std::FILE* file, uint64_t at, void* out, size_t size) {
    return fseeko(file, static_cast<off_t>(at), SEEK_SET) == 0 &&
           std::fread(out, 1, size, file) == size;
}

// Why the trailer's total is not the file's size (less a signature that ends the file).
std::string ExplainTotalMismatch(std::FILE* file, uint64_t size,
                                 const package_format::Layout& layout) {
    std::vector<uint8_t> headers(
        static_cast<size_t>(std::min<uint64_t>(size, package_format::kHeaderProbeSize)));
    package_format::PeHeaders pe;
    const bool signedProgram =
        ReadAt(file, 0, headers.data(), headers.size()) &&
        package_format::ParsePeHeaders(headers.data(), headers.size(), &pe) && pe.securitySize != 0;
    if (signedProgram && layout.signatureSize == 0) {
        return "its signature's certificate table does not end the file: bytes were added after "
               "signing, or it was signed before packing";
    }
    const uint64_t end = size - layout.signatureSize;
    // Signing tools put the table at a multiple of 8 and fill the gap with zeros.
    for (uint64_t gap = 1; layout.signatureSize != 0 && gap < 8 && end >= gap + 8; ++gap) {
        uint8_t bytes[16] = {};
        if (!ReadAt(file, end - gap - 8, bytes, static_cast<size_t>(gap + 8))) {
            break;
        }
        bool zeros = true;
        for (uint64_t i = 8; i < gap + 8; ++i) {
            zeros = zeros && bytes[i] == 0;
        }
        if (zeros && package_format::DecodeTrailer(bytes).total == end - gap) {
            return "was signed from a package whose length is no multiple of 8: the signing tool "
                   "put " +
                   std::to_string(gap) +
                   " zero bytes between the trailer and the certificate table, and the "
                   "installer looks for the trailer right before the table. Pack it again with "
                   "ferrylift-pack, whose packages have a length that is a multiple of 8, and "
                   "sign that package (with --sign, or with osslsigncode afterwards)";
        }
    }
    return "is not a package: its trailer's total " + std::to_string(layout.trailer.total) +
           " is not its size " + std::to_string(end) +
           (layout.signatureSize != 0 ? " without the certificate table" : "");
}

std::string CheckSignature(std::FILE* file, const std::vector<uint8_t>& program,
                           const package_format::Layout& layout) {
    package_format::PeHeaders pe;
    if (!package_format::ParsePeHeaders(program.data(), program.size(), &pe) ||
        pe.securitySize == 0) {
        return "";
    }
    if (layout.signatureSize == 0) {
        return "its program carries a signature that does not end the file: it was signed "
               "before packing and no longer verifies; sign the package after packing";
    }
    uint8_t certificate[8];
    if (!ReadAt(file, pe.securityOffset, certificate, sizeof certificate) ||
        Read32(certificate) > layout.signatureSize || Read16(certificate + 4) != 0x0200 ||
        Read16(certificate + 6) != 2) {
        return "its certificate table holds no Authenticode signature";
    }
    return "";
}

// The archive: its start and end records, then its entries. The client goes to client.
std::vector<std::string> CheckArchivePart(std::FILE* file, const package_format::Layout& layout,
                                          const CheckOptions& options, std::FILE* client,
                                          ArchiveFacts* facts, PackageSummary* summary) {
    const uint32_t size = layout.trailer.dataSize;
    uint8_t start[2] = {};
    if (size < 22 || !ReadAt(file, layout.archiveOffset, start, 2) ||
        std::memcmp(start, "PK", 2) != 0) {
        return {"the trailer's archive size " + std::to_string(size) +
                " does not point at the start of an archive"};
    }
    ArchiveEnd end;
    std::string reason = ReadArchiveEnd(file, layout.archiveOffset, size, &end);
    if (!reason.empty()) {
        return {reason};
    }
    summary->delta = ParseDeltaNote(end.comment, &summary->deltaNote);
    StreamWindow window{file, layout.archiveOffset, size, 0};
    unzFile zip = OpenArchiveIn(&window);
    if (zip == nullptr) {
        return {"its archive does not open"};
    }
    std::unique_ptr<void, int (*)(unzFile)> closer(zip, unzClose);
    return CheckArchive(zip, end, options.maxNameBytes, client, facts);
}

}  // namespace

bool CheckPackage(const std::string& path, const std::string& name, const CheckOptions& options,
                  PackageSummary* summary, std::ostream& err) {
    auto refuse = [&](const std::string& reason) {
        err << "ferrylift-pack: " << name << ": " << reason << "\n";
        return false;
    };
    File file(std::fopen(path.c_str(), "rb"));
    if (!file || fseeko(file.get(), 0, SEEK_END) != 0) {
        return refuse(std::string("cannot open: ") + std::strerror(errno));
    }
    const off_t end = ftello(file.get());
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
        case package_format::LayoutStatus::kTotalMismatch:
            return refuse(ExplainTotalMismatch(file.get(), size, layout));
        case package_format::LayoutStatus::kArchiveTooLarge:
            return refuse("is not a package: its trailer's archive size " +
                          std::to_string(layout.trailer.dataSize) + " exceeds the file");
    }

    std::vector<uint8_t> program(static_cast<size_t>(layout.programSize));
    if (!ReadAt(file.get(), 0, program.data(), program.size())) {
        return refuse("cannot read the package");
    }
    std::string reason =
        CheckProgram(program.data(), program.size(), options.posixStandIn, &summary->program);
    if (!reason.empty()) {
        return refuse("its program part " + reason);
    }
    reason = CheckSignature(file.get(), program, layout);
    if (!reason.empty()) {
        return refuse(reason);
    }
    std::vector<uint8_t>().swap(program);

    TempFile clientFile;
    File client(clientFile.valid() ? std::fopen(clientFile.path().c_str(), "wb") : nullptr);
    if (!client) {
        return refuse("cannot create a scratch file for its client program");
    }
    ArchiveFacts facts;
    const std::vector<std::string> problems =
        CheckArchivePart(file.get(), layout, options, client.get(), &facts, summary);
    for (const std::string& problem : problems) {
        refuse(problem);
    }
    if (!problems.empty()) {
        return false;
    }
    if (std::fclose(client.release()) != 0) {
        return refuse("cannot write a scratch copy of its client program");
    }
    FileVersions clientVersions;
    if (!ReadFileVersions(clientFile.path(), &clientVersions)) {
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
    if (summary->delta) {
        const DeltaNote& note = summary->deltaNote;
        if (note.carriedFiles != facts.entries) {
            return refuse("its archive's comment says it carries " +
                          std::to_string(note.carriedFiles) + " files, but it holds " +
                          std::to_string(facts.entries));
        }
        if (CompareVersion(Wide(own.fixedFileVersion), Wide(note.base)) < 0) {
            return refuse("it is a delta from " + note.base +
                          ", but its lowest updatable version " + own.fixedFileVersion +
                          " is older: clients older than its base lack the files it leaves out");
        }
    }
    summary->programSize = layout.programSize;
    summary->archiveSize = layout.trailer.dataSize;
    summary->totalSize = layout.trailer.total;
    summary->signatureSize = layout.signatureSize;
    summary->entries = facts.entries;
    summary->uncompressed = facts.unpacked;
    summary->clientSize = facts.clientSize;
    return true;
}

void PrintSummary(const std::string& name, const PackageSummary& summary, std::ostream& out) {
    out << name << ": update package\n"
        << "  carried version:  " << summary.carriedVersion << " (" << kClientProgramName
        << " in the archive: " << summary.clientVersion << ")\n"
        << "  lowest version:   " << summary.lowestVersion << "\n"
        << "  program:          " << summary.program << ", " << summary.programSize << " bytes\n"
        << "  archive:          " << summary.entries << " entries, " << summary.archiveSize
        << " bytes (" << summary.uncompressed << " bytes unpacked)\n";
    if (summary.delta) {
        out << "  contents:         " << DescribeDelta(summary.deltaNote) << "\n";
    }
    out << "  room needed:      " << summary.uncompressed + summary.clientSize
        << " bytes free on the installation folder's volume (the files and a scratch copy of "
        << kClientProgramName << ")\n"
        << "  total:            " << summary.totalSize << " bytes\n"
        << "  signed:           "
        << (summary.signatureSize != 0
                ? "yes (certificate table of " + std::to_string(summary.signatureSize) + " bytes)"
                : std::string("no"))
        << "\n";
}

}  // namespace ferrylift_pack
