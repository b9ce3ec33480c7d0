#include "unpack_leftovers.h"

#include "store_paths.h"
#include "utf8_path.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace packwell {

namespace {

bool EndsInRandom(const std::string& name, size_t from) {
    for (size_t i = from; i < name.size(); ++i) {
        if (!std::isalnum(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

}  // namespace

#ifdef _WIN32
// Windows cannot delete a file another program has open, so the temporary file of
// a running unpack is never removed for a leftover: no turn is needed.
UnpackTurn::UnpackTurn(const fs::path&) {}
UnpackTurn::~UnpackTurn() = default;
bool UnpackTurn::TryAlone() {
    return true;
}
void UnpackTurn::Share() {}
#else
UnpackTurn::UnpackTurn(const fs::path& trackFolder) {
    fd_ = ::open(trackFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

UnpackTurn::~UnpackTurn() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool UnpackTurn::TryAlone() {
    return fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

void UnpackTurn::Share() {
    if (fd_ < 0)
        return;
    while (::flock(fd_, LOCK_SH) != 0 && errno == EINTR) {
    }
}
#endif

bool IsUnpackLeftover(const fs::path& file) {
    const std::string name = Utf8Of(file.filename());
    const std::string prefix = kTemporaryPrefix;
    const bool current = name.size() == prefix.size() + kTemporaryRandomLength &&
                         name.compare(0, prefix.size(), prefix) == 0 &&
                         EndsInRandom(name, prefix.size());
    const size_t older = name.size() - std::min(name.size(), prefix.size() + 6);
    const bool legacy = older > 0 && name.compare(older, prefix.size(), prefix) == 0 &&
                        EndsInRandom(name, older + prefix.size());
    std::error_code code;
    return (current || legacy) && fs::is_regular_file(fs::symlink_status(file, code));
}

std::vector<std::string> RemoveUnpackLeftovers(const fs::path& trackFolder) {
    std::vector<std::string> removed;
    std::error_code code;
    for (fs::recursive_directory_iterator it(trackFolder, code), end; !code && it != end;
         it.increment(code)) {
        if (IsUnpackLeftover(it->path())) {
            std::error_code gone;
            if (fs::remove(it->path(), gone))
                removed.push_back(Utf8Of(it->path()));
        }
    }
    return removed;
}

}  // namespace packwell
