#include "sequence/update_sequence.h"

#include "core/update.h"
#include "support/file_helpers.h"
#include "support/log_file.h"

namespace {

constexpr char kTag[] = "HandleTimer";

constexpr uint32_t kPauseAfterStart = 500;
constexpr uint32_t kPauseBeforeCopy = 1000;
constexpr uint32_t kPauseBeforeClose = 3000;

// Log texts are narrow ANSI; the sources hold them as UTF-8.
void LogStep(const char* utf8Text) {
    LogPrintf(&g_logFile, "%s %s", kTag, Utf8ToAnsi(utf8Text).c_str());
}

}  // namespace

void HandleTimer(StageHost& host, StageOperations& operations) {
    const uint32_t pid = operations.GetProcessIdFromName(Update::kClientProgramName);
    if (pid != 0) {
        LogPrintf(&g_logFile, "GetProcessIdFromName(\"%s\") == %u", Update::kClientProgramName,
                  pid);
        LogStep(u8"请关闭Tideboard程序");
        host.SetStatus(u"请关闭Tideboard程序");
        return;
    }

    LogStep(u8"开始更新");
    host.StopTick();
    host.SetStatus(u"开始更新");
    host.Sleep(kPauseAfterStart);

    const int version = operations.CheckVersion();
    LogPrintf(&g_logFile, "%s %s %d", kTag, Utf8ToAnsi(u8"检查版本").c_str(), version);
    bool startClient = false;
    int copied = Update::kCopyFailed;

    switch (version) {
        case Update::kVersionIncompatible:
            LogStep(u8"更新包不兼容当前软件");
            host.SetStatus(u"更新包不兼容当前软件，请下载最新的安装包");
            break;
        case Update::kVersionLatest:
            LogStep(u8"当前程序已是最新版本");
            host.SetStatus(u"当前程序已是最新版本");
            // An earlier run may have been killed between the main program and the registry, or
            // have moved files aside that nothing uses any more.
            operations.MendRegistry();
            operations.RemoveLeftovers();
            startClient = true;
            break;
        case Update::kVersionUpdate:
            LogStep(u8"正在复制文件");
            host.SetStatus(u"正在复制文件");
            host.Sleep(kPauseBeforeCopy);
            copied = operations.CopyFiles();
            if (copied == Update::kCopyFailed) {
                host.SetStatus(u"复制文件失败，尝试再次复制文件");
                host.FlushPendingMessages();
                copied = operations.CopyFiles();
            }
            if (copied == Update::kCopyFailed) {
                LogStep(u8"更新失败");
                host.SetStatus(u"更新失败");
            } else {
                LogStep(u8"更新完毕");
                host.SetStatus(u"更新完毕");
                startClient = true;
            }
            break;
        default:
            // Unknown versions: nothing is installed and the status keeps "开始更新".
            break;
    }

    operations.UpdateDesktopLinks();
    host.FlushPendingMessages();
    host.Sleep(kPauseBeforeClose);
    host.RequestClose();

    if (copied == Update::kCopiedRestart) {
        operations.RestartSystem();
    } else if (startClient) {
        operations.StartProcess(Update::kClientProgramName);
    }
}
