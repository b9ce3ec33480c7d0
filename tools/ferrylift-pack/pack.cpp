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

namespace fs = std::filesystem;

namespace ferrylift_pack {
namespace {

constexpr char kClientProgramName[] = "tideboard3.exe";
constexpr size_t kChunkSize = 1 << 16;

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct SuiteFile {
    std::string entryName;  // relative, '\' separated
    fs::path path;
    uint64_t size = 0;
};

// Removes a file on every way out unless kept.
class TempFile {
public:
    explicit TempFile(fs::path path) : path_(std::move(path)) {}
    ~TempFile() {
        if (!kept_) {
            std::error_code ignored;
            fs::remove(path_, ignored);
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const fs::path& path() const { return path_; }
    void Keep() { kept_ = true; }

private:
    fs::path path_;
    bool kept_ = false;
};

std::string ErrnoText() {
    return std::strerror(errno);
}

void PutLittleEndian(uint32_t value, unsigned char out[4]) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

uint32_t GetLittleEndian(const unsigned char in[4]) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
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

// Collects the suite's files in a stable order. False (message written) on a refusal.
bool CollectSuite(const fs::path& suite, std::vector<SuiteFile>* files, std::ostream& err,
                  int* status) {
    std::error_code error;
    if (!fs::is_directory(suite, error)) {
        err << "ferrylift-pack: suite " << suite.string() << " is not a folder\n";
        *status = kExitRefused;
        return false;
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
        if (!fs::is_regular_file(fileStatus)) {
            err << "ferrylift-pack: " << relative << " is neither a file nor a folder\n";
            *status = kExitRefused;
            return false;
        }
        if (relative.find('\\') != std::string::npos) {
            err << "ferrylift-pack: file name " << relative
                << " contains a backslash, which the installer reads as a folder separator\n";
            *status = kExitRefused;
            return false;
        }
        if (HasNonAscii(relative) && !IsValidUtf8(relative)) {
            err << "ferrylift-pack: file name " << relative << " is not valid UTF-8\n";
            *status = kExitRefused;
            return false;
        }
        std::string name = relative;
        std::replace(name.begin(), name.end(), '/', '\\');
        if (name.size() > kMaxEntryNameBytes) {
            err << "ferrylift-pack: entry name " << name << " is longer than " << kMaxEntryNameBytes
                << " bytes\n";
            *status = kExitRefused;
            return false;
        }
        uint64_t size = entry.file_size(error);
        if (error) {
            break;
        }
        if (size > kMaxFileSize) {
            err << "ferrylift-pack: " << relative << " is " << size
                << " bytes; files of 2 GiB or more cannot be packaged\n";
            *status = kExitRefused;
            return false;
        }
        files->push_back(SuiteFile{name, entry.path(), size});
    }
    if (error) {
        err << "ferrylift-pack: cannot read suite " << suite.string() << ": " << error.message()
            << "\n";
        *status = kExitFailed;
        return false;
    }
    std::sort(files->begin(), files->end(),
              [](const SuiteFile& a, const SuiteFile& b) { return a.entryName < b.entryName; });
    bool hasClient = std::any_of(files->begin(), files->end(), [](const SuiteFile& file) {
        return file.entryName == kClientProgramName;
    });
    if (!hasClient) {
        err << "ferrylift-pack: suite " << suite.string() << " has no top-level "
            << kClientProgramName << "\n";
        *status = kExitRefused;
        return false;
    }
    if (files->size() > kMaxEntries) {
        err << "ferrylift-pack: suite has " << files->size() << " files; at most " << kMaxEntries
            << " fit\n";
        *status = kExitRefused;
        return false;
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
        err << "ferrylift-pack: cannot create " << archive.string() << "\n";
        return false;
    }
    std::vector<char> buffer(kChunkSize);
    bool ok = true;
    for (const SuiteFile& file : files) {
        File input(std::fopen(file.path.string().c_str(), "rb"));
        if (!input) {
            err << "ferrylift-pack: cannot open " << file.path.string() << ": " << ErrnoText()
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
            err << "ferrylift-pack: cannot add " << file.entryName << " to the archive\n";
            ok = false;
            break;
        }
        uint64_t copied = 0;
        for (;;) {
            size_t got = std::fread(buffer.data(), 1, buffer.size(), input.get());
            if (got > 0 &&
                zipWriteInFileInZip(zip, buffer.data(), static_cast<unsigned>(got)) != ZIP_OK) {
                err << "ferrylift-pack: cannot write " << file.entryName << " to the archive\n";
                ok = false;
                break;
            }
            copied += got;
            if (got < buffer.size()) {
                if (std::ferror(input.get())) {
                    err << "ferrylift-pack: cannot read " << file.path.string() << "\n";
                    ok = false;
                }
                break;
            }
        }
        if (zipCloseFileInZip(zip) != ZIP_OK && ok) {
            err << "ferrylift-pack: cannot finish " << file.entryName << " in the archive\n";
            ok = false;
        }
        if (!ok) {
            break;
        }
        if (copied != file.size) {
            err << "ferrylift-pack: " << file.path.string() << " changed while it was read\n";
            ok = false;
            break;
        }
    }
    if (zipClose(zip, nullptr) != ZIP_OK && ok) {
        err << "ferrylift-pack: cannot finish the archive " << archive.string() << "\n";
        ok = false;
    }
    return ok;
}

// Appends size bytes of from, starting at offset, to to.
bool CopyRange(std::FILE* from, uint64_t offset, uint64_t size, std::FILE* to) {
    if (fseeko(from, static_cast<off_t>(offset), SEEK_SET) != 0) {
        return false;
    }
    std::vector<char> buffer(kChunkSize);
    while (size > 0) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(size, buffer.size()));
        if (std::fread(buffer.data(), 1, want, from) != want ||
            std::fwrite(buffer.data(), 1, want, to) != want) {
            return false;
        }
        size -= want;
    }
    return true;
}

fs::path SiblingPath(const fs::path& output, const char* suffix) {
    fs::path path = output;
    path += suffix;
    return path;
}

}  // namespace

PackResult Pack(const std::string& installer, const std::string& suite, const std::string& output,
                std::ostream& out, std::ostream& err) {
    PackResult result;
    std::error_code error;
    if (!fs::is_regular_file(installer, error)) {
        err << "ferrylift-pack: installer " << installer << " is not a file\n";
        result.status = kExitRefused;
        return result;
    }
    uint64_t installerSize = fs::file_size(installer, error);
    if (error || installerSize + 8 > kMaxTotalSize) {
        err << "ferrylift-pack: installer " << installer << " is too large for a package\n";
        result.status = kExitRefused;
        return result;
    }
    std::vector<SuiteFile> files;
    if (!CollectSuite(suite, &files, err, &result.status)) {
        return result;
    }

    TempFile archive(SiblingPath(output, ".zip.part"));
    if (!WriteArchive(archive.path(), files, err)) {
        result.status = kExitFailed;
        return result;
    }
    uint64_t archiveSize = fs::file_size(archive.path(), error);
    if (error) {
        err << "ferrylift-pack: cannot read " << archive.path().string() << "\n";
        result.status = kExitFailed;
        return result;
    }
    uint64_t total = installerSize + archiveSize + 8;
    if (total > kMaxTotalSize) {
        err << "ferrylift-pack: the package would be " << total
            << " bytes; the format holds at most " << kMaxTotalSize << "\n";
        result.status = kExitRefused;
        return result;
    }

    TempFile package(SiblingPath(output, ".part"));
    {
        File to(std::fopen(package.path().string().c_str(), "wb"));
        File program(std::fopen(installer.c_str(), "rb"));
        File zip(std::fopen(archive.path().string().c_str(), "rb"));
        if (!to || !program || !zip) {
            err << "ferrylift-pack: cannot open the package's parts: " << ErrnoText() << "\n";
            result.status = kExitFailed;
            return result;
        }
        unsigned char trailer[8];
        PutLittleEndian(static_cast<uint32_t>(archiveSize), trailer);
        PutLittleEndian(static_cast<uint32_t>(total), trailer + 4);
        if (!CopyRange(program.get(), 0, installerSize, to.get()) ||
            !CopyRange(zip.get(), 0, archiveSize, to.get()) ||
            std::fwrite(trailer, 1, sizeof trailer, to.get()) != sizeof trailer ||
            std::fflush(to.get()) != 0 || std::fclose(to.release()) != 0) {
            err << "ferrylift-pack: cannot write " << package.path().string() << ": " << ErrnoText()
                << "\n";
            result.status = kExitFailed;
            return result;
        }
    }
    fs::permissions(package.path(), fs::status(installer, error).permissions(), error);
    fs::rename(package.path(), output, error);
    if (error) {
        err << "ferrylift-pack: cannot move the package to " << output << ": " << error.message()
            << "\n";
        result.status = kExitFailed;
        return result;
    }
    package.Keep();
    result.archiveSize = static_cast<uint32_t>(archiveSize);
    result.totalSize = static_cast<uint32_t>(total);
    result.entries = files.size();
    out << "ferrylift-pack: wrote " << output << ": " << files.size() << " entries, archive "
        << archiveSize << " bytes, total " << total << " bytes\n";
    return result;
}

VerifyResult Verify(const std::string& package, std::ostream& out, std::ostream& err) {
    VerifyResult result;
    result.status = kExitFailed;
    File file(std::fopen(package.c_str(), "rb"));
    if (!file) {
        err << "ferrylift-pack: cannot open " << package << ": " << ErrnoText() << "\n";
        return result;
    }
    std::error_code error;
    uint64_t size = fs::file_size(package, error);
    if (error || size < 8) {
        err << "ferrylift-pack: " << package << " is too short for a trailer\n";
        return result;
    }
    if (size > kMaxTotalSize) {
        err << "ferrylift-pack: " << package << " is " << size << " bytes, beyond the format\n";
        return result;
    }
    unsigned char trailer[8];
    if (fseeko(file.get(), static_cast<off_t>(size - 8), SEEK_SET) != 0 ||
        std::fread(trailer, 1, 8, file.get()) != 8) {
        err << "ferrylift-pack: cannot read the trailer of " << package << "\n";
        return result;
    }
    uint32_t dataSize = GetLittleEndian(trailer);
    uint32_t total = GetLittleEndian(trailer + 4);
    if (total != size) {
        err << "ferrylift-pack: trailer total " << total << " differs from the file size " << size
            << "\n";
        return result;
    }
    if (dataSize > total - 8) {
        err << "ferrylift-pack: trailer archive size " << dataSize << " exceeds the file (" << total
            << " bytes)\n";
        return result;
    }

    TempFile archive(
        SiblingPath(fs::temp_directory_path(error) / fs::path(package).filename(), ".verify.zip"));
    {
        File to(std::fopen(archive.path().string().c_str(), "wb"));
        if (!to || !CopyRange(file.get(), total - 8 - dataSize, dataSize, to.get()) ||
            std::fclose(to.release()) != 0) {
            err << "ferrylift-pack: cannot copy the archive out of " << package << "\n";
            return result;
        }
    }
    unzFile zip = unzOpen64(archive.path().string().c_str());
    if (zip == nullptr) {
        err << "ferrylift-pack: the archive in " << package << " does not open\n";
        return result;
    }
    std::unique_ptr<void, int (*)(unzFile)> closer(zip, unzClose);
    bool hasClient = false;
    std::vector<char> buffer(kChunkSize);
    int step = unzGoToFirstFile(zip);
    while (step == UNZ_OK) {
        unz_file_info64 info{};
        char name[512];
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
                UNZ_OK ||
            unzOpenCurrentFile(zip) != UNZ_OK) {
            err << "ferrylift-pack: entry " << result.entries << " cannot be opened\n";
            return result;
        }
        int got;
        uint64_t inflated = 0;
        while ((got = unzReadCurrentFile(zip, buffer.data(),
                                         static_cast<unsigned>(buffer.size()))) > 0) {
            inflated += static_cast<uint64_t>(got);
        }
        int closed = unzCloseCurrentFile(zip);
        if (got < 0 || closed != UNZ_OK || inflated != info.uncompressed_size) {
            err << "ferrylift-pack: entry " << name
                << (closed == UNZ_CRCERROR ? " has a wrong CRC\n" : " does not inflate\n");
            return result;
        }
        hasClient = hasClient || std::strcmp(name, kClientProgramName) == 0;
        ++result.entries;
        result.uncompressed += info.uncompressed_size;
        result.compressed += info.compressed_size;
        step = unzGoToNextFile(zip);
    }
    if (step != UNZ_END_OF_LIST_OF_FILE) {
        err << "ferrylift-pack: the archive's directory is damaged\n";
        return result;
    }
    if (!hasClient) {
        err << "ferrylift-pack: the archive has no top-level " << kClientProgramName << "\n";
        return result;
    }
    result.status = kExitOk;
    result.archiveSize = dataSize;
    result.totalSize = total;
    out << "ferrylift-pack: " << package << " OK: installer " << (total - 8 - dataSize)
        << " bytes, archive " << dataSize << " bytes, total " << total << " bytes, "
        << result.entries << " entries, " << result.uncompressed << " bytes uncompressed, "
        << result.compressed << " bytes compressed\n";
    return result;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage =
        "usage: ferrylift-pack --installer <program> --suite <folder> --output <package>\n"
        "       ferrylift-pack --verify <package>\n";
    std::string installer, suite, output, verify;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        std::string* target = option == "--installer" ? &installer
                              : option == "--suite"   ? &suite
                              : option == "--output"  ? &output
                              : option == "--verify"  ? &verify
                                                      : nullptr;
        if (target == nullptr || i + 1 >= args.size() || args[i + 1].empty() || !target->empty()) {
            err << "ferrylift-pack: "
                << (target == nullptr ? "unknown argument " + option
                                      : "option " + option + " needs one value")
                << "\n"
                << usage;
            return kExitRefused;
        }
        *target = args[++i];
    }
    if (!verify.empty()) {
        if (!installer.empty() || !suite.empty() || !output.empty()) {
            err << "ferrylift-pack: --verify takes no other option\n" << usage;
            return kExitRefused;
        }
        return Verify(verify, out, err).status;
    }
    if (installer.empty() || suite.empty() || output.empty()) {
        err << "ferrylift-pack: --installer, --suite and --output are all needed\n" << usage;
        return kExitRefused;
    }
    return Pack(installer, suite, output, out, err).status;
}

}  // namespace ferrylift_pack
