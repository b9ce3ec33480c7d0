#include "archive_write.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "archive_io.h"
#include "files.h"

namespace fs = std::filesystem;

namespace ferrylift_pack {
namespace {

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
    if (localtime_r(&seconds, &local) == nullptr || local.tm_year + 1900 < 1980) {
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

// Adds one file; false with the message on err.
bool AddFile(zipFile zip, const SuiteFile& file, const std::string& archiveName,
             std::vector<char>* buffer, std::ostream& err) {
    File input(std::fopen(file.path.string().c_str(), "rb"));
    if (!input) {
        err << "ferrylift-pack: " << file.path.string() << ": cannot open: " << std::strerror(errno)
            << "\n";
        return false;
    }
    zip_fileinfo info{};
    info.tmz_date = DosTime(file.path);
    // Bit 11: the name is UTF-8; the installer converts such names to its code page.
    uLong flags = HasNonAscii(file.entryName) ? 0x800 : 0;
    if (zipOpenNewFileInZip4_64(zip, file.entryName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                Z_DEFAULT_STRATEGY, nullptr, 0, 0, flags, 0) != ZIP_OK) {
        err << "ferrylift-pack: " << archiveName << ": cannot add " << file.entryName << "\n";
        return false;
    }
    bool ok = true;
    uint64_t copied = 0;
    for (;;) {
        size_t got = std::fread(buffer->data(), 1, buffer->size(), input.get());
        if (got > 0 &&
            zipWriteInFileInZip(zip, buffer->data(), static_cast<unsigned>(got)) != ZIP_OK) {
            err << "ferrylift-pack: " << archiveName << ": cannot write " << file.entryName << "\n";
            ok = false;
            break;
        }
        copied += got;
        if (got < buffer->size()) {
            if (std::ferror(input.get())) {
                err << "ferrylift-pack: " << file.path.string() << ": cannot read\n";
                ok = false;
            }
            break;
        }
    }
    if (zipCloseFileInZip(zip) != ZIP_OK && ok) {
        err << "ferrylift-pack: " << archiveName << ": cannot finish " << file.entryName << "\n";
        ok = false;
    }
    if (ok && copied != file.size) {
        err << "ferrylift-pack: " << file.path.string() << ": changed while it was read\n";
        ok = false;
    }
    return ok;
}

}  // namespace

bool WriteArchive(const ScratchFile& archive, const std::vector<SuiteFile>& files,
                  const std::string& comment, std::ostream& err) {
    const std::string archiveName = archive.shownPath().string();
    File stream(archive.Stream("wb"));
    StreamWindow window{stream.get(), 0, UINT64_MAX, 0};
    zipFile zip = stream ? CreateArchiveIn(&window) : nullptr;
    if (zip == nullptr) {
        err << "ferrylift-pack: " << archiveName << ": cannot create: " << std::strerror(errno)
            << "\n";
        return false;
    }
    std::vector<char> buffer(kChunkSize);
    bool ok = true;
    for (const SuiteFile& file : files) {
        if (!AddFile(zip, file, archiveName, &buffer, err)) {
            ok = false;
            break;
        }
    }
    if (zipClose(zip, comment.empty() ? nullptr : comment.c_str()) != ZIP_OK && ok) {
        err << "ferrylift-pack: " << archiveName << ": cannot finish the archive\n";
        ok = false;
    }
    if (ok && (std::fflush(stream.get()) != 0 || std::ferror(stream.get()))) {
        err << "ferrylift-pack: " << archiveName << ": cannot write: " << std::strerror(errno)
            << "\n";
        ok = false;
    }
    return ok;
}

}  // namespace ferrylift_pack
