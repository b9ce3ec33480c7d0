#include "track_folder.h"

#include "store_paths.h"
#include "utf8_path.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace fs = std::filesystem;

namespace packwell {

bool IsLockName(const std::string& segment) {
    static const std::string suffix = ".lock";
    if (segment.size() < suffix.size())
        return false;
    return std::equal(
        suffix.begin(), suffix.end(), segment.end() - suffix.size(),
        [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

bool IsTrackFolderName(const std::string& folder) {
    if (folder.empty())
        return false;
    size_t start = 0;
    while (start <= folder.size()) {
        size_t end = folder.find('/', start);
        if (end == std::string::npos)
            end = folder.size();
        const std::string segment = folder.substr(start, end - start);
        if (segment.empty() || segment == "." || segment == ".." || IsLockName(segment))
            return false;
        start = end + 1;
    }
    return true;
}

bool PathInside(const std::string& name, const std::string& folder, std::string& inside) {
    if (name.size() <= folder.size() || name.compare(0, folder.size(), folder) != 0 ||
        name[folder.size()] != '/')
        return false;
    inside = name.substr(folder.size() + 1);
    for (const std::string& segment : Segments(inside)) {
        if (IsLockName(segment))
            return false;
    }
    return true;
}

bool PrepareTrackFolder(const fs::path& root, const std::string& folder, fs::path& made,
                        std::string& error) {
    made.clear();
    std::error_code code;
    fs::create_directories(root, code);
    const std::vector<std::string> segments = Segments(folder);
    fs::path place = root;
    for (size_t i = 0; i < segments.size(); ++i) {
        place /= PathFromUtf8(segments[i]);
        const bool last = i + 1 == segments.size();
        const fs::file_status status = fs::symlink_status(place, code);
        if (fs::is_directory(status)) {
            if (!last && fs::exists(fs::symlink_status(place / kTrackDocument, code))) {
                error = Utf8Of(place) + " is another track's folder";
                return false;
            }
            continue;
        }
        if (fs::exists(status)) {
            error = "something other than a folder stands at " + Utf8Of(place);
            return false;
        }
        // Another program unpacking the same package may make it first.
        if (fs::create_directory(place, code)) {
            if (made.empty())
                made = place;
        } else if (!fs::is_directory(fs::symlink_status(place))) {
            error = "cannot create " + Utf8Of(place) + ": " + code.message();
            return false;
        }
    }
    return true;
}

}  // namespace packwell
