#include "packwell.h"

#include "entry_names.h"
#include "failure_kinds.h"
#include "package_file.h"
#include "package_names.h"
#include "platform/file_access.h"
#include "platform_names.h"
#include "save_leftovers.h"
#include "store_paths.h"
#include "track_folder.h"
#include "unpack_leftovers.h"
#include "utf8_path.h"

#include <zip.h>
#include <zlib.h>

#include <QDebug>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <system_error>

namespace fs = std::filesystem;
using packwell::EntryName;
using packwell::PathFromUtf8;
using packwell::Utf8Of;

namespace {

// A save waits this long for another program's save of the same folder.
constexpr int kSaveLockTimeoutMs = 120000;

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct EntryCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using Entry = std::unique_ptr<zip_file_t, EntryCloser>;

std::string ZipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

Archive OpenArchive(const std::string& path, int flags, const std::string& password,
                    std::string& error) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), flags, &code);
    if (!archive) {
        error = "zip_open(" + path + ") failed: " + ZipErrorText(code);
        return nullptr;
    }
    if (!password.empty())
        zip_set_default_password(archive, password.c_str());
    return Archive(archive);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string LowerExtension(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string extension = name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool IsStored(const std::string& name, const std::string& extraStored) {
    static const std::set<std::string> pictures = {".jpeg", ".jpg", ".png", ".gif"};
    const std::string extension = LowerExtension(name);
    if (extension.empty())
        return false;
    if (pictures.count(extension))
        return true;
    std::string list = "," + extraStored + ",";
    std::transform(list.begin(), list.end(), list.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return list.find("," + extension + ",") != std::string::npos;
}

// CRC-32 and size of a file, for telling whether an entry is still current.
bool FileChecksum(const fs::path& path, uint32_t& crc, uint64_t& size) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    uLong value = crc32(0L, Z_NULL, 0);
    size = 0;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        const std::streamsize got = in.gcount();
        if (got > 0) {
            value = crc32(value, reinterpret_cast<const Bytef*>(buffer), static_cast<uInt>(got));
            size += static_cast<uint64_t>(got);
        }
    }
    if (in.bad())
        return false;
    crc = static_cast<uint32_t>(value);
    return true;
}

