#include "save_collect.h"

#include "package_names.h"
#include "platform_names.h"
#include "utf8_path.h"

#include <zlib.h>

#include <QDebug>
#include <QString>

#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace packwell {

namespace {

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
    const std::string name = Normalised(GenericUtf8Of(relative));
    if (name.empty() || name == "." || !IsSafeEntryName(name))
        return {};
    return name;
}

}  // namespace

bool CollectFiles(const std::vector<std::string>& files, const std::vector<std::string>& folders,
                  const std::string& root, SaveList& list, std::string& error) {
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
            error = "cannot list " + folder + ": " + code.message();
            return false;
        }
    }

    const fs::path rootPath = PathFromUtf8(root);
    for (const fs::path& source : sources) {
        const std::string name = RelativeEntryName(source, rootPath);
        if (name.empty()) {
            error = "not below the root: " + Utf8Of(source);
            return false;
        }
        if (!list.names.insert(name).second)
            continue;
        // A file that is gone or is no file is left out; the rest is saved.
        std::error_code code;
        uint32_t crc = 0;
        uint64_t size = 0;
        if (!fs::is_regular_file(source, code) || !FileChecksum(source, crc, size)) {
            list.skipped.push_back(Utf8Of(source));
            list.missing.insert(name);
            qDebug() << "Packwell::ZipFiles"
                     << "skipped, not a readable file:" << QString::fromStdString(Utf8Of(source));
            continue;
        }
        list.wanted.push_back({source, name, crc, size});
    }
    return true;
}

}  // namespace packwell
