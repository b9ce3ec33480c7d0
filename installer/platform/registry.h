// The current user's registry hive. Windows: the Reg* calls on HKEY_CURRENT_USER. POSIX: a
// folder tree under roaming application data, "registry/HKEY_CURRENT_USER/" + the key path with
// each '\' a folder; each value is a file named after the value ("@" for the unnamed default
// value) holding the bytes written. The POSIX stand-in keeps no value types.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/error.h"

namespace platform {

// Opaque handle of an open key; null means "no key".
using RegistryKey = struct RegistryKeyObject*;

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;

// Every call returns the Win32 result code (kErrorSuccess on success) and also leaves it in
// LastError(), so that callers logging "the last system error" log the real reason.

// RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_ALL_ACCESS). A missing key gives
// kErrorFileNotFound; the key is never created. *key is null on failure.
uint32_t RegistryOpenKey(const std::string& subKey, RegistryKey* key);

// RegCreateKeyExA(HKEY_CURRENT_USER, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
// KEY_ALL_ACCESS, nullptr, key, nullptr): creates every missing level.
uint32_t RegistryCreateKey(const std::string& subKey, RegistryKey* key);

// RegSetValueExA(key, name, 0, type, data, size). An empty name is the default value. POSIX:
// the file is replaced as a whole, so a reader never sees half a value.
uint32_t RegistrySetValue(RegistryKey key, const std::string& name, uint32_t type, const void* data,
                          uint32_t size);

// RegQueryValueExA into *data (the bytes as stored). *type (optional) is 0 on POSIX.
uint32_t RegistryQueryValue(RegistryKey key, const std::string& name, uint32_t* type,
                            std::vector<uint8_t>* data);

// RegDeleteTreeA(HKEY_CURRENT_USER, subKey): the key with everything below it.
uint32_t RegistryDeleteTree(const std::string& subKey);

// RegCloseKey. Closing null does nothing.
void RegistryCloseKey(RegistryKey key);

// Closes its key on every way out.
class UniqueRegistryKey {
public:
    UniqueRegistryKey() = default;
    ~UniqueRegistryKey() { RegistryCloseKey(key_); }
    UniqueRegistryKey(const UniqueRegistryKey&) = delete;
    UniqueRegistryKey& operator=(const UniqueRegistryKey&) = delete;

    RegistryKey Get() const { return key_; }
    RegistryKey* Out() {
        RegistryCloseKey(key_);
        key_ = nullptr;
        return &key_;
    }

private:
    RegistryKey key_ = nullptr;
};

}  // namespace platform
