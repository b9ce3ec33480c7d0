#include <windows.h>

#include "platform/win32/win32_undef.h"

#include "platform/known_folders.h"
#include "platform/temp_file.h"

namespace platform {

FileHandle CreateTempFile(const std::string& name) {
    const std::string folder = GetTempPath();
    if (folder.empty()) {
        return nullptr;
    }
    return CreateFile(folder + name, kGenericRead | kGenericWrite, kShareRead, kCreateAlways,
                      kFileAttributeNormal);
}

bool RemoveTempFile(const std::string& name) {
    const std::string folder = GetTempPath();
    return !folder.empty() && ::DeleteFileA((folder + name).c_str()) != FALSE;
}

}  // namespace platform
