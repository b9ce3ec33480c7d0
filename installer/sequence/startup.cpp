#include "sequence/startup.h"

#include <cstdio>

#include "core/leftovers.h"
#include "core/update.h"
#include "platform/directory.h"
#include "platform/event_loop.h"
#include "platform/lock_file.h"
#include "platform/status_window.h"
#include "platform/system.h"
#include "sequence/desktop_links.h"
#include "sequence/process_lookup.h"
#include "sequence/restart.h"
#include "sequence/update_sequence.h"
#include "support/file_helpers.h"
#include "support/log_file.h"

namespace {

std::FILE* g_lockFile = nullptr;

void CloseLockFile() {
    if (g_lockFile != nullptr) {
        std::fclose(g_lockFile);
        g_lockFile = nullptr;
    }
}

class WindowHost : public StageHost {
public:
    void SetStatus(const std::u16string& text) override { platform::SetStatusText(text); }
    void StopTick() override { platform::StopTick(); }
    void FlushPendingMessages() override { platform::FlushPendingMessages(); }
    void Sleep(uint32_t milliseconds) override { platform::Sleep(milliseconds); }
    void RequestClose() override { platform::RequestClose(); }
};

class InstallOperations : public StageOperations {
public:
    uint32_t GetProcessIdFromName(const std::string& name) override {
        return ::GetProcessIdFromName(name);
    }
    int CheckVersion() override { return Update::CheckVersion(); }
    void MendRegistry() override { Update::MendRegistry(); }
    void RemoveLeftovers() override { Update::RemoveLeftovers(); }
    int CopyFiles() override { return Update::CopyFileA(); }
    void UpdateDesktopLinks() override { ::UpdateDesktopLinks(); }
    int StartProcess(const std::string& name) override { return Update::StartProcess(name); }
    void RestartSystem() override { ::RestartSystem(); }
};

}  // namespace

bool CanRun() {
    const std::string appData = GetAppDataFolder();
    // Without the profile folder the lock would land in the file system's root.
    if (appData.empty()) {
        return false;
    }
    const std::string folder = JoinPathForward(appData, "TDBFerrylift");
    if (!platform::PathExists(folder)) {
        platform::CreateDirectoryAll(folder);
    }
    const std::string path = JoinPath(folder, "TDBFerrylift.mutex");
    g_lockFile = platform::OpenLockFile(path);
    return g_lockFile != nullptr;
}

int RunFerrylift(int showCommand) {
    if (g_logFile != nullptr) {
        g_logFile->Open();
    }
    LogPrintf(&g_logFile, "%s", Utf8ToAnsi(u8"版本6").c_str());
    g_libraryLog = &g_logFile;

    if (!CanRun()) {
        LogPrintf(&g_logFile, "%s canrun false return", "WinMain");
        return 0;
    }

    static WindowHost host;
    static InstallOperations operations;
    platform::SetTickHandler([] { HandleTimer(host, operations); });
    if (!platform::CreateStatusWindow(showCommand)) {
        CloseLockFile();
        return 0;
    }
    platform::RunEventLoop();
    CloseLockFile();
    return 0;
}
