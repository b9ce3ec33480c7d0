#include "save_write.h"

#include "failure_kinds.h"
#include "utf8_path.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace packwell {

namespace {

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

bool Unchanged(zip_t* zip, zip_uint64_t index, const WantedFile& file) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    return zip_stat_index(zip, index, 0, &stat) == 0 && (stat.valid & ZIP_STAT_CRC) &&
           (stat.valid & ZIP_STAT_SIZE) && stat.crc == file.crc && stat.size == file.size;
}

}  // namespace

bool AddOrReplace(zip_t* zip, const SaveList& list, const KeptEntries& kept,
                  const ZipOptions& options, std::string& error) {
    for (const WantedFile& item : list.wanted) {
        const auto found = kept.find(item.name);
        const zip_int64_t existing =
            found == kept.end() ? -1 : static_cast<zip_int64_t>(found->second);
        if (existing >= 0 && Unchanged(zip, static_cast<zip_uint64_t>(existing), item))
            continue;  // unchanged: copied raw by zip_close
        zip_source_t* source = zip_source_file(zip, Utf8Of(item.source).c_str(), 0, -1);
        if (!source) {
            error = ZipError("zip_source_file", zip);
            return false;
        }
        zip_int64_t index = existing;
        if (existing >= 0) {
            if (zip_file_replace(zip, static_cast<zip_uint64_t>(existing), source, 0) != 0) {
                zip_source_free(source);
                error = ZipError("zip_file_replace", zip);
                return false;
            }
        } else {
            index = zip_file_add(zip, item.name.c_str(), source, ZIP_FL_ENC_UTF_8);
            if (index < 0) {
                zip_source_free(source);
                error = ZipError("zip_file_add", zip);
                return false;
            }
        }
        const zip_uint64_t at = static_cast<zip_uint64_t>(index);
        const zip_int32_t method =
            IsStored(item.name, options.extraStoredExtensions) ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
        if (zip_set_file_compression(zip, at, method, 0) != 0) {
            error = ZipError("zip_set_file_compression", zip);
            return false;
        }
        if (!options.password.empty() &&
            zip_file_set_encryption(zip, at, ZIP_EM_AES_256, options.password.c_str()) != 0) {
            error = ZipError("zip_file_set_encryption", zip);
            return false;
        }
    }
    return true;
}

PackwellFailure CloseArchive(Archive& archive, const std::string& comment, std::string& error) {
    zip_t* zip = archive.get();
    if (!comment.empty() && zip_set_archive_comment(zip, comment.c_str(),
                                                    static_cast<zip_uint16_t>(std::min<size_t>(
                                                        comment.size(), 65535))) != 0) {
        error = ZipError("zip_set_archive_comment", zip);
        return PackwellFailure::Other;
    }
    if (zip_close(zip) != 0) {
        error = ZipError("zip_close", zip);
        zip_error_t* cause = zip_get_error(zip);
        return zip_error_system_type(cause) == ZIP_ET_SYS
                   ? FailureOfError(zip_error_code_system(cause))
                   : PackwellFailure::Other;  // the guard discards, leaving the old package
    }
    archive.release();
    return PackwellFailure::None;
}

}  // namespace packwell
