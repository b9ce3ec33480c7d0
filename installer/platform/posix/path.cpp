// The SHLWAPI path functions with '/' as the separator; '\' is accepted as one too. Like them,
// they step over whole characters of the ANSI code page: in GBK a trail byte may be '\'.
#include "platform/path.h"

#include "platform/text.h"

namespace platform {

bool IsPathSeparator(char c) {
    return c == '/' || c == '\\';
}

namespace {

size_t NextChar(const std::string& path, size_t i) {
    return i + AnsiCharSize(path.data() + i, path.size() - i);
}

// True when a separator character starts at i.
bool SeparatorAt(const std::string& path, size_t i) {
    return IsPathSeparator(path[i]) && AnsiCharSize(path.data() + i, path.size() - i) == 1;
}

// PathFindFileNameA: the start of the last component; a trailing separator belongs to it.
size_t FileNameStart(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); i = NextChar(path, i)) {
        if (SeparatorAt(path, i) && i + 1 < path.size() && !SeparatorAt(path, i + 1)) {
            start = i + 1;
        }
    }
    return start;
}

// PathFindExtensionA: the position of the dot, or npos. A blank after the dot ends it.
size_t ExtensionStart(const std::string& path) {
    size_t dot = std::string::npos;
    for (size_t i = 0; i < path.size(); i = NextChar(path, i)) {
        if (SeparatorAt(path, i) || path[i] == ' ') {
            dot = std::string::npos;
        } else if (path[i] == '.') {
            dot = i;
        }
    }
    return dot;
}

// Whether the last character is a separator (the last byte may be a trail byte).
bool EndsWithSeparator(const std::string& path) {
    bool last = false;
    for (size_t i = 0; i < path.size(); i = NextChar(path, i)) {
        last = SeparatorAt(path, i);
    }
    return last;
}

}  // namespace

std::string PathStripPath(const std::string& path) {
    return path.substr(FileNameStart(path));
}

std::string PathRemoveFileSpec(const std::string& path) {
    size_t cut = 0;
    size_t i = 0;
    // Leading separators form the root and stay.
    while (i < path.size() && IsPathSeparator(path[i])) {
        ++i;
    }
    const size_t root = i;
    cut = root;
    for (; i < path.size(); i = NextChar(path, i)) {
        if (SeparatorAt(path, i)) {
            cut = i;
        }
    }
    if (cut < root) {
        cut = root;
    }
    return path.substr(0, cut);
}

std::string PathAppend(const std::string& base, const std::string& name) {
    size_t skip = 0;
    while (skip < name.size() && IsPathSeparator(name[skip])) {
        ++skip;
    }
    std::string result = base;
    if (!result.empty() && !EndsWithSeparator(result) && skip < name.size()) {
        result += kPathSeparator;
    }
    result.append(name, skip, std::string::npos);
    if (result.size() >= kMaxPath) {
        return std::string();
    }
    return result;
}

std::string PathFindExtension(const std::string& path) {
    size_t dot = ExtensionStart(path);
    return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string PathRemoveExtension(const std::string& path) {
    size_t dot = ExtensionStart(path);
    return dot == std::string::npos ? path : path.substr(0, dot);
}

std::string PathAddExtension(const std::string& path, const std::string& extension) {
    if (ExtensionStart(path) != std::string::npos) {
        return path;
    }
    std::string result = path + (extension.empty() ? std::string(".exe") : extension);
    return result.size() >= kMaxPath ? path : result;
}

}  // namespace platform
