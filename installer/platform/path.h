// Path manipulation in the manner of the SHLWAPI path functions. The Windows backend calls them
// on a 260-char buffer; the POSIX backend mirrors them with '/' as separator and accepts both
// '/' and '\' on input, so that Windows-style relative names work.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// The buffer size of every path (MAX_PATH).
constexpr size_t kMaxPath = 260;

// The separator that JoinPath and the path functions insert.
#if defined(_WIN32)
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// True for each character that separates path components on input.
bool IsPathSeparator(char c);

// PathStripPathA: the last component, or the whole text if it has no separator.
std::string PathStripPath(const std::string& path);

// PathRemoveFileSpecA: the path without its last component and without the separator in front
// of it (a root such as "C:\" or "/" keeps its separator).
std::string PathRemoveFileSpec(const std::string& path);

// PathAppendA: base, one separator where needed, then name. Empty when the result would not
// fit in kMaxPath.
std::string PathAppend(const std::string& base, const std::string& name);

// PathFindExtensionA: the extension of the last component with its dot (".log"), or "".
std::string PathFindExtension(const std::string& path);

// PathRemoveExtensionA.
std::string PathRemoveExtension(const std::string& path);

// PathAddExtensionA: adds extension when the path has none yet.
std::string PathAddExtension(const std::string& path, const std::string& extension);

}  // namespace platform
