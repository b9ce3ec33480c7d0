#include "package_names.h"

#include "document_pictures.h"
#include "track_folder.h"
#include "unpack_limits.h"

#include <algorithm>
#include <memory>
#include <set>

namespace packwell {

namespace {

std::vector<EntryName> ReadAll(zip_t* archive, Reading reading) {
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    std::vector<EntryName> names(count > 0 ? static_cast<size_t>(count) : 0);
    for (size_t i = 0; i < names.size(); ++i)
        ReadEntryName(archive, i, names[i], reading);
    return names;
}

bool AnyAmbiguous(zip_t* archive) {
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        std::string raw;
        bool flagged = false;
        if (ReadRawName(archive, static_cast<zip_uint64_t>(i), raw, flagged) && !flagged &&
            IsAmbiguousName(raw))
            return true;
    }
    return false;
}

// The bytes of the package's document, the first "tracks.xml"; empty when it
// is missing, unreadable or larger than a document may be.
std::string ReadDocument(zip_t* archive, const std::vector<EntryName>& names) {
    const std::string flag = FlagPathOf(names, kTrackDocument);
    if (flag.empty())
        return {};
    zip_uint64_t index = 0;
    while (index < names.size() && Normalised(names[index].name) != flag)
        ++index;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
        stat.size > kMaxDocumentBytes)
        return {};
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen_index(archive, index, 0),
                                                           zip_fclose);
    if (!file)
        return {};
    std::string bytes(static_cast<size_t>(stat.size), '\0');
    const zip_int64_t got = zip_fread(file.get(), bytes.data(), bytes.size());
    if (got < 0)
        return {};
    bytes.resize(static_cast<size_t>(got));
    return bytes;
}

// How many of the document's pictures the names hold in the track folder's
// "res".
size_t PicturesFound(const std::vector<EntryName>& names,
                     const std::vector<std::string>& pictures) {
    const std::string flag = FlagPathOf(names, kTrackDocument);
    const std::string res = flag.substr(0, flag.find_last_of('/') + 1) + "res/";
    std::set<std::string> present;
    for (const EntryName& entry : names)
        present.insert(Normalised(entry.name));
    return static_cast<size_t>(std::count_if(
        pictures.begin(), pictures.end(),
        [&](const std::string& picture) { return present.count(res + picture) > 0; }));
}

}  // namespace

std::string Normalised(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

std::string FlagPathOf(const std::vector<EntryName>& names, const std::string& fileName) {
    for (const EntryName& entry : names) {
        if (!entry.named)
            continue;
        const std::string name = Normalised(entry.name);
        const size_t slash = name.find_last_of('/');
        if (name.compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos, fileName) ==
            0)
            return name;
    }
    return {};
}

std::vector<EntryName> ReadPackageNames(zip_t* archive) {
    std::vector<EntryName> utf8 = ReadAll(archive, Reading::Utf8First);
    // Most packages hold ASCII or unambiguous names: nothing to decide.
    if (!AnyAmbiguous(archive))
        return utf8;
    std::vector<EntryName> gb18030 = ReadAll(archive, Reading::Gb18030First);
    // The document's bytes are the same whichever reading found its entry.
    const std::vector<std::string> pictures = DocumentPictureNames(ReadDocument(archive, utf8));
    return PicturesFound(gb18030, pictures) > PicturesFound(utf8, pictures) ? gb18030 : utf8;
}

}  // namespace packwell
