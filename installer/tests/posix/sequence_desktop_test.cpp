// Shortcuts, process lookup, restart and the event loop of the POSIX backend, each in a
// private profile folder.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/event_loop.h"
#include "platform/status_window.h"
#include "sequence/desktop_links.h"
#include "sequence/process_lookup.h"
#include "sequence/restart.h"
#include "support/file_helpers.h"
#include "support/log_file.h"

extern char** environ;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string LinkTarget(const std::string& path) {
    char buffer[4096];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof(buffer));
    return length < 0 ? std::string() : std::string(buffer, static_cast<size_t>(length));
}

bool Exists(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

// A private profile: desktop, app data and an installation folder under one scratch folder,
// and a log file of its own.
class PrivateProfile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/sequence-profile-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        base_ = pattern;
        desktop_ = base_ + "/Desktop";
        root_ = base_ + "/Apps/tideboard3";
        mkdir(desktop_.c_str(), 0755);
        mkdir((base_ + "/Apps").c_str(), 0755);
        mkdir(root_.c_str(), 0755);
        mkdir((base_ + "/data").c_str(), 0755);
        mkdir((base_ + "/data/tideboard3").c_str(), 0755);
        setenv("XDG_DESKTOP_DIR", desktop_.c_str(), 1);
        setenv("XDG_DATA_HOME", (base_ + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (base_ + "/config").c_str(), 1);
        WriteFile(base_ + "/data/tideboard3/tideboard_update_config.txt", root_ + ",1");
        logPath_ = base_ + "/run.log";
        ASSERT_NE(g_logFile, nullptr);
        g_logFile->Close();
        ASSERT_TRUE(g_logFile->OpenAt(logPath_));
        g_libraryLog = &g_logFile;
    }
    void TearDown() override {
        g_logFile->Close();
        const std::string command = "rm -rf '" + base_ + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    std::string Log() const { return ReadAll(logPath_); }
    std::string Desk(const std::string& name) const { return desktop_ + "/" + name; }
    void Link(const std::string& name, const std::string& target) const {
        ASSERT_EQ(symlink(target.c_str(), Desk(name).c_str()), 0) << name;
    }

    std::string base_, desktop_, root_, logPath_;
};

TEST_F(PrivateProfile, PrunesObsoleteAndStrayShortcutsAndWritesTheStandardOnes) {
    WriteFile(root_ + "/tideboard3.exe", "client");
    WriteFile(root_ + "/Mirrorpane.exe", "mirror");
    const std::string obsolete = Utf8ToAnsi(u8"Tideboard更新程序.lnk");
    const std::string obsoleteUpper = Utf8ToAnsi(u8"TIDEBOARD更新程序.LNK");
    Link(obsolete, "/anywhere/updater.exe");
    Link(obsoleteUpper, "/anywhere/updater.exe");
    // Stray: the suite's programs under another name, in any folder and letter case.
    Link("Old client.lnk", "/elsewhere/tideboard3.exe");
    Link("mirror copy.lnk", "/x/y/MIRRORPANE.EXE");
    // The standard name is kept and rewritten to the installation folder.
    Link("Tideboard.lnk", "/old/place/tideboard3.exe");
    // Left alone: other programs, folders named like shortcuts, unreadable shortcut files.
    Link("Notes.lnk", "/usr/bin/notes.exe");
    mkdir(Desk("folder.lnk").c_str(), 0755);
    WriteFile(Desk("plain.lnk"), "not a link");
    Link("readme.txt", "/elsewhere/tideboard3.exe");

    UpdateDesktopLinks();

    EXPECT_FALSE(Exists(Desk(obsolete)));
    EXPECT_FALSE(Exists(Desk(obsoleteUpper)));
    EXPECT_FALSE(Exists(Desk("Old client.lnk")));
    EXPECT_FALSE(Exists(Desk("mirror copy.lnk")));
    EXPECT_EQ(LinkTarget(Desk("Tideboard.lnk")), root_ + "/tideboard3.exe");
    EXPECT_EQ(LinkTarget(Desk(Utf8ToAnsi(u8"Tideboard行为管控.lnk"))), root_ + "/Mirrorpane.exe");
    EXPECT_EQ(LinkTarget(Desk("Notes.lnk")), "/usr/bin/notes.exe");
    EXPECT_TRUE(Exists(Desk("folder.lnk")));
    EXPECT_TRUE(Exists(Desk("plain.lnk")));
    EXPECT_TRUE(Exists(Desk("readme.txt")));
    EXPECT_EQ(Log().find("ShellLink::CreateLink"), std::string::npos) << Log();
}

TEST_F(PrivateProfile, MissingProgramGetsNoShortcutButItsStraysStillGo) {
    WriteFile(root_ + "/tideboard3.exe", "client");
    Link("behaviour.lnk", "/old/Mirrorpane.exe");

    UpdateDesktopLinks();

    EXPECT_FALSE(Exists(Desk("behaviour.lnk")));
    EXPECT_FALSE(Exists(Desk(Utf8ToAnsi(u8"Tideboard行为管控.lnk"))));
    EXPECT_EQ(LinkTarget(Desk("Tideboard.lnk")), root_ + "/tideboard3.exe");
    EXPECT_NE(
        Log().find("ShellLink::CreateLink PathFileExistsA FALSE(" + root_ + "/Mirrorpane.exe)"),
        std::string::npos)
        << Log();
}

TEST_F(PrivateProfile, ForEachDesktopLinkRestoresTheWorkingFolderBeforeCallbacks) {
    Link("a.lnk", "/x/a.exe");
    char before[4096];
    ASSERT_NE(getcwd(before, sizeof(before)), nullptr);
    int calls = 0;
    ForEachDesktopLink([&](const std::string& name) {
        char now[4096];
        ASSERT_NE(getcwd(now, sizeof(now)), nullptr);
        EXPECT_STREQ(now, before);
        EXPECT_EQ(name, "a.lnk");
        ++calls;
    });
    EXPECT_EQ(calls, 1);

    // No desktop folder: the callback is never called.
    setenv("XDG_DESKTOP_DIR", (base_ + "/missing").c_str(), 1);
    ForEachDesktopLink([&](const std::string&) { ++calls; });
    EXPECT_EQ(calls, 1);
}

TEST_F(PrivateProfile, ShortcutToAProgramOfAnEmptyRootIsLookedUpInTheWorkingFolder) {
    WriteFile(base_ + "/tideboard3.exe", "client");
    char before[4096];
    ASSERT_NE(getcwd(before, sizeof(before)), nullptr);
    ASSERT_EQ(chdir(base_.c_str()), 0);
    {
        ShellLink links("");
        EXPECT_TRUE(links.CreateLink("tideboard3.exe", "Tideboard.lnk"));
        EXPECT_FALSE(links.CreateLink("Mirrorpane.exe", "m.lnk"));
    }
    ASSERT_EQ(chdir(before), 0);
    EXPECT_EQ(LinkTarget(Desk("Tideboard.lnk")), "tideboard3.exe");
    EXPECT_NE(Log().find("PathFileExistsA FALSE(Mirrorpane.exe)"), std::string::npos);
}

// A copy of sleep started under the given file name, so that comm and argv[0] carry it.
pid_t StartNamed(const std::string& folder, const std::string& name) {
    const std::string path = folder + "/" + name;
    const std::string copy = "cp /bin/sleep '" + path + "'";
    if (std::system(copy.c_str()) != 0) {
        return -1;
    }
    std::string argument0 = path;
    char seconds[] = "30";
    char* argv[] = {argument0.data(), seconds, nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) {
        return -1;
    }
    return pid;
}

void Stop(pid_t pid) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

TEST_F(PrivateProfile, FindsProcessesByExactName) {
    const pid_t client = StartNamed(base_, "Tideboard3.exe");
    const pid_t longName = StartNamed(base_, "a-rather-long-program-name.exe");
    ASSERT_GT(client, 0);
    ASSERT_GT(longName, 0);
    // Give the children time to exec.
    for (int i = 0; i < 100 && GetProcessIdFromName("Tideboard3.exe") == 0; ++i) {
        usleep(10000);
    }
    EXPECT_EQ(GetProcessIdFromName("Tideboard3.exe"), static_cast<uint32_t>(client));
    EXPECT_EQ(GetProcessIdFromName("tideboard3.exe"), 0u);
    EXPECT_EQ(GetProcessIdFromName("Tideboard3"), 0u);
    // comm holds only 15 chars; the first argument carries the whole name.
    EXPECT_EQ(GetProcessIdFromName("a-rather-long-program-name.exe"),
              static_cast<uint32_t>(longName));
    EXPECT_EQ(GetProcessIdFromName(""), 0u);
    Stop(client);
    Stop(longName);
    EXPECT_EQ(GetProcessIdFromName("Tideboard3.exe"), 0u);
}

TEST_F(PrivateProfile, RestartAsksSystemctlFromPathAndLogsRefusals) {
    const std::string bin = base_ + "/bin";
    mkdir(bin.c_str(), 0755);
    const std::string record = base_ + "/systemctl.args";
    WriteFile(bin + "/systemctl",
              "#!/bin/sh\necho \"$@\" >> '" + record + "'\nexit ${FAKE_EXIT:-0}\n");
    chmod((bin + "/systemctl").c_str(), 0755);
    const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (bin + ":" + savedPath).c_str(), 1);

    RestartSystem();
    EXPECT_EQ(ReadAll(record), "reboot\n");
    EXPECT_EQ(Log().find("ExitWindowsEx"), std::string::npos);

    setenv("FAKE_EXIT", "1", 1);
    RestartSystem();
    unsetenv("FAKE_EXIT");
    EXPECT_NE(Log().find("0 = ExitWindowsEx(6, 0);"), std::string::npos);
    EXPECT_NE(Log().find("5 = GetLastError();"), std::string::npos);

    setenv("PATH", base_.c_str(), 1);
    RestartSystem();
    setenv("PATH", savedPath.c_str(), 1);
    EXPECT_NE(Log().find("2 = GetLastError();"), std::string::npos) << Log();
    EXPECT_EQ(ReadAll(record), "reboot\nreboot\n");
}

TEST(PosixEventLoop, TicksEveryHalfSecondUntilStoppedAndClosesAfterTheEvent) {
    testing::internal::CaptureStderr();
    int ticks = 0;
    platform::SetTickHandler([&] {
        ++ticks;
        platform::SetStatusText(u"请关闭Tideboard程序");
        if (ticks == 3) {
            platform::StopTick();
            platform::SetStatusText(u"开始更新");
            platform::RequestClose();
        }
    });
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(platform::CreateStatusWindow(1));
    EXPECT_EQ(platform::RunEventLoop(), 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // Texts after the window closed are dropped.
    platform::SetStatusText(u"after");
    const std::string output = testing::internal::GetCapturedStderr();

    EXPECT_EQ(ticks, 3);
    EXPECT_GE(elapsed, std::chrono::milliseconds(1500));
    EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
    EXPECT_EQ(output, "[安装更新]\n请关闭Tideboard程序\n开始更新\n");
}

}  // namespace
