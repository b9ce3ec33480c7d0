#include "store_paths.h"

#include "platform/file_access.h"
#include "utf8_path.h"

#include <cerrno>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace packwell {

std::vector<std::string> Segments(const std::string& name) {
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        if (end > start)
            segments.push_back(name.substr(start, end - start));
        start = end + 1;
    }
    return segments;
}

bool MakeFolders(const fs::path& folder, const std::vector<std::string>& segments, size_t count,
                 std::string& error) {
    std::error_code code;
    fs::path place = folder;
    for (size_t i = 0; i < count && i < segments.size(); ++i) {
        place /= PathFromUtf8(segments[i]);
        const fs::file_status status = fs::symlink_status(place, code);
        if (fs::is_directory(status))
            continue;
        if (fs::exists(status)) {
            // A file (or a link, which would lead the package's files elsewhere)
            // left by an earlier package: this package owns the place.
            if (!fs::remove(place, code) && code) {
                error = "cannot replace " + Utf8Of(place) + ": " + code.message();
                return false;
            }
        }
        // Another program unpacking the same package may make it first.
        if (!fs::create_directory(place, code) && !fs::is_directory(fs::symlink_status(place))) {
            error = "cannot create " + Utf8Of(place) + ": " + code.message();
            return false;
        }
    }
    return true;
}

bool ClearFilePlace(const fs::path& target, std::string& error) {
    std::error_code code;
    const fs::file_status status = fs::symlink_status(target, code);
    if (fs::is_symlink(status)) {
        if (!fs::remove(target, code) && code) {
            error = "cannot remove link " + Utf8Of(target) + ": " + code.message();
            return false;
        }
    } else if (fs::is_directory(status)) {
        fs::remove_all(target, code);
        if (code) {
            error = "cannot replace folder " + Utf8Of(target) + ": " + code.message();
            return false;
        }
    }
    return true;
}

int CreateUniqueSibling(const fs::path& target, fs::path& created) {
    static const char kAlphabet[] =
        "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = kTemporaryPrefix;
        for (size_t i = 0; i < kTemporaryRandomLength; ++i)
            name += kAlphabet[pick(random)];
        created = target.parent_path() / PathFromUtf8(name);
        const int fd = platform::CreateExclusive(created);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

}  // namespace packwell
