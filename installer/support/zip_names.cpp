#include "support/zip_names.h"

#include <cctype>

#include "platform/directory.h"
#include "platform/path.h"
#include "platform/text.h"

namespace zip_internal {
namespace {

const char* NextChar(const char* c, const char* end) {
    return c + platform::AnsiCharSize(c, static_cast<size_t>(end - c));
}

bool IsSeparatorChar(const char* c, const char* end) {
    return platform::IsPathSeparator(*c) &&
           platform::AnsiCharSize(c, static_cast<size_t>(end - c)) == 1;
}

// Whether the last character is the native separator; the last byte alone may be a trail byte.
bool EndsWithNativeSeparator(const std::string& text) {
    const char* end = text.c_str() + text.size();
    bool last = false;
    for (const char* c = text.c_str(); c != end; c = NextChar(c, end)) {
        last = *c == platform::kPathSeparator && NextChar(c, end) == c + 1;
    }
    return last;
}

// A segment that would climb: "..", and on Windows also ". ." and "..." style names, which
// the Win32 path rules shorten to "..".
bool IsParentSegment(const char* begin, const char* end) {
    size_t dots = 0;
    for (const char* c = begin; c != end; ++c) {
        if (*c == '.') {
            ++dots;
        } else if (*c != ' ') {
            return false;
        }
    }
    return dots >= 2;
}

}  // namespace

std::string WithSeparator(const std::string& destDir) {
    return destDir.empty() || EndsWithNativeSeparator(destDir) ? destDir
                                                               : destDir + platform::kPathSeparator;
}

bool IsUnsafeName(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    if (platform::IsPathSeparator(name[0])) {
        return true;
    }
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) {
        return true;
    }
    const char* segment = name.c_str();
    const char* end = name.c_str() + name.size();
    for (const char* c = name.c_str();; c = NextChar(c, end)) {
        if (*c == '\0' || IsSeparatorChar(c, end)) {
            if (IsParentSegment(segment, c)) {
                return true;
            }
            if (*c == '\0') {
                return false;
            }
            segment = c + 1;
        }
    }
}

bool OutputPath(const std::string& destDir, const std::string& name, bool createFolders,
                std::string* path) {
    *path = destDir;
    const char* segment = name.c_str();
    const char* end = name.c_str() + name.size();
    for (const char* c = name.c_str();; c = NextChar(c, end)) {
        if (*c == '\0') {
            path->append(segment, c);
            return c != segment;
        }
        if (IsSeparatorChar(c, end)) {
            path->append(segment, c);
            *path += platform::kPathSeparator;
            if (createFolders) {
                platform::CreateDirectory(*path);
            }
            segment = c + 1;
        }
    }
}

}  // namespace zip_internal
