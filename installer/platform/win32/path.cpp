// The SHLWAPI path functions, each on a kMaxPath buffer.
#include <windows.h>

#include <shlwapi.h>

#include <cstring>

#include "platform/win32/win32_undef.h"

#include "platform/path.h"

namespace platform {
namespace {

struct PathBuffer {
    explicit PathBuffer(const std::string& text) {
        size_t n = text.size() < kMaxPath ? text.size() : kMaxPath - 1;
        std::memcpy(chars, text.data(), n);
    }
    char chars[kMaxPath] = {};
};

}  // namespace

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string PathStripPath(const std::string& path) {
    PathBuffer buffer(path);
    ::PathStripPathA(buffer.chars);
    return buffer.chars;
}

std::string PathRemoveFileSpec(const std::string& path) {
    PathBuffer buffer(path);
    ::PathRemoveFileSpecA(buffer.chars);
    return buffer.chars;
}

std::string PathAppend(const std::string& base, const std::string& name) {
    PathBuffer buffer(base);
    PathBuffer more(name);
    if (!::PathAppendA(buffer.chars, more.chars)) {
        return std::string();
    }
    return buffer.chars;
}

std::string PathFindExtension(const std::string& path) {
    PathBuffer buffer(path);
    return ::PathFindExtensionA(buffer.chars);
}

std::string PathRemoveExtension(const std::string& path) {
    PathBuffer buffer(path);
    ::PathRemoveExtensionA(buffer.chars);
    return buffer.chars;
}

std::string PathAddExtension(const std::string& path, const std::string& extension) {
    PathBuffer buffer(path);
    ::PathAddExtensionA(buffer.chars, extension.empty() ? nullptr : extension.c_str());
    return buffer.chars;
}

}  // namespace platform
