// The client's registry entries: the uninstall entry's name and version, and its App Path.
#include <string>
#include <vector>

#include "core/update.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "support/file_helpers.h"
#include "support/file_version_info.h"
#include "support/log_file.h"

namespace {

constexpr char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tideboard3";
constexpr char kAppPathKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tideboard3.exe";

// String values are stored with their terminating zero counted in the length.
void SetString(platform::RegistryKey key, const char* name, uint32_t type,
               const std::string& value) {
    platform::RegistrySetValue(key, name, type, value.c_str(),
                               static_cast<uint32_t>(value.size() + 1));
}

// The value as stored, or "" when the key or the value is missing.
std::string StoredValue(const char* keyPath, const char* name) {
    platform::UniqueRegistryKey key;
    std::vector<uint8_t> data;
    if (platform::RegistryOpenKey(keyPath, key.Out()) != platform::kErrorSuccess ||
        platform::RegistryQueryValue(key.Get(), name, nullptr, &data) != platform::kErrorSuccess) {
        return std::string();
    }
    return std::string(data.begin(), data.end());
}

bool UninstallKeyExists() {
    platform::UniqueRegistryKey key;
    return platform::RegistryOpenKey(kUninstallKey, key.Out()) == platform::kErrorSuccess;
}

// Texts as RegEdit and SetRegAppPath store them, terminating zero included.
std::string Stored(const std::string& text) {
    return std::string(text.c_str(), text.size() + 1);
}

}  // namespace

void Update::MendRegistry() {
    std::u16string carried;
    std::u16string lowest;
    GetSourceVersion(&carried, &lowest);
    const std::u16string installed = GetDestinationVersion();
    if (carried.empty() || installed.empty() || CompareVersion(installed, carried) != 0) {
        return;
    }
    const std::string version = WideToAnsi(carried);
    const std::string appPath = StoredValue(kAppPathKey, "");
    const std::string displayVersion = StoredValue(kUninstallKey, "DisplayVersion");
    bool differs = appPath != Stored(GetDestinationVersionFileName());
    if (UninstallKeyExists()) {
        differs = differs || displayVersion != Stored(version) ||
                  StoredValue(kUninstallKey, "DisplayName") != Stored("tideboard3 " + version);
    }
    if (!differs) {
        return;
    }
    LogPrintf(&g_logFile,
              "%s DisplayVersion(%s) App Paths(%s) differ from version %s, written again",
              "Update::MendRegistry", displayVersion.c_str(), appPath.c_str(), version.c_str());
    RegEdit();
    SetRegAppPath();
}

void RegEdit() {
    std::u16string productVersion;
    std::u16string fixedFileVersion;
    Update::GetSourceVersion(&productVersion, &fixedFileVersion);
    std::string version = WideToAnsi(productVersion);

    // Only an existing entry is refreshed: the client's own setup owns it.
    platform::UniqueRegistryKey key;
    uint32_t result = platform::RegistryOpenKey(kUninstallKey, key.Out());
    if (result != platform::kErrorSuccess) {
        LogPrintf(&g_logFile, "%s  RegOpenKeyEx Error: %d", "RegEdit", static_cast<int>(result));
        return;
    }
    SetString(key.Get(), "DisplayName", platform::kRegExpandSz, "tideboard3 " + version);
    SetString(key.Get(), "DisplayVersion", platform::kRegExpandSz, version);
}

void SetRegAppPath() {
    platform::UniqueRegistryKey key;
    uint32_t result = platform::RegistryCreateKey(kAppPathKey, key.Out());
    if (result != platform::kErrorSuccess) {
        LogPrintf(&g_logFile, "%s RegCreateKeyEx Error: %d", "SetRegAppPath",
                  static_cast<int>(result));
        return;
    }
    SetString(key.Get(), "", platform::kRegSz, Update::GetDestinationVersionFileName());
}
