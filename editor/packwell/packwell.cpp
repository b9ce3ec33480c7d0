#include "packwell.h"

#include "archive.h"
#include "failure_kinds.h"
#include "package_file.h"
#include "package_names.h"
#include "platform/file_access.h"
#include "save_collect.h"
#include "save_leftovers.h"
#include "save_reconcile.h"
#include "save_write.h"
#include "track_folder.h"
#include "unpack_bounds.h"
#include "unpack_plan.h"
#include "unpack_run.h"
#include "unreferenced_pictures.h"
#include "utf8_path.h"

#include <QDebug>
#include <QString>

#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;
using packwell::Archive;
using packwell::PathFromUtf8;
using packwell::Utf8Of;

namespace {

// A save waits this long for another program's save of the same folder.
constexpr int kSaveLockTimeoutMs = 120000;

}  // namespace

bool Packwell::IsTrackFolderName(const std::string& folder) {
    return packwell::IsTrackFolderName(folder);
}

void Packwell::GetFlagFilePathFromZipPackage(std::string& flagPath, const std::string& flagFileName,
                                             const std::string& packagePath,
                                             const std::string& password) {
    flagPath.clear();
    Archive archive = packwell::OpenArchive(packagePath, ZIP_RDONLY, password, lastError_);
    if (archive)
        flagPath = packwell::FlagPathOf(packwell::ReadPackageNames(archive.get()), flagFileName);
}

bool Packwell::UnZipFile(const std::string& packagePath, const std::string& targetRoot,
                         const std::string& password, const std::string& includePrefix,
                         const std::string& excludePrefix, bool keepExisting) {
    lastError_.clear();
    lastRefusal_.clear();
    lastFailure_ = PackwellFailure::Other;  // until it succeeds
    skippedEntries_.clear();
    Archive archive = packwell::OpenArchive(packagePath, ZIP_RDONLY, password, lastError_);
    if (!archive)
        return false;
    if (targetRoot.empty()) {
        lastError_ = "no target folder";
        return false;
    }

    const std::vector<packwell::EntryName> names = packwell::ReadPackageNames(archive.get());
    packwell::UnpackPlan plan;
    const bool planned =
        packwell::PlanUnpack(archive.get(), names, targetRoot,
                             {includePrefix, excludePrefix, keepExisting}, plan, lastError_);
    skippedEntries_ = plan.skipped;
    if (!planned)
        return false;

    // Everything the package claims is checked before anything is written.
    std::error_code code;
    fs::create_directories(PathFromUtf8(targetRoot), code);
    if (const int reason = packwell::platform::FolderWriteError(PathFromUtf8(targetRoot))) {
        lastFailure_ = packwell::FailureOfError(reason);
        lastError_ = "cannot write into " + targetRoot + ": " + std::strerror(reason);
        return false;
    }
    packwell::Refusal refusal;
    lastFailure_ =
        packwell::CheckUnpackBounds(archive.get(), names.size(), plan.files, plan.documentIndex,
                                    PathFromUtf8(targetRoot), refusal);
    if (lastFailure_ == PackwellFailure::None) {
        lastFailure_ = packwell::RunUnpack(archive.get(), plan, targetRoot, refusal);
        skippedEntries_ = plan.skipped;
    }
    lastError_ = refusal.error;
    lastRefusal_ = refusal.reason;
    return lastFailure_ == PackwellFailure::None;
}

bool Packwell::ZipFiles(const std::vector<std::string>& files,
                        const std::vector<std::string>& folders, const std::string& packagePath,
                        const std::string& root, const std::string& password,
                        const std::string& comment, const std::string& extraStoredExtensions) {
    return ZipFiles(
        ZipRequest{files, folders, packagePath, root, {password, comment, extraStoredExtensions}});
}

bool Packwell::ZipFiles(const ZipRequest& request) {
    lastError_.clear();
    lastFailure_ = PackwellFailure::Other;  // until it succeeds
    skippedFiles_.clear();
    if (request.packagePath.empty() || request.root.empty()) {
        lastError_ = "no package or root";
        return false;
    }

    packwell::SaveList list;
    const bool collected =
        packwell::CollectFiles(request.files, request.folders, request.root, list, lastError_);
    skippedFiles_ = list.skipped;
    if (!collected)
        return false;
    if (list.wanted.empty()) {
        lastError_ = "none of the listed files can be read";
        return false;  // the package stays as it is rather than emptied
    }

    // A link is saved through: the file it leads to is replaced, the link
    // stays. A package or folder the user may not write is left alone.
    const fs::path package = packwell::ResolvePackagePath(PathFromUtf8(request.packagePath));
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

    Archive archive =
        packwell::OpenArchive(Utf8Of(package), ZIP_CREATE, request.options.password, lastError_);
    if (!archive)
        return false;
    packwell::KeptEntries kept;
    if (!packwell::ReconcileEntries(archive.get(), list, kept, lastError_) ||
        !packwell::AddOrReplace(archive.get(), list, kept, request.options, lastError_))
        return false;
    lastFailure_ = packwell::CloseArchive(archive, request.options.comment, lastError_);
    return lastFailure_ == PackwellFailure::None;
}

std::vector<std::string> Packwell::RemoveStrayPictures(const std::string& trackFolder,
                                                       const std::vector<std::string>& pictures,
                                                       const std::string& packagePath) {
    if (trackFolder.empty())
        return {};
    const std::vector<std::string> removed = packwell::RemoveUnreferenced(
        PathFromUtf8(trackFolder) / "res", pictures,
        [&]() -> std::optional<std::vector<std::string>> {
            std::string error;
            Archive archive = packwell::OpenArchive(packagePath, ZIP_RDONLY, "", error);
            if (!archive) {
                qDebug() << "Packwell::RemoveStrayPictures" << QString::fromStdString(error);
                return std::nullopt;
            }
            return packwell::PackagedPictures(archive.get());
        });
    for (const std::string& name : removed)
        qDebug() << "Packwell::RemoveStrayPictures"
                 << "removed" << QString::fromStdString(name);
    return removed;
}
