#include "support/file_helpers.h"

#include <cstdio>
#include <cstring>

#include "platform/directory.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/known_folders.h"
#include "platform/path.h"
#include "platform/text.h"
#include "support/log_file.h"

namespace {

// Text up to the first zero, as the Win32 calls read a zero-terminated source.
std::string UpToZero(const std::string& text) {
    return std::string(text.c_str());
}
std::u16string UpToZero(const std::u16string& text) {
    return std::u16string(text.c_str());
}

// Paths of kMaxPath chars or more do not fit the helpers' buffers: they are cut there, the
// way a copy into such a buffer would end.
std::string Bounded(const std::string& path) {
    return path.size() < platform::kMaxPath ? path : path.substr(0, platform::kMaxPath - 1);
}

// Steps over whole characters of the ANSI code page: in GBK the trail byte of 淺 is '\\', and
// turning it into a slash would name another file.
std::string ReplaceAll(std::string text, char from, char to) {
    for (size_t i = 0; i < text.size();) {
        const size_t n = platform::AnsiCharSize(text.data() + i, text.size() - i);
        if (n == 1 && text[i] == from) {
            text[i] = to;
        }
        i += n;
    }
    return text;
}

bool EndsWithChar(const std::string& text, char c) {
    bool last = false;
    for (size_t i = 0; i < text.size();) {
        const size_t n = platform::AnsiCharSize(text.data() + i, text.size() - i);
        last = n == 1 && text[i] == c;
        i += n;
    }
    return last;
}

}  // namespace

bool FileWriteToEnd(const std::string& path, const void* data, int32_t size) {
    if (data == nullptr || size <= 0) {
        if (g_libraryLog != nullptr) {
            LogPrintf(g_libraryLog, "%s buffer == NULL || size <= 0", "FileWriteToEnd");
        }
        return false;
    }
    std::string parent = GetParentPath(path);
    if (!parent.empty() && !platform::PathExists(parent)) {
        int result = platform::CreateDirectoryAll(parent);
        if (result != static_cast<int>(platform::kErrorSuccess) &&
            result != static_cast<int>(platform::kErrorAlreadyExists) && g_libraryLog != nullptr) {
            LogPrintf(g_libraryLog, "%s SHCreateDirectoryExA(%s) result(%d) error(%u)",
                      "FileWriteToEnd", parent.c_str(), result,
                      static_cast<unsigned>(platform::LastError()));
        }
    }
    platform::UniqueStream file(platform::OpenStream(path, "wb"));
    if (!file) {
        if (g_libraryLog != nullptr) {
            LogPrintf(g_libraryLog, "%s fopen_s(%s) error(%u)", "FileWriteToEnd", path.c_str(),
                      static_cast<unsigned>(platform::LastError()));
        }
        return false;
    }
    size_t written = std::fwrite(data, 1, static_cast<size_t>(size), file.Get());
    // A failing close (data not flushed to the disk) is a failed write too.
    bool closed = file.Close() == 0;
    return written == static_cast<size_t>(size) && closed;
}

bool ReadFileToBuffer(const std::string& path, std::vector<uint8_t>* buffer) {
    if (buffer == nullptr) {
        return false;
    }
    platform::FileStatus status;
    // Sizes beyond the signed 32-bit range would not fit the 32-bit status of the original
    // call; they are refused instead of being read with a wrapped size.
    if (!platform::GetFileStatus(path, &status) || status.isDirectory || status.size <= 0 ||
        status.size > INT32_MAX) {
        return false;
    }
    buffer->resize(static_cast<size_t>(status.size));
    platform::UniqueStream file(platform::OpenStream(path, "rb"));
    if (!file) {
        return false;
    }
    size_t read = std::fread(buffer->data(), 1, buffer->size(), file.Get());
    return read == buffer->size();
}

std::string ReadFileToString(const std::string& path) {
    std::vector<uint8_t> buffer;
    if (!ReadFileToBuffer(path, &buffer)) {
        return std::string();
    }
    buffer.push_back(0);
    return std::string(reinterpret_cast<const char*>(buffer.data()));
}

std::string GetFileNamePart(const std::string& path) {
    return platform::PathStripPath(Bounded(path));
}

std::string GetParentPath(const std::string& path) {
    return platform::PathRemoveFileSpec(Bounded(path));
}

std::string JoinPathForward(const std::string& base, const std::string& name) {
    std::string left = ReplaceAll(Bounded(base), '\\', '/');
    std::string right = ReplaceAll(Bounded(name), '\\', '/');
    const bool lastSlash = EndsWithChar(left, '/');
    const bool firstSlash = !right.empty() && right.front() == '/';
    if (lastSlash && firstSlash) {
        left.pop_back();
    } else if (!lastSlash && !firstSlash) {
        left += '/';
    }
    return Bounded(left + right);
}

std::string JoinPath(const std::string& base, const std::string& name) {
    const char s = platform::kPathSeparator;
    std::string left = ReplaceAll(ReplaceAll(Bounded(base), '/', s), '\\', s);
    std::string right = ReplaceAll(ReplaceAll(Bounded(name), '/', s), '\\', s);
    return platform::PathAppend(left, right);
}

std::string GetModulePath() {
    return platform::GetModuleFileName();
}

std::string GetAppDataFolder() {
    return platform::GetKnownFolder(platform::KnownFolder::kRoamingAppData);
}

std::string GetLocalAppDataFolder() {
    return platform::GetKnownFolder(platform::KnownFolder::kLocalAppData);
}

std::string GetTempFolder() {
    std::string refused;
    std::string folder = platform::GetTempPath(&refused);
    if (folder.empty() && !refused.empty() && g_libraryLog != nullptr) {
        LogPrintf(g_libraryLog, "%s %s, refused error(%u)", "GetTempFolder", refused.c_str(),
                  static_cast<unsigned>(platform::LastError()));
    }
    return folder;
}

std::u16string AnsiToWide(const std::string& text) {
    return platform::MultiByteToWide(platform::CodePage::kAnsi, UpToZero(text));
}

std::string WideToAnsi(const std::u16string& text) {
    return platform::WideToMultiByte(platform::CodePage::kAnsi, UpToZero(text));
}

std::string Utf8ToAnsi(const std::string& utf8) {
    std::u16string wide = platform::MultiByteToWide(platform::CodePage::kUtf8, UpToZero(utf8));
    if (wide.empty()) {
        return std::string();
    }
    return platform::WideToMultiByte(platform::CodePage::kAnsi, wide);
}
