// The install must never leave a broken client: after a damaged entry, a full disk or a kill
// at any moment, the installed main program is byte for byte the old one or the new one, and a
// correct package run afterwards completes the update.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "child_install.h"
#include "core/update.h"
#include "file_in_use.h"
#include "install_failure_fixture.h"
#include "platform/registry.h"
#include "support/zip_extract.h"
#include "update_test_support.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using namespace update_test;

// The child half of ChildInstall; passes over when run on its own.
TEST(ChildInstall, Run) {
    const char* package = std::getenv(kChildPackage);
    const char* log = std::getenv(kChildLog);
    if (package == nullptr || package[0] == '\0' || log == nullptr) {
        GTEST_SKIP() << "runs only as the child of a kill test";
    }
    ModulePathForTest() = package;
    Update::SetModulePathSource(TestModulePath);
    ASSERT_TRUE(g_logFile->OpenAt(log));
    g_libraryLog = &g_logFile;
    Update::CopyFileA();
    g_libraryLog = nullptr;
    g_logFile->Close();
}

// Flips a byte in the middle of one entry's data in an archive made by MakeZip.
std::string DamageEntry(const Entries& suite, bool deflated, size_t damaged) {
    std::string zip = MakeZip(suite, deflated);
    size_t offset = 0;
    for (size_t i = 0;; ++i) {
        const std::string packed = deflated ? Deflate(suite[i].second) : suite[i].second;
        offset += 30 + suite[i].first.size();
        if (i == damaged) {
            zip[offset + packed.size() / 2] ^= 0x55;
            return zip;
        }
        offset += packed.size();
    }
}

TEST_F(InstallFailureTest, DamagedEntryAnywhereChangesNothing) {
    const Files old = {{"tideboard3.exe", RandomBytes(3000, 1)}, {"lib.dll", "old library"}};
    const Entries suite = {{"lib.dll", RandomBytes(9000, 3)},
                           {"tideboard3.exe", RandomBytes(70000, 2)},
                           {"web\\index.html", "<html>lesson</html>"}};
    for (bool deflated : {false, true}) {
        for (size_t damaged = 0; damaged < suite.size(); ++damaged) {
            const std::string what = std::string(deflated ? "deflated" : "stored") + " entry " +
                                     suite[damaged].first + " damaged";
            fs::remove_all(install_);
            InstallFiles(old);
            WriteAll(package_, MakePackage("program", DamageEntry(suite, deflated, damaged)));
            EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA()) << what;
            ExpectUntouched(old, what);
            EXPECT_TRUE(LogHas("(" + suite[damaged].first + ")")) << what << ": entry not named";
            ExpectRepair(suite, what);
        }
    }
}

// Names that Windows would write as another file, as a device or not at all refuse the whole
// package before anything is written; the names are those the earlier attacks used.
TEST_F(InstallFailureTest, NamesWindowsCannotHoldAsTheirOwnFileChangeNothing) {
    const Files old = {{"tideboard3.exe", "old client"}, {"lib.dll", "old library"}};
    const Entries good = {{"lib.dll", "new library"}, {"tideboard3.exe", "new client"}};
    const std::string tooLong(260 - install_.string().size(), 'n');
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"tideboard3.exe.", "client by a trailing dot"},
        {"lib.dll ", "library by a trailing space"},
        {"LIB.DLL", "library by its letter case"},
        {"CON", "console"},
        {"con.txt", "console with an extension"},
        {"LPT1.log", "printer"},
        {"web\\nul", "null device in a folder"},
        {"aux", "AUX"},
        {"COM1", "COM1"},
        {"tideboard3.exe.ferrylift-new\\x.js", "the scratch name as a folder"},
        {"a|b.js", "a character Windows forbids"},
        {tooLong, "a name over the room of the installation folder"}};
    for (const auto& [name, what] : bad) {
        fs::remove_all(install_);
        InstallFiles(old);
        Entries suite = good;
        suite.push_back({name, "bytes of another file"});
        WritePackage(suite);
        EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA()) << what;
        ExpectUntouched(old, what);
        EXPECT_TRUE(LogHas("ZipExtractEx unsafe entry name(" + name + ")")) << what << Log();
    }
    ExpectRepair(good, "after the refused names");
}

// A scratch name that is taken (a folder of that name, a file another process holds) must
// not stop the update for good: the new file is written under another free name.
TEST_F(InstallFailureTest, TakenScratchNamesGetAnotherFreeName) {
    const Files old = {{"tideboard3.exe", "old client"}, {"lib.dll", "old library"}};
    const Entries suite = {{"lib.dll", "new library"}, {"tideboard3.exe", "new client"}};
    InstallFiles(old);
    InstallFiles({{"tideboard3.exe.ferrylift-new/keep.txt", "not ours"}});
    WritePackage(suite);
    {
        FileInUse inUse(install_ / "lib.dll.ferrylift-new");
        ASSERT_TRUE(inUse.ok());
        EXPECT_EQ(Update::kCopied, Update::CopyFileA()) << Log();
    }
    EXPECT_EQ("new client", ReadAll(Client()));
    EXPECT_EQ("new library", ReadAll(install_ / "lib.dll"));
    EXPECT_TRUE(LogHas("CreateFile(" + Client().string() + ".ferrylift-new) failed(5)")) << Log();
    EXPECT_EQ("not ours", ReadAll(install_ / "tideboard3.exe.ferrylift-new" / "keep.txt"));
    for (const auto& [name, data] : InstalledFiles()) {
        EXPECT_TRUE(name.find('~') == std::string::npos) << name << " left";
    }
}

