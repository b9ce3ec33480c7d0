#include "unpack_run.h"

#include "entry_writer.h"
#include "store_paths.h"
#include "track_folder.h"
#include "unpack_leftovers.h"
#include "utf8_path.h"

#include <QDebug>
#include <QString>

#include <cerrno>
#include <system_error>

namespace fs = std::filesystem;

namespace packwell {

PackwellFailure RunUnpack(zip_t* archive, UnpackPlan& plan, const std::string& root,
                          Refusal& refusal) {
    std::string& error = refusal.error;
    std::filesystem::path made;
    const fs::path rootPath = PathFromUtf8(root);
    if (!PrepareTrackFolder(rootPath, plan.folder, made, error))
        return PackwellFailure::Other;
    const fs::path trackFolder = rootPath / PathFromUtf8(plan.folder);
    // What a killed unpack of this track left goes first, unless another
    // unpack of it is running.
    UnpackTurn turn(trackFolder);
    if (turn.TryAlone()) {
        for (const std::string& leftover : RemoveUnpackLeftovers(trackFolder))
            qDebug() << "Packwell::UnZipFile"
                     << "removed the leftover of an interrupted unpack:"
                     << QString::fromStdString(leftover);
    }
    turn.Share();
    // A track folder this unpack began leaves with it when it fails.
    const auto abandon = [&made](PackwellFailure failure) {
        std::error_code ignored;
        if (!made.empty())
            fs::remove_all(made, ignored);
        return failure;
    };
    for (const std::string& inside : plan.folders) {
        const std::vector<std::string> segments = Segments(inside);
        if (!MakeFolders(trackFolder, segments, segments.size(), error))
            return abandon(PackwellFailure::Other);
    }
    for (const PlannedFile& file : plan.files) {
        const std::string relative = GenericUtf8Of(file.target.lexically_relative(trackFolder));
        const std::vector<std::string> segments = Segments(relative);
        // The package owns the places of its entries inside its track folder:
        // what an earlier package left in the way is replaced.
        if (!MakeFolders(trackFolder, segments, segments.size() - 1, error) ||
            !ClearFilePlace(file.target, error))
            return abandon(PackwellFailure::Other);
        int systemError = 0;
        const PackwellFailure failure =
            WriteEntryFile(archive, file.index, file.size, file.target, error, systemError);
        if (systemError == ENAMETOOLONG) {  // a file system with tighter limits
            plan.skipped.push_back(plan.folder + "/" + relative);
            continue;
        }
        if (failure == PackwellFailure::TooLarge)
            refusal.reason =
                "授课轨迹包已损坏：" + Utf8Of(file.target.filename()) + "解压后超出声明的大小";
        else if (failure == PackwellFailure::DiskFull)
            refusal.reason = "磁盘空间不足";
        if (failure != PackwellFailure::None)
            return abandon(failure);
    }
    return PackwellFailure::None;
}

}  // namespace packwell
