// A helper of the Windows end-to-end tests, run under Wine beside the installer:
//   probe wait <stopfile>            stands in for the client (copied as "tideboard3.exe")
//   probe hold <file> <stopfile>     keeps a file open so that writers get a sharing violation
//   probe window                     prints the status window's title, size and top-most flag
//   probe close                      posts WM_CLOSE to the status window, as another program may
//   probe link <shortcut> <target>   writes a shell shortcut to target
//   probe target <shortcut>          prints the shortcut's target path (UTF-8)
// Waiting ends when the stop file exists, or after two minutes.
#include <windows.h>
// After windows.h, which it needs.
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

namespace {

void WaitFor(const wchar_t* stopFile) {
    for (int i = 0; i < 1200; ++i) {
        if (GetFileAttributesW(stopFile) != INVALID_FILE_ATTRIBUTES) {
            return;
        }
        Sleep(100);
    }
}

std::string Utf8(const wchar_t* text) {
    char buffer[512] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
    return buffer;
}

int PrintWindow() {
    HWND window = FindWindowA("FERRYLIFT", nullptr);
    if (window == nullptr) {
        std::printf("no window\n");
        return 1;
    }
    wchar_t title[128] = {};
    GetWindowTextW(window, title, 128);
    RECT rect;
    GetWindowRect(window, &rect);
    const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    std::printf("title=%s size=%ldx%ld topmost=%d sysmenu=%d\n", Utf8(title).c_str(),
                rect.right - rect.left, rect.bottom - rect.top, (exStyle & WS_EX_TOPMOST) ? 1 : 0,
                (style & WS_SYSMENU) ? 1 : 0);
    return 0;
}

// Shortcuts through the same shell link object the installer uses, with wide paths so that
// the Chinese names pass whatever the code page.
int WriteLink(const wchar_t* linkPath, const wchar_t* target) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        std::printf("no shell link object\n");
        return 1;
    }
    IPersistFile* file = nullptr;
    HRESULT saved = E_FAIL;
    if (SUCCEEDED(link->SetPath(target)) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        saved = file->Save(linkPath, TRUE);
        file->Release();
    }
    link->Release();
    return SUCCEEDED(saved) ? 0 : 1;
}

int PrintLinkTarget(const wchar_t* linkPath) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        return 1;
    }
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = {};
    bool read = false;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        read = SUCCEEDED(file->Load(linkPath, STGM_READ)) &&
               SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0));
        file->Release();
    }
    link->Release();
    std::printf("%s\n", Utf8(target).c_str());
    return read ? 0 : 1;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2) {
        return 2;
    }
    const std::wstring mode = argv[1];
    if (mode == L"wait" && argc == 3) {
        // Scenarios wait for this line before they start the installer.
        std::printf("waiting\n");
        std::fflush(stdout);
        WaitFor(argv[2]);
        return 0;
    }
    if (mode == L"hold" && argc == 4) {
        HANDLE file = CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            std::printf("cannot hold (%lu)\n", GetLastError());
            return 1;
        }
        std::printf("holding\n");
        std::fflush(stdout);
        WaitFor(argv[3]);
        CloseHandle(file);
        return 0;
    }
    if (mode == L"window") {
        return PrintWindow();
    }
    if (mode == L"close") {
        HWND window = FindWindowA("FERRYLIFT", nullptr);
        if (window == nullptr || !PostMessageA(window, WM_CLOSE, 0, 0)) {
            std::printf("no window\n");
            return 1;
        }
        std::printf("posted\n");
        return 0;
    }
    if ((mode == L"link" && argc == 4) || (mode == L"target" && argc == 3)) {
        CoInitialize(nullptr);
        const int result = mode == L"link" ? WriteLink(argv[2], argv[3]) : PrintLinkTarget(argv[2]);
        CoUninitialize();
        return result;
    }
    return 2;
}
