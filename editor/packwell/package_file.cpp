#include "package_file.h"

#include "failure_kinds.h"
#include "platform/file_access.h"
#include "utf8_path.h"

#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace packwell {

fs::path ResolvePackagePath(const fs::path& path) {
#ifdef _WIN32
    // Links on Windows need rights teachers do not have; the path is taken as
    // it is.
    return path.lexically_normal();
#else
    fs::path current = path;
    std::error_code code;
    // A loop of links ends here; the save then fails on the last one.
    for (int hop = 0; hop < 40 && fs::is_symlink(fs::symlink_status(current, code)); ++hop) {
        const fs::path target = fs::read_symlink(current, code);
        if (code)
            break;
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return current.lexically_normal();
#endif
}

PackwellFailure CheckReplaceable(const fs::path& package, std::string& error) {
    std::error_code code;
    const fs::file_status status = fs::symlink_status(package, code);
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status)) {
            error = Utf8Of(package) + " is not a file";
            return PackwellFailure::Other;
        }
        // Replacing the file needs only its folder; a read-only package is
        // still left alone, as the teacher who made it so meant.
        if (const int reason = platform::FileWriteError(package)) {
            error = Utf8Of(package) + ": " + std::strerror(reason);
            return reason == EROFS ? PackwellFailure::NoPermission
                                   : PackwellFailure::ReadOnlyPackage;
        }
    }
    const fs::path parent = package.parent_path();
    const fs::path folder = parent.empty() ? fs::path(".") : parent;
    if (const int reason = platform::FolderWriteError(folder)) {
        error = Utf8Of(folder) + ": " + std::strerror(reason);
        return FailureOfError(reason);
    }
    return PackwellFailure::None;
}

}  // namespace packwell
