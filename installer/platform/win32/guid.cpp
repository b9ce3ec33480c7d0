#include <windows.h>

#include <objbase.h>

#include <cstring>

#include "platform/guid.h"

namespace platform {

Guid NewGuid() {
    GUID native = {};
    ::CoCreateGuid(&native);
    Guid guid;
    guid.data1 = native.Data1;
    guid.data2 = native.Data2;
    guid.data3 = native.Data3;
    std::memcpy(guid.data4, native.Data4, sizeof guid.data4);
    return guid;
}

std::u16string GuidToRegistryString(const Guid& guid) {
    GUID native = {};
    native.Data1 = guid.data1;
    native.Data2 = guid.data2;
    native.Data3 = guid.data3;
    std::memcpy(native.Data4, guid.data4, sizeof native.Data4);
    LPOLESTR text = nullptr;
    if (FAILED(::StringFromCLSID(native, &text)) || text == nullptr) {
        return std::u16string();
    }
    std::u16string result;
    for (const wchar_t* p = text; *p != 0; ++p) {
        result += static_cast<char16_t>(*p);
    }
    ::CoTaskMemFree(text);
    return result;
}

}  // namespace platform
