// Where the install operations find their files: the configuration file, the installation
// folder named by it, the temporary archive and the installer's own file.
#include <limits>

#include "core/update.h"
#include "platform/file.h"
#include "support/file_helpers.h"
#include "support/log_file.h"

namespace Update {
namespace {

ModulePathSource g_modulePathSource = GetModulePath;

// The installation folder is the first comma-separated field; empty fields in front of it
// are skipped, nothing is trimmed.
std::string FirstField(const std::string& text) {
    size_t start = text.find_first_not_of(',');
    if (start == std::string::npos) {
        return std::string();
    }
    size_t end = text.find(',', start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

void SetModulePathSource(ModulePathSource source) {
    g_modulePathSource = source != nullptr ? source : GetModulePath;
}

std::string ModulePath() {
    return g_modulePathSource();
}

std::string GetConfigName() {
    std::string name = JoinPath(GetLocalAppDataFolder(), "tideboard3\\tideboard_update_config.txt");
    LogPrintf(&g_logFile, "%s name %s", "Update::GetConfigName", name.c_str());
    return name;
}

std::string GetDestinationRoot() {
    std::string text = ReadFileToString(GetConfigName());
    LogPrintf(&g_logFile, "%s config %s", "Update::GetDestinationRoot", text.c_str());
    std::string root = FirstField(text);
    LogPrintf(&g_logFile, "%s root %s", "Update::GetDestinationRoot", root.c_str());
    return root;
}

std::string GetDestinationVersionFileName() {
    std::string root = GetDestinationRoot();
    // Without a root there is no installation; joining would name a file relative to the
    // working folder or the file system's root instead.
    std::string name = root.empty() ? std::string() : JoinPath(root, kClientProgramName);
    LogPrintf(&g_logFile, "%s name %s", "Update::GetDestinationVersionFileName", name.c_str());
    return name;
}

int32_t GetModuleSize() {
    platform::FileStatus status;
    int32_t size = 0;
    // Sizes beyond 32 bits cannot be described by the trailer: report them as unreadable.
    if (platform::GetFileStatus(ModulePath(), &status) && status.size >= 0 &&
        status.size <= std::numeric_limits<int32_t>::max()) {
        size = static_cast<int32_t>(status.size);
    }
    LogPrintf(&g_logFile, "%s stat_value.st_size(%d)", "Update::GetModuleSize", size);
    return size;
}

std::string GetTempFileNameA() {
    // Without a temporary folder the join would name a file in the working folder.
    std::string folder = GetTempFolder();
    std::string name = folder.empty() ? std::string() : JoinPath(folder, kTempArchiveName);
    LogPrintf(&g_logFile, "%s name %s", "Update::GetTempFileNameA", name.c_str());
    return name;
}

}  // namespace Update
