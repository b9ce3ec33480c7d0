#include "platform/lock_file.h"

#include <share.h>
#include <windows.h>

namespace platform {

std::FILE* OpenLockFile(const std::string& path) {
    // As fopen_s opens a stream for writing: nobody else may open it. "N": a started client
    // does not inherit the handle and with it the lock.
    return _fsopen(path.c_str(), "wbN", _SH_DENYRW);
}

}  // namespace platform
