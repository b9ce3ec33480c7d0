// The single-instance lock file.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// fopen_s(path, "wb"): the file opened for writing with no sharing, so that a second process
// cannot open it while this one holds it. POSIX: the same open plus an exclusive non-blocking
// flock, not inherited by started programs. Null (LastError() set) when another process holds
// it or the file cannot be opened. Held until fclose.
std::FILE* OpenLockFile(const std::string& path);

}  // namespace platform
