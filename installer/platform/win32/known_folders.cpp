#include <windows.h>

#include <shlobj.h>

#include "platform/win32/win32_undef.h"

#include "platform/known_folders.h"
#include "platform/path.h"

namespace platform {

std::string GetKnownFolder(KnownFolder folder) {
    int csidl = CSIDL_APPDATA;
    switch (folder) {
        case KnownFolder::kRoamingAppData:
            csidl = CSIDL_APPDATA;
            break;
        case KnownFolder::kLocalAppData:
            csidl = CSIDL_LOCAL_APPDATA;
            break;
        case KnownFolder::kDesktop:
            csidl = CSIDL_DESKTOPDIRECTORY;
            break;
    }
    char buffer[kMaxPath] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
        return std::string();
    }
    return buffer;
}

std::string GetTempPath(std::string* /*refused*/) {
    char buffer[kMaxPath] = {};
    DWORD n = ::GetTempPathA(kMaxPath, buffer);
    if (n == 0 || n >= kMaxPath) {
        return std::string();
    }
    return buffer;
}

std::string GetModuleFileName() {
    char buffer[kMaxPath] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, buffer, kMaxPath);
    if (n == 0 || n >= kMaxPath) {
        return std::string();
    }
    return buffer;
}

}  // namespace platform
