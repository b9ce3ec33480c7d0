#include "unpack_plan.h"

#include "package_names.h"
#include "platform_names.h"
#include "store_paths.h"
#include "track_folder.h"
#include "utf8_path.h"

#include <QDebug>
#include <QString>

#include <system_error>

namespace fs = std::filesystem;

namespace packwell {

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

bool PlanUnpack(zip_t* archive, const std::vector<EntryName>& names, const std::string& root,
                const UnpackFilter& filter, UnpackPlan& plan, std::string& error) {
    // The package's track folder is the one that holds its "tracks.xml"; the
    // package writes there and nowhere else.
    const std::string flag = FlagPathOf(names, kTrackDocument);
    const size_t slash = flag.find_last_of('/');
    plan.folder = slash == std::string::npos ? std::string() : flag.substr(0, slash);
    if (!IsTrackFolderName(plan.folder)) {
        error = "no tracks.xml inside a usable track folder: " + flag;
        return false;
    }

    const fs::path trackFolder = PathFromUtf8(root) / PathFromUtf8(plan.folder);
    for (zip_uint64_t index = 0; index < names.size(); ++index) {
        const std::string name = Normalised(names[index].name);
        if (name == flag)
            plan.documentIndex = index;
        std::string inside;
        if (!names[index].named || !IsSafeEntryName(name) ||
            !PathInside(name, plan.folder, inside)) {
            // Another track's files, a lock, or something beside the tracks.
            qDebug() << "Packwell::UnZipFile"
                     << "skipped, outside the track folder" << QString::fromStdString(plan.folder)
                     << ":" << QString::fromStdString(name);
            plan.skipped.push_back(name);
            continue;
        }
        if (!filter.includePrefix.empty() && !StartsWith(name, filter.includePrefix))
            continue;
        if (!filter.excludePrefix.empty() && StartsWith(name, filter.excludePrefix))
            continue;
        if (!IsStorablePath(PathFromUtf8(root), plan.folder + "/" + inside)) {
            qDebug() << "Packwell::UnZipFile"
                     << "skipped, a name this system cannot store:" << QString::fromStdString(name);
            plan.skipped.push_back(name);
            continue;
        }
        if (inside.empty() || inside.back() == '/') {
            plan.folders.push_back(inside);
            continue;
        }
        fs::path target = trackFolder;
        for (const std::string& segment : Segments(inside))
            target /= PathFromUtf8(segment);
        uint64_t size = 0;
        if (!DeclaredSize(archive, index, size)) {
            error = "no size for " + name;
            return false;
        }
        std::error_code code;
        if (filter.keepExisting && fs::is_regular_file(fs::symlink_status(target, code)))
            continue;
        plan.files.push_back({index, target, size});
    }
    return true;
}

}  // namespace packwell
