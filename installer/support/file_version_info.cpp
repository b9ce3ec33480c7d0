#include "support/file_version_info.h"

#include <cstdio>
#include <cstring>

#include "platform/version_resource.h"

namespace {

std::u16string Ascii(const char* text) {
    std::u16string out;
    for (; *text; ++text)
        out += static_cast<char16_t>(static_cast<unsigned char>(*text));
    return out;
}

std::u16string FormatVersion(uint32_t ms, uint32_t ls) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%u,%u,%u,%u", ms >> 16, ms & 0xffff, ls >> 16,
                  ls & 0xffff);
    return Ascii(buffer);
}

// _wtoi: optional blanks and sign, then leading digits; saturates instead of overflowing.
int32_t ToInt(const std::u16string& token) {
    size_t i = 0;
    while (i < token.size() && (token[i] == u' ' || token[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < token.size() && (token[i] == u'+' || token[i] == u'-'))
        negative = token[i++] == u'-';
    int64_t value = 0;
    for (; i < token.size() && token[i] >= u'0' && token[i] <= u'9'; ++i) {
        value = value * 10 + (token[i] - u'0');
        if (value > INT32_MAX)
            value = int64_t{INT32_MAX} + 1;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace

bool FileVersionInfo::Load() {
    const uint32_t size = platform::GetFileVersionInfoSize(fileName_);
    if (size == 0)
        return false;
    if (data_.size() < size)
        data_.resize(size);
    if (!platform::GetFileVersionInfo(fileName_, size, data_.data()))
        return false;
    const void* value = nullptr;
    uint32_t length = 0;
    if (!platform::VerQueryValue(data_.data(), u"\\VarFileInfo\\Translation", &value, &length))
        return false;
    // A table too short for one pair would be read past its end.
    if (length < 4)
        return false;
    translation_ = static_cast<const uint16_t*>(value);
    return true;
}

bool FileVersionInfo::QueryStringValue(const std::u16string& key, std::u16string* out) const {
    if (translation_ == nullptr || out == nullptr)
        return false;
    uint16_t pair[2];
    std::memcpy(pair, translation_, sizeof pair);
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "\\StringFileInfo\\%04x%04x\\", pair[0], pair[1]);
    std::u16string path = Ascii(prefix) + key;
    if (path.size() >= 1024)
        return false;
    const void* value = nullptr;
    uint32_t length = 0;
    if (!platform::VerQueryValue(data_.data(), path, &value, &length))
        return false;
    // The text runs to its terminator, as the Windows call leaves it. A value stored as binary
    // data carries none, so the copy also ends at the end of the buffer it lies in.
    const auto* text = static_cast<const uint8_t*>(value);
    const auto at = reinterpret_cast<uintptr_t>(text);
    const auto begin = reinterpret_cast<uintptr_t>(data_.data());
    const bool inside = at >= begin && at < begin + data_.size();
    const size_t limit = inside ? (begin + data_.size() - at) / 2 : SIZE_MAX;
    std::u16string result;
    for (size_t i = 0; i < limit; ++i) {
        char16_t c;
        std::memcpy(&c, text + 2 * i, sizeof c);
        if (c == 0)
            break;
        result += c;
    }
    *out = result;
    return true;
}

bool FileVersionInfo::QueryFixedInfo(const FixedFileInfo** out) const {
    const void* value = nullptr;
    uint32_t length = 0;
    if (data_.empty() || !platform::VerQueryValue(data_.data(), u"\\", &value, &length))
        return false;
    if (length < sizeof(FixedFileInfo))
        return false;
    *out = static_cast<const FixedFileInfo*>(value);
    return true;
}

bool FileVersionInfo::FormatFixedFileVersion(const FixedFileInfo& fixed) {
    fixedFileVersion_ = FormatVersion(fixed.fileVersionMS, fixed.fileVersionLS);
    return true;
}

bool FileVersionInfo::FormatFixedProductVersion(const FixedFileInfo& fixed) {
    fixedProductVersion_ = FormatVersion(fixed.productVersionMS, fixed.productVersionLS);
    return true;
}

bool FileVersionInfo::Read() {
    if (!Load())
        return false;
    std::u16string* fields[] = {&FileDescription, &FileVersion,    &InternalName,
                                &CompanyName,     &LegalCopyright, &OriginalFilename,
                                &ProductName,     &ProductVersion};
    const char* keys[] = {"FileDescription", "FileVersion",      "InternalName", "CompanyName",
                          "LegalCopyright",  "OriginalFilename", "ProductName",  "ProductVersion"};
    for (size_t i = 0; i < 8; ++i) {
        if (!QueryStringValue(Ascii(keys[i]), fields[i]))
            return false;
    }
    const FixedFileInfo* fixedPtr = nullptr;
    if (!QueryFixedInfo(&fixedPtr))
        return false;
    FixedFileInfo fixed;
    std::memcpy(&fixed, fixedPtr, sizeof fixed);
    FormatFixedFileVersion(fixed);
    FormatFixedProductVersion(fixed);
    return true;
}

void ParseVersion(const std::u16string& text, int32_t values[4]) {
    // Texts are cut at 259 characters, like the fixed buffer they were made for.
    std::u16string limited = text.substr(0, text.find(u'\0'));
    limited = limited.substr(0, 259);
    int index = 0;
    size_t pos = 0;
    while (index < 4 && pos < limited.size()) {
        size_t stop = limited.find_first_of(u",.", pos);
        if (stop == std::u16string::npos)
            stop = limited.size();
        if (stop > pos)
            values[index++] = ToInt(limited.substr(pos, stop - pos));
        pos = stop + 1;
    }
}

int CompareVersion(const std::u16string& a, const std::u16string& b) {
    int32_t va[4] = {0, 0, 0, 0};
    int32_t vb[4] = {0, 0, 0, 0};
    ParseVersion(a, va);
    ParseVersion(b, vb);
    for (int i = 0; i < 4; ++i) {
        if (va[i] != vb[i])
            return va[i] < vb[i] ? -1 : 1;
    }
    return 0;
}