TEST_F(InstallFailureTest, LockedClientFailsWithoutLeavingAScratchFile) {
    const Entries suite = {{"lib.dll", "new library"}, {"tideboard3.exe", "new client"}};
    WritePackage(suite);
    fs::create_directories(install_);
    {
        FileInUse inUse(Client());
        ASSERT_TRUE(inUse.ok());
        const Files old = InstalledFiles();
        EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA());
        EXPECT_TRUE(
            LogHas("ZipExtractCurrentFile CreateFile(" + Client().string() + ") failed(32)"))
            << Log();
        EXPECT_TRUE(LogHas("Update::CopyFileA ZipExtractInclude(")) << Log();
        ExpectOldOrNew(old, suite, "client in use");
    }
    ExpectRepair(suite, "client free again");
}

TEST_F(InstallFailureTest, KillAtAnyPointLeavesEveryFileOldOrNew) {
    const Files old = {{"tideboard3.exe", RandomBytes(5000, 4)},
                       {"lib/core.dll", RandomBytes(1 << 20, 6)}};
    const Entries suite = {{"web\\index.html", "<p/>"},
                           {"lib\\core.dll", RandomBytes(8u << 20, 7)},
                           {"tideboard3.exe", RandomBytes(8u << 20, 5)},
                           {"web\\end.html", "<p>end</p>"}};
    WritePackage(suite);
    // A fraction of the library's or the main program's new bytes written when the kill comes;
    // 0 while the first file is written, 1 at the moment the main program is complete (its
    // data synced, the rename next).
    const struct {
        const char* file;
        double point;
    } kills[] = {{"web/index.html", 0.0}, {"lib/core.dll", 0.1},   {"lib/core.dll", 0.5},
                 {"lib/core.dll", 0.9},   {"tideboard3.exe", 0.1}, {"tideboard3.exe", 0.5},
                 {"tideboard3.exe", 0.9}, {"tideboard3.exe", 1.0}};
    for (const auto& kill : kills) {
        const std::string what =
            std::string("kill at ") + std::to_string(kill.point) + " of " + kill.file;
        fs::remove_all(install_);
        InstallFiles(old);
        const fs::path file = install_ / kill.file;
        const uintmax_t size = SuiteFiles(suite).at(kill.file).size();
        const uintmax_t target = static_cast<uintmax_t>(kill.point * static_cast<double>(size));
        ChildInstall child(package_, base_ / "child.log");
        ASSERT_TRUE(child.ok());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        uintmax_t seen = 0;
        while (child.Running() && std::chrono::steady_clock::now() < deadline) {
            seen = BytesWritten(file.parent_path(), file.filename().string());
            if (kill.point == 0.0 ? seen > 0 : seen >= target) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const bool killed = child.Kill();
        if (kill.point > 0.0 && kill.point < 0.95) {
            EXPECT_TRUE(killed) << what << ": the install ended before the kill";
        }
        ExpectOldOrNew(old, suite, what + " (" + std::to_string(seen) + " bytes seen)", killed);
    }
    ExpectRepair(suite, "after the kills");
}

// Run by installer.update_package_file_size_limit under a file-size limit (ulimit -f) of the
// given number of bytes: a disk that takes no more than that per file.
TEST_F(InstallFailureTest, FileSizeLimitLeavesOldOrNewFiles) {
    const char* limitText = std::getenv("FERRYLIFT_TEST_FILE_SIZE_LIMIT");
    if (limitText == nullptr) {
        GTEST_SKIP() << "needs a file-size limit";
    }
    const size_t limit = std::strtoul(limitText, nullptr, 10);
    const Files old = {{"tideboard3.exe", RandomBytes(4000, 6)}, {"lib.dll", "old library"}};
    InstallFiles(old);
    // Too large in the first pass, and in the second.
    for (const char* name : {"lib.dll", "tideboard3.exe"}) {
        Entries suite = {{"lib.dll", "new library"}, {"tideboard3.exe", "new client"}};
        (name == suite[0].first ? suite[0] : suite[1]).second = SparseBytes(limit * 2);
        WritePackage(suite, true);
        EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA()) << name;
        EXPECT_TRUE(LogHas("ZipExtractCurrentFile WriteFile != ")) << Log();
        ExpectOldOrNew(old, suite, std::string("file-size limit on ") + name);
    }
    EXPECT_TRUE(LogHas(".ferrylift-new) error(")) << "the line names no file\n" << Log();
    ExpectRepair({{"lib.dll", "new library"}, {"tideboard3.exe", SparseBytes(limit / 2)}},
                 "file-size limit");
}

}  // namespace
