// Which version is installed, which one is carried, and whether this package may update it.
#include "core/update.h"
#include "support/file_helpers.h"
#include "support/file_version_info.h"
#include "support/log_file.h"

namespace Update {

std::u16string GetDestinationVersion() {
    std::string fileName = GetDestinationVersionFileName();
    std::u16string productVersion;
    if (!fileName.empty()) {
        FileVersionInfo info;
        info.setFileName(AnsiToWide(fileName));
        // A half-read resource still counts: whatever ProductVersion holds is the answer.
        info.Read();
        productVersion = info.productVersion();
    }
    LogPrintf(&g_logFile, "%s file_name %s product_version %s", "Update::GetDestinationVersion",
              fileName.c_str(), WideToAnsi(productVersion).c_str());
    return productVersion;
}

void GetSourceVersion(std::u16string* productVersion, std::u16string* fixedFileVersion) {
    std::string moduleName = ModulePath();
    FileVersionInfo info;
    info.setFileName(AnsiToWide(moduleName));
    info.Read();
    *productVersion = info.productVersion();
    *fixedFileVersion = info.fixedFileVersion();
    LogPrintf(&g_logFile, "%s module_name %s product_version %s fixed_file_versionn %s",
              "Update::GetSourceVersion", moduleName.c_str(), WideToAnsi(*productVersion).c_str(),
              WideToAnsi(*fixedFileVersion).c_str());
}

int CheckVersion() {
    std::u16string carried;
    std::u16string lowest;
    GetSourceVersion(&carried, &lowest);
    if (carried.empty()) {
        return kVersionUnknown;
    }
    std::u16string installed = GetDestinationVersion();
    if (installed.empty()) {
        return kVersionUnknown;
    }
    int againstCarried = CompareVersion(installed, carried);
    int againstLowest = CompareVersion(installed, lowest);
    if (againstLowest < 0) {
        return kVersionIncompatible;
    }
    return againstCarried < 0 ? kVersionUpdate : kVersionLatest;
}

}  // namespace Update
