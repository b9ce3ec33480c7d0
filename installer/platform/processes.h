// The process list.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Called once per name of a running process: the executable's file name without folder and
// the process id. Returning false ends the walk. A POSIX process may be reported twice (its
// comm name, then the last component of its first argument when that differs).
using ProcessVisitor = std::function<bool(const std::u16string& exeName, uint32_t pid)>;

// CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS) walked with Process32FirstW/Process32NextW;
// POSIX: /proc in directory order. False when the list cannot be read.
bool ForEachProcess(const ProcessVisitor& visit);

}  // namespace platform
