#include "package_parts.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "files.h"
#include "package_format/package_trailer.h"
#include "program_check.h"
#include "signing.h"
#include "version_stamp.h"

namespace fs = std::filesystem;

namespace ferrylift_pack {
namespace {

std::string ErrnoText() {
    return std::strerror(errno);
}

}  // namespace

// The installer as the package will carry it: checked, then stamped with the versions.
bool PrepareInstaller(const PackOptions& options, const std::string& carried,
                      const std::string& lowest, uint64_t archiveSize, std::vector<uint8_t>* image,
                      std::ostream& err) {
    auto refuse = [&](const std::string& reason) {
        err << "ferrylift-pack: " << options.installer << ": " << reason << "\n";
        return false;
    };
    std::error_code error;
    if (!fs::is_regular_file(options.installer, error)) {
        return refuse("the installer is not a file");
    }
    const uint64_t size = fs::file_size(options.installer, error);
    // Checked before the program is read: it is held in memory to be stamped.
    const uint64_t total = size + archiveSize + package_format::kTrailerSize;
    if (!error && total > package_format::kMaxTotalSize) {
        return refuse("the package would be " + std::to_string(total) +
                      " bytes; the format holds at most " +
                      std::to_string(package_format::kMaxTotalSize));
    }
    if (error || !ReadWholeFile(options.installer, image)) {
        return refuse("cannot read the installer: " + (error ? error.message() : ErrnoText()));
    }
    std::string description;
    std::string reason =
        CheckProgram(image->data(), image->size(), options.check.posixStandIn, &description);
    if (!reason.empty()) {
        return refuse(reason);
    }
    if (IsPackage(image->data(), image->size())) {
        return refuse("is an update package already; give the installer program itself");
    }
    package_format::PeHeaders pe;
    if (package_format::ParsePeHeaders(image->data(), image->size(), &pe) && pe.securitySize != 0) {
        return refuse(
            "is signed: a signature made before packing does not cover the archive; "
            "sign the package after packing (--sign)");
    }
    if (!StampVersions(image, carried, lowest, &reason)) {
        return refuse("cannot take the versions: " + reason);
    }
    return true;
}

bool WritePackage(const ScratchFile& package, const std::vector<uint8_t>& program,
                  const ScratchFile& archive, uint32_t padding, std::ostream& err) {
    File to(package.Stream("wb"));
    File zip(archive.Stream("rb"));
    if (!to || !zip) {
        err << "ferrylift-pack: " << package.shownPath().string()
            << ": cannot open the package's parts: " << ErrnoText() << "\n";
        return false;
    }
    const uint64_t archiveSize = archive.Size();
    const uint64_t total = program.size() + padding + archiveSize + package_format::kTrailerSize;
    uint8_t trailer[package_format::kTrailerSize];
    package_format::EncodeTrailer(
        {static_cast<uint32_t>(archiveSize), static_cast<uint32_t>(total)}, trailer);
    const uint8_t zeros[8] = {};
    std::vector<char> buffer(kChunkSize);
    bool ok = std::fwrite(program.data(), 1, program.size(), to.get()) == program.size() &&
              std::fwrite(zeros, 1, padding, to.get()) == padding;
    for (uint64_t left = archiveSize; ok && left > 0;) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
        ok = std::fread(buffer.data(), 1, want, zip.get()) == want &&
             std::fwrite(buffer.data(), 1, want, to.get()) == want;
        left -= want;
    }
    ok = ok && std::fwrite(trailer, 1, sizeof trailer, to.get()) == sizeof trailer &&
         std::fflush(to.get()) == 0 && std::fclose(to.release()) == 0;
    if (!ok) {
        err << "ferrylift-pack: " << package.shownPath().string()
            << ": cannot write: " << ErrnoText() << "\n";
    }
    return ok;
}

// The signed package, made by the signing tool in a private folder and taken over from there.
bool SignInto(const ScratchFile& package, const PackOptions& options, ScratchFolder* folder,
              ScratchFile* signedPackage, std::ostream& err) {
    std::string error;
    if (!folder->Create(options.output, &error)) {
        err << "ferrylift-pack: " << error << "\n";
        return false;
    }
    const char kName[] = "signed.exe";
    if (!SignPackage(package, *folder, kName, options.certificate, options.certificatePass, err)) {
        return false;
    }
    const int fd = ::openat(folder->fd(), kName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const int dirFd = ::fcntl(folder->fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0 || dirFd < 0) {
        err << "ferrylift-pack: " << folder->path().string()
            << ": cannot open the signed package: " << ErrnoText() << "\n";
        return false;
    }
    signedPackage->Adopt(fd, dirFd, kName, folder->path() / kName);
    return true;
}

}  // namespace ferrylift_pack
