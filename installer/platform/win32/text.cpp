#include <windows.h>

#include <vector>

#include "platform/text.h"

namespace platform {
namespace {
UINT ToWindows(CodePage codePage) {
    return codePage == CodePage::kUtf8 ? CP_UTF8 : CP_ACP;
}
}  // namespace

std::u16string MultiByteToWide(CodePage codePage, const std::string& text) {
    if (text.empty()) {
        return std::u16string();
    }
    const int inLength = static_cast<int>(text.size());
    int n = ::MultiByteToWideChar(ToWindows(codePage), 0, text.data(), inLength, nullptr, 0);
    if (n <= 0) {
        return std::u16string();
    }
    std::vector<wchar_t> buffer(static_cast<size_t>(n));
    n = ::MultiByteToWideChar(ToWindows(codePage), 0, text.data(), inLength, buffer.data(), n);
    if (n <= 0) {
        return std::u16string();
    }
    return std::u16string(buffer.begin(), buffer.begin() + n);
}

std::string WideToMultiByte(CodePage codePage, const std::u16string& text) {
    if (text.empty()) {
        return std::string();
    }
    std::wstring wide(text.begin(), text.end());
    const int inLength = static_cast<int>(wide.size());
    int n = ::WideCharToMultiByte(ToWindows(codePage), 0, wide.data(), inLength, nullptr, 0,
                                  nullptr, nullptr);
    if (n <= 0) {
        return std::string();
    }
    std::string out(static_cast<size_t>(n), '\0');
    n = ::WideCharToMultiByte(ToWindows(codePage), 0, wide.data(), inLength, &out[0], n, nullptr,
                              nullptr);
    if (n <= 0) {
        return std::string();
    }
    out.resize(static_cast<size_t>(n));
    return out;
}

size_t AnsiCharSize(const char* text, size_t available) {
    if (available == 0) {
        return 0;
    }
    const BYTE first = static_cast<BYTE>(text[0]);
    if (first >= 0x80 && available >= 2 && text[1] != '\0' && IsDBCSLeadByteEx(CP_ACP, first)) {
        return 2;
    }
    return 1;
}

}  // namespace platform
