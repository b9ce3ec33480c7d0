// Helpers of the POSIX backend for finding and checking programs.
#pragma once

#include <string>

namespace platform {

// True for a regular file the caller may execute.
bool IsExecutableFile(const std::string& path);

// The first executable `program` in the folders of PATH (an empty entry is the
// current folder), or an empty string.
std::string FindOnPath(const std::string& program);

}  // namespace platform