// Relative path of file below root with "/" separators; empty when the file
// does not lie below root.
std::string RelativeEntryName(const fs::path& file, const fs::path& root) {
    std::error_code error;
    const fs::path absoluteFile = fs::absolute(file, error).lexically_normal();
    const fs::path absoluteRoot = fs::absolute(root, error).lexically_normal();
    const fs::path relative = absoluteFile.lexically_relative(absoluteRoot);
    const std::string name = packwell::Normalised(packwell::GenericUtf8Of(relative));
    if (name.empty() || name == "." || !packwell::IsSafeEntryName(name))
        return {};
    return name;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const std::ptrdiff_t written = packwell::platform::WriteSome(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// On failure, systemError holds the system's error number (0 when the package
// was at fault).
bool WriteEntry(zip_t* archive, zip_uint64_t index, const fs::path& target, std::string& error,
                int& systemError) {
    systemError = 0;
    Entry entry(zip_fopen_index(archive, index, 0));
    if (!entry) {
        error = std::string("zip_fopen_index failed: ") + zip_strerror(archive);
        return false;
    }
    // Written beside the target under a name of its own and renamed, so a
    // reader never sees half a file and two programs unpacking the same package
    // at once each finish their own copy.
    fs::path temporary;
    const int fd = packwell::CreateUniqueSibling(target, temporary);
    if (fd < 0) {
        systemError = errno;
        error = "cannot write beside " + Utf8Of(target) + ": " + std::strerror(errno);
        return false;
    }
    const auto discard = [&temporary] {
        std::error_code ignored;
        fs::remove(temporary, ignored);
    };
    char buffer[65536];
    for (;;) {
        const zip_int64_t got = zip_fread(entry.get(), buffer, sizeof buffer);
        if (got < 0) {
            error = std::string("zip_fread failed: ") + zip_file_strerror(entry.get());
            packwell::platform::CloseFile(fd);
            discard();
            return false;
        }
        if (got == 0)
            break;
        if (!WriteAll(fd, buffer, static_cast<size_t>(got))) {
            systemError = errno;
            error = "cannot write " + Utf8Of(temporary) + ": " + std::strerror(errno);
            packwell::platform::CloseFile(fd);
            discard();
            return false;
        }
    }
    if (packwell::platform::CloseFile(fd) != 0) {
        systemError = errno;
        error = "cannot write " + Utf8Of(temporary) + ": " + std::strerror(errno);
        discard();
        return false;
    }
    std::error_code code;
    fs::rename(temporary, target, code);
    if (code) {
        systemError = code.value();
        error = "cannot replace " + Utf8Of(target) + ": " + code.message();
        discard();
        return false;
    }
    return true;
}

}  // namespace

bool Packwell::IsTrackFolderName(const std::string& folder) {
    return packwell::IsTrackFolderName(folder);
}

void Packwell::GetFlagFilePathFromZipPackage(std::string& flagPath, const std::string& flagFileName,
                                             const std::string& packagePath,
                                             const std::string& password) {
    flagPath.clear();
    Archive archive = OpenArchive(packagePath, ZIP_RDONLY, password, lastError_);
    if (archive)
        flagPath = packwell::FlagPathOf(packwell::ReadPackageNames(archive.get()), flagFileName);
}

bool Packwell::UnZipFile(const std::string& packagePath, const std::string& targetRoot,
                         const std::string& password, const std::string& includePrefix,
                         const std::string& excludePrefix, bool keepExisting) {
    lastError_.clear();
    lastFailure_ = PackwellFailure::Other;  // until it succeeds
    skippedEntries_.clear();
    Archive archive = OpenArchive(packagePath, ZIP_RDONLY, password, lastError_);
    if (!archive)
        return false;
    if (targetRoot.empty()) {
        lastError_ = "no target folder";
        return false;
    }

    // The package's track folder is the one that holds its "tracks.xml"; the
    // package writes there and nowhere else.
    const std::vector<EntryName> names = packwell::ReadPackageNames(archive.get());
    const std::string flag = packwell::FlagPathOf(names, packwell::kTrackDocument);
    const size_t slash = flag.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : flag.substr(0, slash);
    if (!packwell::IsTrackFolderName(folder)) {
        lastError_ = "no tracks.xml inside a usable track folder: " + flag;
        return false;
    }

    struct Item {
        zip_uint64_t index;
        std::string inside;  // path below the track folder
    };
    std::vector<Item> items;
    const fs::path root = PathFromUtf8(targetRoot);
    for (zip_uint64_t index = 0; index < names.size(); ++index) {
        const std::string name = packwell::Normalised(names[index].name);
        std::string inside;
        if (!names[index].named || !packwell::IsSafeEntryName(name) ||
            !packwell::PathInside(name, folder, inside)) {
            // Another track's files, a lock, or something beside the tracks.
            qDebug() << "Packwell::UnZipFile"
                     << "skipped, outside the track folder" << QString::fromStdString(folder) << ":"
                     << QString::fromStdString(name);
            skippedEntries_.push_back(name);
            continue;
        }
        if (!includePrefix.empty() && !StartsWith(name, includePrefix))
            continue;
        if (!excludePrefix.empty() && StartsWith(name, excludePrefix))
            continue;
        if (!packwell::IsStorablePath(root, folder + "/" + inside)) {
            qDebug() << "Packwell::UnZipFile"
                     << "skipped, a name this system cannot store:" << QString::fromStdString(name);
            skippedEntries_.push_back(name);
            continue;
        }
        items.push_back({index, inside});
    }

    std::error_code code;
    fs::create_directories(root, code);
    if (const int reason = packwell::platform::FolderWriteError(root)) {
        lastFailure_ = packwell::FailureOfError(reason);
        lastError_ = "cannot write into " + targetRoot + ": " + std::strerror(reason);
        return false;
    }
    std::filesystem::path made;
    if (!packwell::PrepareTrackFolder(root, folder, made, lastError_))
        return false;
    const fs::path trackFolder = root / PathFromUtf8(folder);
    // What a killed unpack of this track left goes first, unless another
    // unpack of it is running.
    packwell::UnpackTurn turn(trackFolder);
    if (turn.TryAlone()) {
        for (const std::string& leftover : packwell::RemoveUnpackLeftovers(trackFolder))
            qDebug() << "Packwell::UnZipFile"
                     << "removed the leftover of an interrupted unpack:"
                     << QString::fromStdString(leftover);
    }
    turn.Share();
    for (const Item& item : items) {
        const bool isFolder = item.inside.empty() || item.inside.back() == '/';
        const std::vector<std::string> segments = packwell::Segments(item.inside);
        if (segments.empty())
            continue;
        // The package owns the places of its entries inside its track folder:
        // what an earlier package left in the way is replaced.
        if (!packwell::MakeFolders(trackFolder, segments,
                                   isFolder ? segments.size() : segments.size() - 1, lastError_))
            return false;
        if (isFolder)
            continue;
        fs::path target = trackFolder;
        for (const std::string& segment : segments)
            target /= PathFromUtf8(segment);
        std::error_code code;
        if (keepExisting && fs::is_regular_file(fs::symlink_status(target, code)))
            continue;
        if (!packwell::ClearFilePlace(target, lastError_))
            return false;
        int systemError = 0;
        if (!WriteEntry(archive.get(), item.index, target, lastError_, systemError)) {
            if (systemError == ENAMETOOLONG) {  // a file system with tighter limits
                skippedEntries_.push_back(folder + "/" + item.inside);
                continue;
            }
            lastFailure_ = packwell::FailureOfError(systemError);
            return false;
        }
    }
    lastFailure_ = PackwellFailure::None;
    return true;
}

bool Packwell::ZipFiles(const std::vector<std::string>& files,
                        const std::vector<std::string>& folders, const std::string& packagePath,
                        const std::string& root, const std::string& password,
                        const std::string& comment, const std::string& extraStoredExtensions) {
    lastError_.clear();
    lastFailure_ = PackwellFailure::Other;  // until it succeeds
    skippedFiles_.clear();
    if (packagePath.empty() || root.empty()) {
        lastError_ = "no package or root";
        return false;
    }

    std::vector<fs::path> sources;
    for (const std::string& file : files)
        sources.push_back(PathFromUtf8(file));
    for (const std::string& folder : folders) {
        std::error_code code;
        for (fs::recursive_directory_iterator it(PathFromUtf8(folder), code), end;
             !code && it != end; it.increment(code)) {
            if (it->is_regular_file(code))
                sources.push_back(it->path());
        }
        if (code) {
            lastError_ = "cannot list " + folder + ": " + code.message();
            return false;
        }
    }

    struct Wanted {
        fs::path source;
        std::string name;
        uint32_t crc;
        uint64_t size;
    };
    std::vector<Wanted> wanted;
    std::set<std::string> names;    // every listed name, read or not
    std::set<std::string> missing;  // listed, but no readable file
    for (const fs::path& source : sources) {
        const std::string name = RelativeEntryName(source, PathFromUtf8(root));
        if (name.empty()) {
            lastError_ = "not below the root: " + Utf8Of(source);
            return false;
        }
        if (!names.insert(name).second)
            continue;
        // A file that is gone or is no file is left out; the rest is saved.
        std::error_code code;
        uint32_t crc = 0;
        uint64_t size = 0;
        if (!fs::is_regular_file(source, code) || !FileChecksum(source, crc, size)) {
            skippedFiles_.push_back(Utf8Of(source));
            missing.insert(name);
            qDebug() << "Packwell::ZipFiles"
                     << "skipped, not a readable file:" << QString::fromStdString(Utf8Of(source));
            continue;
        }
        wanted.push_back({source, name, crc, size});
    }
    if (wanted.empty()) {
        lastError_ = "none of the listed files can be read";
        return false;  // the package stays as it is rather than emptied
    }

    // A link is saved through: the file it leads to is replaced, the link
    // stays. A package or folder the user may not write is left alone.
    const fs::path package = packwell::ResolvePackagePath(PathFromUtf8(packagePath));
    lastFailure_ = packwell::CheckReplaceable(package, lastError_);
    if (lastFailure_ != PackwellFailure::None)
        return false;
    lastFailure_ = PackwellFailure::Other;

    // Saves of one folder take turns; under the lock, what killed saves of this
    // package left behind can go.
    packwell::FolderLock lock{package};
    bool unsupported = false;
    if (lock.Acquire(kSaveLockTimeoutMs, unsupported)) {
        for (const std::string& leftover : packwell::RemoveSaveLeftovers(package))
            qDebug() << "Packwell::ZipFiles"
                     << "removed the leftover of an interrupted save:"
                     << QString::fromStdString(leftover);
    } else if (!unsupported) {
        lastError_ = "another program is saving beside " + Utf8Of(package);
        return false;
    }

    Archive archive = OpenArchive(Utf8Of(package), ZIP_CREATE, password, lastError_);
    if (!archive)
        return false;
    zip_t* zip = archive.get();

    // Entries are matched by the names their writer meant. An entry kept must
    // carry its name exactly once, in "/" form and as flagged UTF-8, or the
    // package would end up holding the old and the new file under two
    // spellings of one place; any other entry goes and its file is added anew.
    // An entry whose file is missing stays as it is, so nothing already in the
    // package is lost to a file that vanished from the store.
    std::map<std::string, zip_uint64_t> kept;
    const std::vector<EntryName> entries = packwell::ReadPackageNames(zip);
    for (zip_uint64_t index = 0; index < entries.size(); ++index) {
        const EntryName& entry = entries[index];
        if (entry.named && names.count(entry.name) && !kept.count(entry.name)) {
            if (missing.count(entry.name)) {
                kept.emplace(entry.name, index);
                if (entry.rewrite &&
                    zip_file_rename(zip, index, entry.name.c_str(), ZIP_FL_ENC_UTF_8) != 0) {
                    lastError_ = std::string("zip_file_rename failed: ") + zip_strerror(zip);
                    return false;
                }
                continue;
            }
            if (!entry.rewrite) {
                kept.emplace(entry.name, index);
                continue;
            }
        }
        if (zip_delete(zip, index) != 0) {
            lastError_ = std::string("zip_delete failed: ") + zip_strerror(zip);
            return false;
        }
    }

    for (const Wanted& item : wanted) {
        const auto found = kept.find(item.name);
        const zip_int64_t existing =
            found == kept.end() ? -1 : static_cast<zip_int64_t>(found->second);
        if (existing >= 0) {
            zip_stat_t stat;
            zip_stat_init(&stat);
            if (zip_stat_index(zip, static_cast<zip_uint64_t>(existing), 0, &stat) == 0 &&
                (stat.valid & ZIP_STAT_CRC) && (stat.valid & ZIP_STAT_SIZE) &&
                stat.crc == item.crc && stat.size == item.size)
                continue;  // unchanged: copied raw by zip_close
        }
        zip_source_t* source = zip_source_file(zip, Utf8Of(item.source).c_str(), 0, -1);
        if (!source) {
            lastError_ = std::string("zip_source_file failed: ") + zip_strerror(zip);
            return false;
        }
        zip_int64_t index = existing;
        if (existing >= 0) {
            if (zip_file_replace(zip, static_cast<zip_uint64_t>(existing), source, 0) != 0) {
                zip_source_free(source);
                lastError_ = std::string("zip_file_replace failed: ") + zip_strerror(zip);
                return false;
            }
        } else {
            index = zip_file_add(zip, item.name.c_str(), source, ZIP_FL_ENC_UTF_8);
            if (index < 0) {
                zip_source_free(source);
                lastError_ = std::string("zip_file_add failed: ") + zip_strerror(zip);
                return false;
            }
        }
        const zip_uint64_t at = static_cast<zip_uint64_t>(index);
        const zip_int32_t method =
            IsStored(item.name, extraStoredExtensions) ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
        if (zip_set_file_compression(zip, at, method, 0) != 0) {
            lastError_ = std::string("zip_set_file_compression failed: ") + zip_strerror(zip);
            return false;
        }
        if (!password.empty() &&
            zip_file_set_encryption(zip, at, ZIP_EM_AES_256, password.c_str()) != 0) {
            lastError_ = std::string("zip_file_set_encryption failed: ") + zip_strerror(zip);
            return false;
        }
    }

    if (!comment.empty() && zip_set_archive_comment(zip, comment.c_str(),
                                                    static_cast<zip_uint16_t>(std::min<size_t>(
                                                        comment.size(), 65535))) != 0) {
        lastError_ = std::string("zip_set_archive_comment failed: ") + zip_strerror(zip);
        return false;
    }

    // zip_close writes a temporary file beside the package and renames it.
    if (zip_close(zip) != 0) {
        zip_error_t* error = zip_get_error(zip);
        if (zip_error_system_type(error) == ZIP_ET_SYS)
            lastFailure_ = packwell::FailureOfError(zip_error_code_system(error));
        lastError_ = std::string("zip_close failed: ") + zip_strerror(zip);
        return false;  // the guard discards, leaving the old package
    }
    archive.release();
    lastFailure_ = PackwellFailure::None;
    return true;
}
