#include "file_access.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace packwell::platform {

int FileWriteError(const std::filesystem::path& file) {
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ENOENT;
    return (attributes & FILE_ATTRIBUTE_READONLY) ? EACCES : 0;
}

// The read-only attribute of a folder means nothing to Windows Explorer and
// is not checked; a folder the user may not write fails at the first file.
int FolderWriteError(const std::filesystem::path& folder) {
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ENOENT;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ENOTDIR;
}

int CreateExclusive(const std::filesystem::path& file) {
    return ::_wopen(file.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}

std::ptrdiff_t WriteSome(int fd, const char* data, std::size_t size) {
    constexpr std::size_t kChunk = 1 << 30;
    return ::_write(fd, data, static_cast<unsigned>(size < kChunk ? size : kChunk));
}

int CloseFile(int fd) {
    return ::_close(fd);
}

// Saves into one folder take turns through a named mutex: named after the
// folder's full path, case-folded as Windows compares names. The system
// releases it when a program dies holding it (WAIT_ABANDONED), so a killed
// save never blocks the next one.
FolderLockHandle::FolderLockHandle(const std::filesystem::path& folder) {
    std::error_code code;
    std::wstring full = std::filesystem::absolute(folder, code).lexically_normal().wstring();
    if (code)
        full = folder.wstring();
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/'))
        full.pop_back();
    for (wchar_t& c : full) {
        if (c == L'/')
            c = L'\\';
    }
    if (!full.empty())
        ::CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a over the UTF-16 units
    for (const wchar_t c : full) {
        hash ^= static_cast<std::uint16_t>(c);
        hash *= 1099511628211ull;
    }
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\packwell-save-%016llx", static_cast<unsigned long long>(hash));
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
    handle_ = mutex ? reinterpret_cast<std::intptr_t>(mutex) : -1;
}

FolderLockHandle::~FolderLockHandle() {
    if (handle_ == -1)
        return;
    const HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
    if (held_)
        ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
}

bool FolderLockHandle::Acquire(int timeoutMs, bool& unsupported) {
    unsupported = false;
    if (handle_ == -1) {
        unsupported = true;
        return false;
    }
    const DWORD waited =
        ::WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), static_cast<DWORD>(timeoutMs));
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
        return held_ = true;
    if (waited != WAIT_TIMEOUT)
        unsupported = true;
    return false;
}

}  // namespace packwell::platform
