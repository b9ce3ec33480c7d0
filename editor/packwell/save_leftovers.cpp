#include "save_leftovers.h"

#include "utf8_path.h"

#include <zip.h>

#include <cctype>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace packwell {

namespace {

fs::path FolderOf(const fs::path& package) {
    const fs::path parent = package.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

}  // namespace

FolderLock::FolderLock(const fs::path& package) : handle_(FolderOf(package)) {}

FolderLock::~FolderLock() = default;

bool FolderLock::Acquire(int timeoutMs, bool& unsupported) {
    return handle_.Acquire(timeoutMs, unsupported);
}

bool IsSaveLeftover(const fs::path& package, const fs::path& file) {
    const std::string base = Utf8Of(package.filename());
    const std::string name = Utf8Of(file.filename());
    if (name.size() != base.size() + 7 || name.compare(0, base.size(), base) != 0 ||
        name[base.size()] != '.')
        return false;
    for (size_t i = base.size() + 1; i < name.size(); ++i) {
        if (!std::isalnum(static_cast<unsigned char>(name[i])))
            return false;
    }
    std::error_code code;
    if (!fs::is_regular_file(fs::symlink_status(file, code)))
        return false;
    const uintmax_t size = fs::file_size(file, code);
    if (code)
        return false;
    if (size == 0)
        return true;  // killed before anything was written
    char head[4] = {};
    std::ifstream in(file, std::ios::binary);
    if (!in.read(head, sizeof head) || std::string(head, 4) != std::string("PK\3\4", 4))
        return false;
    // A complete archive (a copy someone made, say) is not a leftover.
    int error = 0;
    zip_t* archive = zip_open(Utf8Of(file).c_str(), ZIP_RDONLY, &error);
    if (archive) {
        zip_discard(archive);
        return false;
    }
    return true;
}

std::vector<std::string> RemoveSaveLeftovers(const fs::path& package) {
    std::vector<std::string> removed;
    std::error_code code;
    for (fs::directory_iterator it(FolderOf(package), code), end; !code && it != end;
         it.increment(code)) {
        if (IsSaveLeftover(package, it->path())) {
            std::error_code gone;
            if (fs::remove(it->path(), gone))
                removed.push_back(Utf8Of(it->path()));
        }
    }
    return removed;
}

}  // namespace packwell
