#include <windows.h>

#include <shlobj.h>
#include <shlwapi.h>

#include "platform/win32/win32_undef.h"

#include "platform/directory.h"

namespace platform {

bool PathExists(const std::string& path) {
    return ::PathFileExistsA(path.c_str()) != FALSE;
}

bool CreateDirectory(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

int CreateDirectoryAll(const std::string& path) {
    int result = ::SHCreateDirectoryExA(nullptr, path.c_str(), nullptr);
    ::SetLastError(static_cast<DWORD>(result));
    return result;
}

bool GetDiskFreeSpace(const std::string& folder, uint64_t* freeBytes) {
    ULARGE_INTEGER freeToCaller{};
    if (!::GetDiskFreeSpaceExA(folder.c_str(), &freeToCaller, nullptr, nullptr)) {
        return false;
    }
    *freeBytes = freeToCaller.QuadPart;
    return true;
}

bool ListFolder(const std::string& folder, const FolderEntry& found) {
    WIN32_FIND_DATAA data;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        const bool isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                                 (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        found(name, isDirectory);
    } while (::FindNextFileA(search, &data));
    ::FindClose(search);
    return true;
}

}  // namespace platform
