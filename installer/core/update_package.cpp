// Reading the carried archive out of the installer's own file and unpacking it over the
// installation in two passes: everything but the client's main program, then the main program.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/update.h"
#include "package_format/package_trailer.h"
#include "platform/error.h"
#include "platform/file.h"
#include "support/file_helpers.h"
#include "pe/little_endian.h"
#include "support/log_file.h"
#include "support/zip_extract.h"

namespace Update {
namespace {

constexpr char kReadTag[] = "Update::ReadFileToData";
constexpr char kCopyTag[] = "Update::CopyFileA";
constexpr char kExcludeHandlerTag[] = "Update::CopyFileA::OnExcludeCreateFailed";

bool IsClientProgram(const std::string& path) {
    return GetFileNamePart(path) == kClientProgramName;
}

// A file in use by another process is moved aside under its name plus a braced GUID, so that
// the new file can be created under the old name; the old one goes away with the restart.
ZipCode OnExcludeCreateFailed(const std::string& path, uint32_t error, bool* needRestart) {
    LogPrintf(&g_logFile, "%s ZipExtract Failed(%s) error(%u)", kExcludeHandlerTag, path.c_str(),
              error);
    if (error != platform::kErrorSharingViolation) {
        return ZipCode::Fail;
    }
    std::string newPath = path + NewGuidString();
    int result = std::rename(path.c_str(), newPath.c_str());
    LogPrintf(&g_logFile, "%s ZipExtract Failed rename(%s, %s) result(%d)", kExcludeHandlerTag,
              path.c_str(), newPath.c_str(), result);
    if (result != 0) {
        return ZipCode::Fail;
    }
    *needRestart = true;
    return ZipCode::Retry;
}

int Install(std::FILE* ownFile, bool* needRestart) {
    std::vector<uint8_t> data;
    if (!ReadFileToData(ownFile, &data)) {
        LogPrintf(&g_logFile, "%s ReadFileToData failed", kCopyTag);
        return kCopyFailed;
    }
    std::string archive = GetTempFileNameA();
    if (!FileWriteToEnd(archive, data.data(), static_cast<int32_t>(data.size()))) {
        LogPrintf(&g_logFile, "%s FileWriteToEnd failed", kCopyTag);
        return kCopyFailed;
    }
    // The archive now lives in the temporary file; the copy in memory is no longer needed.
    std::vector<uint8_t>().swap(data);

    std::string root = GetDestinationRoot();
    if (root.empty()) {
        // An empty destination would unpack the suite into the working folder.
        LogPrintf(&g_logFile, "%s destination root is empty", kCopyTag);
        return kCopyFailed;
    }
    bool excluded = ZipExtractEx(
        archive.c_str(), root.c_str(),
        [](const std::string& path) { return !IsClientProgram(path); },
        [needRestart](const std::string& path, uint32_t error) {
            return OnExcludeCreateFailed(path, error, needRestart);
        });
    if (!excluded) {
        LogPrintf(&g_logFile, "%s ZipExtractExclude(%s, %s) error(%u)", kCopyTag, archive.c_str(),
                  root.c_str(), platform::LastError());
        return kCopyFailed;
    }
    // The main program takes its place in one rename once it is complete: a damaged entry, a
    // full disk or a kill leaves the old one, whose version lets a later package update it.
    bool included = ZipExtractEx(
        archive.c_str(), root.c_str(),
        [](const std::string& path) { return IsClientProgram(path); },
        [](const std::string&, uint32_t) { return ZipCode::Fail; }, ZipWriteMode::Replace);
    if (!included) {
        LogPrintf(&g_logFile, "%s ZipExtractInclude(%s, %s) error(%u)", kCopyTag, archive.c_str(),
                  root.c_str(), platform::LastError());
        return kCopyFailed;
    }
    RegEdit();
    SetRegAppPath();
    return kCopied;
}

}  // namespace

bool ReadFileToData(std::FILE* file, std::vector<uint8_t>* data) {
    // A signed package ends with its certificate table: the trailer lies just before it, and
    // the total counts the file without it. Unsigned, signature is 0 and the trailer ends the
    // file.
    long signature = 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        long size = std::ftell(file);
        if (size > 0) {
            signature =
                static_cast<long>(package_format::SignatureSize(file, static_cast<uint64_t>(size)));
        }
    }
    if (signature != 0) {
        LogPrintf(&g_logFile, "%s certificate_table(%ld)", kReadTag, signature);
    }
    uint8_t bytes[4];
    if (std::fseek(file, -4 - signature, SEEK_END) != 0) {
        LogPrintf(&g_logFile, "%s fseek(file, -4, SEEK_END) != 0 error(%u)", kReadTag,
                  platform::LastError());
        return false;
    }
    if (std::fread(bytes, 1, 4, file) != 4) {
        LogPrintf(&g_logFile, "%s fread(&file_size, 1, 4, file) != 4 error(%u)", kReadTag,
                  platform::LastError());
        return false;
    }
    uint32_t total = little_endian::Read32(bytes);
    if (static_cast<int32_t>(total) != GetModuleSize() - signature) {
        LogPrintf(&g_logFile, "%s file_size(%d) != GetModuleSize()", kReadTag,
                  static_cast<int32_t>(total));
        return false;
    }
    if (std::fseek(file, -8 - signature, SEEK_END) != 0) {
        LogPrintf(&g_logFile, "%s fseek(file, -8, SEEK_END) != 0 error(%u)", kReadTag,
                  platform::LastError());
        return false;
    }
    if (std::fread(bytes, 1, 4, file) != 4) {
        LogPrintf(&g_logFile, "%s fread(&data_size, 1, 4, file) != 4 error(%u)", kReadTag,
                  platform::LastError());
        return false;
    }
    uint32_t dataSize = little_endian::Read32(bytes);
    // total matches the real size, so the archive must fit in front of the trailer. Checked
    // before the buffer is sized, so a damaged trailer cannot ask for gigabytes.
    if (!package_format::ArchiveFits(dataSize, total)) {
        LogPrintf(&g_logFile, "%s data_size(%u) > file_size(%d)", kReadTag, dataSize,
                  static_cast<int32_t>(total));
        return false;
    }
    if (std::fseek(file, -(static_cast<long>(dataSize) + 8 + signature), SEEK_END) != 0) {
        LogPrintf(&g_logFile, "%s fseek(file, -(data_size + 8), SEEK_END) != 0 error(%u)", kReadTag,
                  platform::LastError());
        return false;
    }
    // Appended piece by piece into reserved room: a resize would first zero tens of MB that
    // the read then overwrites.
    data->clear();
    data->reserve(dataSize);
    uint8_t piece[64 * 1024];
    for (uint32_t left = dataSize; left > 0;) {
        const size_t want = left < sizeof piece ? left : sizeof piece;
        if (std::fread(piece, 1, want, file) != want) {
            return false;
        }
        data->insert(data->end(), piece, piece + want);
        left -= static_cast<uint32_t>(want);
    }
    return true;
}

int CopyFileA() {
    std::string modulePath = ModulePath();
    platform::UniqueStream ownFile(platform::OpenStream(modulePath, "rb"));
    if (!ownFile) {
        LogPrintf(&g_logFile, "%s fopen_s(%s) failed(%d)", kCopyTag, modulePath.c_str(),
                  static_cast<int>(platform::LastError()));
        return kCopyFailed;
    }
    // needRestart lives for this one call: a retry starts with it cleared.
    bool needRestart = false;
    int result = Install(ownFile.Get(), &needRestart);
    ownFile.Close();
    if (result == kCopied && needRestart) {
        result = kCopiedRestart;
    }
    return result;
}

}  // namespace Update
