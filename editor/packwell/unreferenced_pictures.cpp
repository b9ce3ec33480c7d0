#include "unreferenced_pictures.h"

#include "utf8_path.h"

#include "package_names.h"
#include "track_folder.h"

#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace packwell {

std::vector<std::string> RemoveUnreferenced(
    const fs::path& resFolder, const std::vector<std::string>& keep,
    const std::function<std::optional<std::vector<std::string>>()>& packaged) {
    const std::set<std::string> kept(keep.begin(), keep.end());
    std::vector<fs::path> unnamed;
    std::error_code code;
    for (fs::directory_iterator it(resFolder, code), end; !code && it != end; it.increment(code)) {
        std::error_code status;
        if (!kept.count(Utf8Of(it->path().filename())) &&
            fs::is_regular_file(it->symlink_status(status)))
            unnamed.push_back(it->path());
    }
    if (unnamed.empty())
        return {};
    const std::optional<std::vector<std::string>> inPackage = packaged();
    if (!inPackage)
        return {};
    const std::set<std::string> packagedNames(inPackage->begin(), inPackage->end());
    std::vector<std::string> removed;
    for (const fs::path& path : unnamed) {
        const std::string name = Utf8Of(path.filename());
        std::error_code gone;
        if (!packagedNames.count(name) && fs::remove(path, gone))
            removed.push_back(name);
    }
    return removed;
}

std::vector<std::string> PackagedPictures(zip_t* archive) {
    const std::vector<EntryName> names = ReadPackageNames(archive);
    const std::string flag = FlagPathOf(names, kTrackDocument);
    const std::string res = flag.substr(0, flag.find_last_of('/') + 1) + "res/";
    std::vector<std::string> pictures;
    for (const EntryName& entry : names) {
        const std::string name = Normalised(entry.name);
        if (entry.named && name.size() > res.size() && name.compare(0, res.size(), res) == 0 &&
            name.find('/', res.size()) == std::string::npos)
            pictures.push_back(name.substr(res.size()));
    }
    return pictures;
}

}  // namespace packwell
