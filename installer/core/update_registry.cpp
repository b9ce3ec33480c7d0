// The client's registry entries: the uninstall entry's name and version, and its App Path.
#include <string>

#include "core/update.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "support/file_helpers.h"
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

}  // namespace

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
