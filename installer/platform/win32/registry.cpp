#include "platform/registry.h"

#include <windows.h>

#include "platform/error.h"

struct platform::RegistryKeyObject {
    HKEY key;
};

namespace platform {
namespace {

uint32_t Finish(LONG code) {
    SetLastError(static_cast<uint32_t>(code));
    return static_cast<uint32_t>(code);
}

}  // namespace

uint32_t RegistryOpenKey(const std::string& subKey, RegistryKey* key) {
    *key = nullptr;
    HKEY opened = nullptr;
    LONG result = ::RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_ALL_ACCESS, &opened);
    if (result == ERROR_SUCCESS) {
        *key = new RegistryKeyObject{opened};
    }
    return Finish(result);
}

uint32_t RegistryCreateKey(const std::string& subKey, RegistryKey* key) {
    *key = nullptr;
    HKEY created = nullptr;
    LONG result =
        ::RegCreateKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &created, nullptr);
    if (result == ERROR_SUCCESS) {
        *key = new RegistryKeyObject{created};
    }
    return Finish(result);
}

uint32_t RegistrySetValue(RegistryKey key, const std::string& name, uint32_t type, const void* data,
                          uint32_t size) {
    if (key == nullptr) {
        return Finish(ERROR_INVALID_HANDLE);
    }
    return Finish(::RegSetValueExA(key->key, name.empty() ? nullptr : name.c_str(), 0, type,
                                   static_cast<const BYTE*>(data), size));
}

uint32_t RegistryQueryValue(RegistryKey key, const std::string& name, uint32_t* type,
                            std::vector<uint8_t>* data) {
    if (type != nullptr) {
        *type = 0;
    }
    if (key == nullptr || data == nullptr) {
        return Finish(ERROR_INVALID_HANDLE);
    }
    data->clear();
    const char* valueName = name.empty() ? nullptr : name.c_str();
    for (;;) {
        DWORD valueType = 0;
        DWORD size = static_cast<DWORD>(data->size());
        LONG result = ::RegQueryValueExA(key->key, valueName, nullptr, &valueType,
                                         data->empty() ? nullptr : data->data(), &size);
        if (result == ERROR_MORE_DATA || (result == ERROR_SUCCESS && data->empty() && size > 0)) {
            data->resize(size);
            continue;
        }
        if (result == ERROR_SUCCESS) {
            data->resize(size);
            if (type != nullptr) {
                *type = valueType;
            }
        }
        return Finish(result);
    }
}

uint32_t RegistryDeleteTree(const std::string& subKey) {
    return Finish(::RegDeleteTreeA(HKEY_CURRENT_USER, subKey.c_str()));
}

void RegistryCloseKey(RegistryKey key) {
    if (key != nullptr) {
        ::RegCloseKey(key->key);
        delete key;
    }
}

}  // namespace platform
