#include "pack.h"

#include <unzip.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>

#include "entry_names.h"
#include "files.h"
#include "package_format/package_trailer.h"
#include "program_check.h"
#include "signing.h"
#include "support/file_version_info.h"
#include "version_stamp.h"

namespace fs = std::filesystem;

namespace ferrylift_pack {
namespace {

constexpr size_t kChunkSize = 1 << 16;
// Without ZIP64 records the central directory counts entries in 16 bits.
constexpr size_t kMaxEntries = 65535;

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct SuiteFile {
    std::string entryName;  // relative, '\\' separated, UTF-8
    fs::path path;
    uint64_t size = 0;
};

std::string ErrnoText() {
    return std::strerror(errno);
}

std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

bool IsValidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80           ? 1
                        : (c >> 5) == 0x6  ? 2
                        : (c >> 4) == 0xE  ? 3
                        : (c >> 3) == 0x1E ? 4
                                           : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

bool HasNonAscii(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Collects the suite's files in a stable order and checks them as the package checks its
// entries. False (message written) on a refusal.
bool CollectSuite(const fs::path& suite, std::vector<SuiteFile>* files, std::ostream& err) {
    auto refuse = [&](const std::string& file, const std::string& reason) {
        err << "ferrylift-pack: " << file << ": " << reason << "\n";
        return false;
    };
    std::error_code error;
    if (!fs::is_directory(suite, error)) {
        return refuse(suite.string(), "the suite is not a folder");
    }
    fs::recursive_directory_iterator it(suite, fs::directory_options::none, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const fs::directory_entry& entry = *it;
        fs::file_status fileStatus = entry.status(error);
        if (error) {
            break;
        }
        if (fs::is_directory(fileStatus)) {
            continue;
        }
        std::string relative = fs::relative(entry.path(), suite, error).generic_string();
        if (error) {
            break;
        }
        const std::string shown = entry.path().string();
        if (!fs::is_regular_file(fileStatus)) {
            return refuse(shown, "is neither a file nor a folder");
        }
        if (relative.find('\\') != std::string::npos) {
            return refuse(shown,
                          "its name contains a backslash, which the installer reads as a "
                          "folder separator");
        }
        if (HasNonAscii(relative) && !IsValidUtf8(relative)) {
            return refuse(shown, "its name is not valid UTF-8");
        }
        std::string name = relative;
        std::replace(name.begin(), name.end(), '/', '\\');
        uint64_t size = entry.file_size(error);
        if (error) {
            break;
        }
        if (size > package_format::kMaxTotalSize) {
            return refuse(shown, "is " + std::to_string(size) +
                                     " bytes; files of 2 GiB or more cannot be packaged");
        }
        files->push_back(SuiteFile{name, entry.path(), size});
    }
    if (error) {
        return refuse(suite.string(), "cannot read the suite: " + error.message());
    }
    std::sort(files->begin(), files->end(),
              [](const SuiteFile& a, const SuiteFile& b) { return a.entryName < b.entryName; });
    if (files->size() > kMaxEntries) {
        return refuse(suite.string(), "the suite has " + std::to_string(files->size()) +
                                          " files; at most " + std::to_string(kMaxEntries) +
                                          " fit");
    }
    EntryNameRules rules;
    for (const SuiteFile& file : *files) {
        std::string reason = rules.Add(file.entryName, HasNonAscii(file.entryName));
        if (!reason.empty()) {
            return refuse(file.path.string(), "entry " + file.entryName + " " + reason);
        }
        if (IsPackageFile(file.path.string())) {
            return refuse(file.path.string(),
                          "entry " + file.entryName + " is itself an update package");
        }
    }
    std::string reason = rules.Finish();
    if (!reason.empty()) {
        return refuse(suite.string(), "the suite " + reason);
    }
    return true;
}

// The file's modification time as local MS-DOS date and time (1980 at the earliest).
tm_zip DosTime(const fs::path& path) {
    tm_zip result{0, 0, 0, 1, 0, 1980};
    std::error_code error;
    fs::file_time_type written = fs::last_write_time(path, error);
    if (error) {
        return result;
    }
    auto system = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        written - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
    std::time_t seconds = std::chrono::system_clock::to_time_t(system);
    std::tm local{};
#if defined(_WIN32)
    if (localtime_s(&local, &seconds) != 0) {
        return result;
    }
#else
    if (localtime_r(&seconds, &local) == nullptr) {
        return result;
    }
#endif
    if (local.tm_year + 1900 < 1980) {
        return result;
    }
    result.tm_sec = static_cast<uInt>(local.tm_sec);
    result.tm_min = static_cast<uInt>(local.tm_min);
    result.tm_hour = static_cast<uInt>(local.tm_hour);
    result.tm_mday = static_cast<uInt>(local.tm_mday);
    result.tm_mon = static_cast<uInt>(local.tm_mon);
    result.tm_year = static_cast<uInt>(local.tm_year + 1900);
    return result;
}

bool WriteArchive(const fs::path& archive, const std::vector<SuiteFile>& files, std::ostream& err) {
    zipFile zip = zipOpen64(archive.string().c_str(), APPEND_STATUS_CREATE);
    if (zip == nullptr) {
        err << "ferrylift-pack: " << archive.string() << ": cannot create: " << ErrnoText() << "\n";
        return false;
    }
    std::vector<char> buffer(kChunkSize);
    bool ok = true;
    for (const SuiteFile& file : files) {
        File input(std::fopen(file.path.string().c_str(), "rb"));
        if (!input) {
            err << "ferrylift-pack: " << file.path.string() << ": cannot open: " << ErrnoText()
                << "\n";
            ok = false;
            break;
        }
        zip_fileinfo info{};
        info.tmz_date = DosTime(file.path);
        // Bit 11: the name is UTF-8; the installer converts such names to its code page.
        uLong flags = HasNonAscii(file.entryName) ? 0x800 : 0;
        if (zipOpenNewFileInZip4_64(zip, file.entryName.c_str(), &info, nullptr, 0, nullptr, 0,
                                    nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS,
                                    DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 0, flags,
                                    0) != ZIP_OK) {
            err << "ferrylift-pack: " << archive.string() << ": cannot add " << file.entryName
                << "\n";
            ok = false;
            break;
        }
        uint64_t copied = 0;
        for (;;) {
            size_t got = std::fread(buffer.data(), 1, buffer.size(), input.get());
            if (got > 0 &&
                zipWriteInFileInZip(zip, buffer.data(), static_cast<unsigned>(got)) != ZIP_OK) {
                err << "ferrylift-pack: " << archive.string() << ": cannot write " << file.entryName
                    << "\n";
                ok = false;
                break;
            }
            copied += got;
            if (got < buffer.size()) {
                if (std::ferror(input.get())) {
                    err << "ferrylift-pack: " << file.path.string() << ": cannot read\n";
                    ok = false;
                }
                break;
            }
        }
        if (zipCloseFileInZip(zip) != ZIP_OK && ok) {
            err << "ferrylift-pack: " << archive.string() << ": cannot finish " << file.entryName
                << "\n";
            ok = false;
        }
        if (!ok) {
            break;
        }
        if (copied != file.size) {
            err << "ferrylift-pack: " << file.path.string() << ": changed while it was read\n";
            ok = false;
            break;
        }
    }
    if (zipClose(zip, nullptr) != ZIP_OK && ok) {
        err << "ferrylift-pack: " << archive.string() << ": cannot finish the archive\n";
        ok = false;
    }
    return ok;
}

fs::path SiblingPath(const fs::path& output, const char* suffix) {
    fs::path path = output;
    path += suffix;
    return path;
}

// The installer as the package will carry it: checked, then stamped with the versions.
bool PrepareInstaller(const PackOptions& options, const std::string& carried, uint64_t archiveSize,
                      std::vector<uint8_t>* image, std::ostream& err) {
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
    if (!StampVersions(image, carried, options.lowest, &reason)) {
        return refuse("cannot take the versions: " + reason);
    }
    return true;
}

bool WritePackage(const fs::path& path, const std::vector<uint8_t>& program,
                  const fs::path& archive, uint64_t archiveSize, uint32_t padding,
                  std::ostream& err) {
    File to(std::fopen(path.c_str(), "wb"));
    File zip(std::fopen(archive.c_str(), "rb"));
    if (!to || !zip) {
        err << "ferrylift-pack: " << path.string()
            << ": cannot open the package's parts: " << ErrnoText() << "\n";
        return false;
    }
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
        err << "ferrylift-pack: " << path.string() << ": cannot write: " << ErrnoText() << "\n";
    }
    return ok;
}

}  // namespace

int Pack(const PackOptions& options, std::ostream& out, std::ostream& err) {
    uint16_t fields[4];
    if (!ParseVersionText(options.lowest, fields)) {
        err << "ferrylift-pack: --lowest " << options.lowest
            << " is not a version of one to four numbers of 0 to 65535\n";
        return kExitUsage;
    }
    std::vector<SuiteFile> files;
    if (!CollectSuite(options.suite, &files, err)) {
        return kExitFailed;
    }
    // The carried version is the suite client's, read as the installer reads versions.
    const fs::path client = fs::path(options.suite) / kClientProgramName;
    FileVersions clientVersions;
    if (!ReadFileVersions(client, &clientVersions)) {
        err << "ferrylift-pack: " << client.string()
            << ": has no version resource with a ProductVersion\n";
        return kExitFailed;
    }
    const std::string carried = clientVersions.productVersion;
    if (!ParseVersionText(carried, fields)) {
        err << "ferrylift-pack: " << client.string() << ": its ProductVersion " << carried
            << " is not a version of one to four numbers of 0 to 65535\n";
        return kExitFailed;
    }
    if (CompareVersion(Wide(options.lowest), Wide(carried)) > 0) {
        err << "ferrylift-pack: --lowest " << options.lowest << " is newer than the version "
            << carried << " of " << client.string() << "\n";
        return kExitFailed;
    }
    const fs::path output = options.output;
    TempFile archive(SiblingPath(output, ".zip.part"));
    if (!WriteArchive(archive.path(), files, err)) {
        return kExitFailed;
    }
    std::error_code error;
    const uint64_t archiveSize = fs::file_size(archive.path(), error);
    if (error) {
        err << "ferrylift-pack: " << archive.path().string() << ": cannot read\n";
        return kExitFailed;
    }
    std::vector<uint8_t> program;
    if (!PrepareInstaller(options, carried, archiveSize, &program, err)) {
        return kExitFailed;
    }
    const uint32_t padding = package_format::AlignmentPadding(program.size(), archiveSize);
    const uint64_t total = program.size() + padding + archiveSize + package_format::kTrailerSize;
    if (total > package_format::kMaxTotalSize) {
        err << "ferrylift-pack: " << output.string() << ": the package would be " << total
            << " bytes; the format holds at most " << package_format::kMaxTotalSize << "\n";
        return kExitFailed;
    }
    TempFile package(SiblingPath(output, ".part"));
    if (!WritePackage(package.path(), program, archive.path(), archiveSize, padding, err)) {
        return kExitFailed;
    }
    std::vector<uint8_t>().swap(program);
    fs::remove(archive.path(), error);

    TempFile signedPackage(SiblingPath(output, ".signed.part"));
    TempFile* finished = &package;
    if (!options.certificate.empty()) {
        if (!SignPackage(package.path().string(), signedPackage.path().string(),
                         options.certificate, options.certificatePass, err)) {
            return kExitFailed;
        }
        finished = &signedPackage;
    }
    // The finished file passes the same checks as --verify before it takes the output's name.
    PackageSummary summary;
    if (!CheckPackage(finished->path().string(), output.string(), options.check, &summary, err)) {
        return kExitFailed;
    }
    fs::permissions(finished->path(), fs::status(options.installer, error).permissions(), error);
    fs::rename(finished->path(), output, error);
    if (error) {
        err << "ferrylift-pack: " << output.string()
            << ": cannot move the package there: " << error.message() << "\n";
        return kExitFailed;
    }
    finished->Keep();
    PrintSummary(output.string(), summary, out);
    return kExitOk;
}

int Verify(const std::string& package, const CheckOptions& options, std::ostream& out,
           std::ostream& err) {
    PackageSummary summary;
    if (!CheckPackage(package, package, options, &summary, err)) {
        return kExitFailed;
    }
    PrintSummary(package, summary, out);
    return kExitOk;
}

}  // namespace ferrylift_pack
