#include "platform/shortcuts.h"

#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace platform {
namespace {

// Releases a COM interface on every way out.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (ptr_ != nullptr) {
            ptr_->Release();
        }
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return ptr_; }
    T* get() const { return ptr_; }
    void** out() { return reinterpret_cast<void**>(&ptr_); }

private:
    T* ptr_ = nullptr;
};

bool CreateShellLink(ComPtr<IShellLinkA>* link) {
    return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkA, link->out()));
}

const wchar_t* WidePath(const std::u16string& path) {
    return reinterpret_cast<const wchar_t*>(path.c_str());
}

}  // namespace

void InitializeShellObjects() {
    CoInitialize(nullptr);
}
void UninitializeShellObjects() {
    CoUninitialize();
}

ShortcutFailure SaveShortcut(const std::u16string& linkPath, const std::string& targetPath) {
    ComPtr<IShellLinkA> link;
    if (!CreateShellLink(&link)) {
        return ShortcutFailure::kCreateInstance;
    }
    link->SetPath(targetPath.c_str());
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) {
        return ShortcutFailure::kQueryInterface;
    }
    if (FAILED(file->Save(WidePath(linkPath), FALSE))) {
        return ShortcutFailure::kSave;
    }
    return ShortcutFailure::kNone;
}

std::string ReadShortcutTarget(const std::u16string& linkPath) {
    ComPtr<IShellLinkA> link;
    if (!CreateShellLink(&link)) {
        return std::string();
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) {
        return std::string();
    }
    if (FAILED(file->Load(WidePath(linkPath), STGM_READ))) {
        return std::string();
    }
    char target[MAX_PATH] = {};
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, 0))) {
        return std::string();
    }
    return target;
}

bool RemoveFile(const std::string& path) {
    return DeleteFileA(path.c_str()) != FALSE;
}

std::string GetWorkingFolder() {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryA(sizeof(buffer), buffer);
    if (length == 0 || length >= sizeof(buffer)) {
        return std::string();
    }
    return buffer;
}

bool SetWorkingFolder(const std::string& path) {
    return SetCurrentDirectoryA(path.c_str()) != FALSE;
}

void FindFilesWithSuffix(const std::string& suffix, const FoundEntry& found) {
    const std::string pattern = "*" + suffix;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        found(data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileA(search, &data) != FALSE);
    FindClose(search);
}

}  // namespace platform
