// Starting the installed client again after the update.
#include "core/update.h"
#include "platform/directory.h"
#include "platform/shell_start.h"
#include "support/file_helpers.h"
#include "support/log_file.h"

namespace Update {

int StartProcess(const std::string& name) {
    std::string root = GetDestinationRoot();
    // An empty root would start a file of that name from the working folder.
    std::string path = root.empty() ? name : JoinPath(root, name);
    if (root.empty() || !platform::PathExists(path)) {
        LogPrintf(&g_logFile, "Update::StartProcess kNotFound: %s", path.c_str());
        return kNotFound;
    }
    uintptr_t instance = platform::ShellOpen(path);
    LogPrintf(&g_logFile, "Update::StartProcess ShellExecute(%s) instance:%u", path.c_str(),
              static_cast<unsigned>(instance));
    return instance <= platform::kShellStartErrorLimit ? kStartFailed : kStarted;
}

}  // namespace Update
