#include "platform_names.h"

#include "store_paths.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <climits>

namespace packwell {

namespace {

#ifdef _WIN32
bool IsWindowsName(const std::string& segment) {
    for (const unsigned char c : segment) {
        if (c < 0x20 || std::string("<>:\"|?*").find(static_cast<char>(c)) != std::string::npos)
            return false;
    }
    if (segment.back() == '.' || segment.back() == ' ')
        return false;
    std::string stem = segment.substr(0, segment.find('.'));
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* device : devices) {
        if (stem == device)
            return false;
    }
    return !(stem.size() == 4 &&
             (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
             stem[3] <= '9');
}
#endif

#ifdef _WIN32
// Windows counts both in UTF-16 units; paths are opened without the
// long-path prefix, so MAX_PATH (260, with the terminating NUL) holds.
constexpr long kNameMax = 255;
constexpr long kPathMax = 260;

long Length(const std::string& utf8) {
    long units = 0;
    for (const unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80)
            units += c >= 0xF0 ? 2 : 1;  // four-byte sequences need a surrogate pair
    }
    return units;
}

long Length(const std::filesystem::path& path) {
    return static_cast<long>(path.native().size());
}
#else
long Length(const std::string& text) {
    return static_cast<long>(text.size());
}
long Length(const std::filesystem::path& path) {
    return static_cast<long>(path.native().size());
}

long Limit(const std::filesystem::path& folder, int name, long fallback) {
    const long value = ::pathconf(folder.c_str(), name);
    return value > 0 ? value : fallback;
}
#endif

}  // namespace

bool IsSafeEntryName(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.find('\0') != std::string::npos)
        return false;
#ifdef _WIN32
    if (name.find(':') != std::string::npos)
        return false;
#endif
    for (const std::string& segment : Segments(name)) {
        if (segment == "..")
            return false;
    }
    return true;
}

bool IsStorablePath(const std::filesystem::path& folder, const std::string& relative) {
#ifdef _WIN32
    const long nameMax = kNameMax, pathMax = kPathMax;
#else
    const long nameMax = Limit(folder, _PC_NAME_MAX, 255);
    const long pathMax = Limit(folder, _PC_PATH_MAX, PATH_MAX);
#endif
    // The temporary file written beside it must fit as well.
    constexpr size_t kTemporaryRoom = 20;
    if (Length(folder) + 1 + Length(relative) + static_cast<long>(kTemporaryRoom) >= pathMax)
        return false;
    for (const std::string& segment : Segments(relative)) {
        if (Length(segment) > nameMax)
            return false;
#ifdef _WIN32
        if (!IsWindowsName(segment))
            return false;
#endif
    }
    return true;
}

}  // namespace packwell
