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

#include "core/update.h"
#include "file_in_use.h"
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
using Entries = std::vector<std::pair<std::string, std::string>>;

const char kAppPathKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tideboard3.exe";
const char kChildPackage[] = "FERRYLIFT_TEST_CHILD_PACKAGE";
const char kChildLog[] = "FERRYLIFT_TEST_CHILD_LOG";

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i += 4) {
        uint32_t value = generator();
        for (size_t k = 0; k < 4 && i + k < size; ++k) {
            bytes[i + k] = static_cast<char>(value >> (8 * k));
        }
    }
    return bytes;
}

// Deflates to almost nothing: a file far larger than its archive.
std::string SparseBytes(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i += 4096) {
        bytes[i] = static_cast<char>(i / 4096);
    }
    return bytes;
}

void SetVariable(const char* name, const std::string& value) {
#if defined(_WIN32)
    SetEnvironmentVariableA(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

// Runs Update::CopyFileA in a child process (this program, filtered to ChildInstall.Run) with
// this process's profile, so that it can be killed for real at any moment.
class ChildInstall {
public:
    ChildInstall(const fs::path& package, const fs::path& log) {
        SetVariable(kChildPackage, package.string());
        SetVariable(kChildLog, log.string());
#if defined(_WIN32)
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string command = std::string("\"") + self + "\" --gtest_filter=ChildInstall.Run";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        ok_ = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process_) != FALSE;
        if (ok_) {
            CloseHandle(process_.hThread);
        }
#else
        char self[] = "/proc/self/exe";
        char filter[] = "--gtest_filter=ChildInstall.Run";
        char* argv[] = {self, filter, nullptr};
        // Its test report would only interleave with ours.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        ok_ = posix_spawn(&pid_, self, &actions, nullptr, argv, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
#endif
        SetVariable(kChildPackage, "");
    }
    ~ChildInstall() {
        Kill();
    }
    ChildInstall(const ChildInstall&) = delete;
    ChildInstall& operator=(const ChildInstall&) = delete;

    bool ok() const {
        return ok_;
    }
    bool Running() {
        if (!ok_ || done_) {
            return false;
        }
#if defined(_WIN32)
        done_ = WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0;
#else
        int status = 0;
        done_ = waitpid(pid_, &status, WNOHANG) == pid_;
#endif
        return !done_;
    }
    // Kills the child if it still runs and waits for it; true when it was killed.
    bool Kill() {
        if (!ok_ || done_) {
            return false;
        }
        bool killed = Running();
#if defined(_WIN32)
        if (killed) {
            TerminateProcess(process_.hProcess, 137);
        }
        WaitForSingleObject(process_.hProcess, INFINITE);
        CloseHandle(process_.hProcess);
#else
        if (killed) {
            kill(pid_, SIGKILL);
        }
        if (!done_) {
            waitpid(pid_, nullptr, 0);
        }
#endif
        done_ = true;
        return killed;
    }

private:
    bool ok_ = false;
    bool done_ = false;
#if defined(_WIN32)
    PROCESS_INFORMATION process_{};
#else
    pid_t pid_ = 0;
#endif
};

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

class InstallFailureTest : public ProfileTest {
protected:
    void SetUp() override {
        ProfileTest::SetUp();
        UseInstallFolder();
    }
    void TearDown() override {
        platform::RegistryDeleteTree(kAppPathKey);
        ProfileTest::TearDown();
    }
    void WritePackage(const Entries& entries, bool deflated = false) {
        WriteAll(package_, MakePackage("program", MakeZip(entries, deflated)));
    }
    fs::path Client() const { return install_ / "tideboard3.exe"; }
    fs::path Scratch() const {
        return install_ / (std::string("tideboard3.exe") + kZipScratchSuffix);
    }
    // The largest file whose name starts with the client's: how far its new copy has come.
    uintmax_t ClientBytesWritten() const {
        uintmax_t largest = 0;
        std::error_code error;
        for (fs::directory_iterator it(install_, error), end; !error && it != end;
             it.increment(error)) {
            if (it->path().filename().string().rfind("tideboard3.exe", 0) == 0) {
                uintmax_t size = fs::file_size(it->path(), error);
                if (!error && size > largest) {
                    largest = size;
                }
                error.clear();
            }
        }
        return largest;
    }
    // The invariant, and a correct package that completes the update afterwards.
    void ExpectOldOrNewThenRepair(const std::string& oldClient, const std::string& newClient,
                                  const Entries& suite, const std::string& what) {
        std::string installed = ReadAll(Client());
        EXPECT_TRUE(installed == oldClient || installed == newClient)
            << what << ": client of " << installed.size() << " bytes is neither old nor new";
        WritePackage(suite);
        EXPECT_EQ(Update::kCopied, Update::CopyFileA()) << what << "\n" << Log();
        EXPECT_TRUE(ReadAll(Client()) == newClient) << what << ": not repaired";
        EXPECT_FALSE(fs::exists(Scratch())) << what;
    }
};

TEST_F(InstallFailureTest, DamagedEntryAnywhereLeavesTheOldClient) {
    const std::string oldClient = RandomBytes(3000, 1);
    const std::string newClient = RandomBytes(70000, 2);
    const Entries suite = {{"lib.dll", RandomBytes(9000, 3)},
                           {"tideboard3.exe", newClient},
                           {"web\\index.html", "<html>lesson</html>"}};
    for (bool deflated : {false, true}) {
        for (size_t damaged = 0; damaged < suite.size(); ++damaged) {
            const std::string what = std::string(deflated ? "deflated" : "stored") + " entry " +
                                     suite[damaged].first + " damaged";
            WriteAll(Client(), oldClient);
            std::string zip = MakeZip(suite, deflated);
            // Flip a byte in the middle of the damaged entry's data.
            size_t offset = 0;
            for (size_t i = 0;; ++i) {
                const std::string packed = deflated ? Deflate(suite[i].second) : suite[i].second;
                offset += 30 + suite[i].first.size();
                if (i == damaged) {
                    zip[offset + packed.size() / 2] ^= 0x55;
                    break;
                }
                offset += packed.size();
            }
            WriteAll(package_, MakePackage("program", zip));
            EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA()) << what;
            EXPECT_TRUE(ReadAll(Client()) == oldClient) << what << "\n" << Log();
            EXPECT_FALSE(fs::exists(Scratch())) << what;
            ExpectOldOrNewThenRepair(oldClient, newClient, suite, what);
        }
    }
}

TEST_F(InstallFailureTest, LockedClientFailsWithoutLeavingAScratchFile) {
    const Entries suite = {{"lib.dll", "new library"}, {"tideboard3.exe", "new client"}};
    WritePackage(suite);
    fs::create_directories(install_);
    {
        FileInUse inUse(Client());
        ASSERT_TRUE(inUse.ok());
        const std::string old = ReadAll(Client());
        EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA());
        EXPECT_TRUE(
            LogHas("ZipExtractCurrentFile CreateFile(" + Client().string() + ") failed(32)"))
            << Log();
        EXPECT_TRUE(LogHas("Update::CopyFileA ZipExtractInclude(")) << Log();
        EXPECT_TRUE(ReadAll(Client()) == old);
        EXPECT_FALSE(fs::exists(Scratch()));
    }
    EXPECT_EQ(Update::kCopied, Update::CopyFileA());
    EXPECT_EQ("new client", ReadAll(Client()));
}

TEST_F(InstallFailureTest, KillAtAnyPointLeavesOldOrNewClient) {
    const std::string oldClient = RandomBytes(5000, 4);
    const std::string newClient = RandomBytes(24u << 20, 5);
    const Entries suite = {
        {"lib.dll", "new library"}, {"tideboard3.exe", newClient}, {"web\\index.html", "<p/>"}};
    WritePackage(suite);
    // 0: during the first pass; then while the new main program is being written; 1: at the
    // moment it is complete (the data is synced, the rename comes next).
    for (double point : {0.0, 0.1, 0.5, 0.9, 1.0}) {
        const std::string what = "kill at " + std::to_string(point);
        WriteAll(Client(), oldClient);
        fs::remove(install_ / "lib.dll");
        ChildInstall child(package_, base_ / "child.log");
        ASSERT_TRUE(child.ok());
        const uintmax_t target =
            static_cast<uintmax_t>(point * static_cast<double>(newClient.size()));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        uintmax_t seen = 0;
        while (child.Running() && std::chrono::steady_clock::now() < deadline) {
            if (point == 0.0 ? fs::exists(install_ / "lib.dll")
                             : (seen = ClientBytesWritten()) >= target && seen > oldClient.size()) {
                break;
            }
        }
        const bool killed = child.Kill();
        if (point > 0.0 && point < 0.95) {
            EXPECT_TRUE(killed) << what << ": the install ended before the kill";
        }
        std::string installed = ReadAll(Client());
        EXPECT_TRUE(installed == oldClient || installed == newClient)
            << what << " (" << seen << " bytes seen): client of " << installed.size() << " bytes";
    }
    WritePackage(suite);
    EXPECT_EQ(Update::kCopied, Update::CopyFileA()) << Log();
    EXPECT_TRUE(ReadAll(Client()) == newClient);
    EXPECT_FALSE(fs::exists(Scratch()));
}

// Run by installer.update_package_file_size_limit under a file-size limit (ulimit -f) of the
// given number of bytes: a disk that takes no more than that per file.
TEST_F(InstallFailureTest, FileSizeLimitLeavesOldOrNewClient) {
    const char* limitText = std::getenv("FERRYLIFT_TEST_FILE_SIZE_LIMIT");
    if (limitText == nullptr) {
        GTEST_SKIP() << "needs a file-size limit";
    }
    const size_t limit = std::strtoul(limitText, nullptr, 10);
    const std::string oldClient = RandomBytes(4000, 6);
    const std::string tooLarge = SparseBytes(limit * 2);
    WriteAll(Client(), oldClient);
    WritePackage({{"lib.dll", "new library"}, {"tideboard3.exe", tooLarge}}, true);
    EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA());
    EXPECT_TRUE(LogHas("ZipExtractCurrentFile WriteFile != ")) << Log();
    EXPECT_TRUE(ReadAll(Client()) == oldClient);
    EXPECT_FALSE(fs::exists(Scratch()));
    ExpectOldOrNewThenRepair(
        oldClient, SparseBytes(limit / 2),
        {{"lib.dll", "new library"}, {"tideboard3.exe", SparseBytes(limit / 2)}},
        "file-size limit");
}

#if !defined(_WIN32)
// The temporary folder lies in a folder every user may write to; the attacker is another user
// (uid 65534, "nobody"), whose files the test, run as root, plants for them.
class SharedTempTest : public InstallFailureTest {
protected:
    static constexpr uid_t kOther = 65534;
    void SetUp() override {
        InstallFailureTest::SetUp();
        if (geteuid() != 0) {
            GTEST_SKIP() << "planting another user's files needs root";
        }
        shared_ = base_ / "shared";
        fs::create_directories(shared_);
        fs::permissions(shared_, fs::perms::all | fs::perms::sticky_bit);
        SetEnv("TMPDIR", shared_.string());
        private_ = shared_ / ("ferrylift-" + std::to_string(geteuid()));
        WriteAll(Client(), "old client");
        WritePackage({{"lib.dll", "new library"}, {"tideboard3.exe", "new client"}});
    }
    void PlantAsOther(const fs::path& path) { ASSERT_EQ(0, lchown(path.c_str(), kOther, kOther)); }

    fs::path shared_;
    fs::path private_;
};

TEST_F(SharedTempTest, PlantedArchiveNameIsNeitherFollowedNorUsed) {
    // A link to a file of ours, and in the second round a file of the attacker's own.
    const fs::path victim = base_ / "home" / "notes.txt";
    WriteAll(victim, "precious");
    fs::create_symlink(victim, shared_ / "TideboardFerrylift.zip");
    PlantAsOther(shared_ / "TideboardFerrylift.zip");
    EXPECT_EQ(Update::kCopied, Update::CopyFileA()) << Log();
    EXPECT_EQ("precious", ReadAll(victim));
    EXPECT_EQ("new client", ReadAll(Client()));
    EXPECT_EQ(fs::path(Update::GetTempFileNameA()), private_ / "TideboardFerrylift.zip");
    struct stat st;
    ASSERT_EQ(0, lstat(private_.c_str(), &st));
    EXPECT_EQ(0700u, st.st_mode & 07777);

    fs::remove(shared_ / "TideboardFerrylift.zip");
    WriteAll(shared_ / "TideboardFerrylift.zip", "attacker's archive");
    PlantAsOther(shared_ / "TideboardFerrylift.zip");
    fs::permissions(shared_ / "TideboardFerrylift.zip", fs::perms::all);
    WriteAll(Client(), "old client");
    EXPECT_EQ(Update::kCopied, Update::CopyFileA()) << Log();
    EXPECT_EQ("attacker's archive", ReadAll(shared_ / "TideboardFerrylift.zip"));
    EXPECT_EQ("new client", ReadAll(Client()));
}

TEST_F(SharedTempTest, PlantedPrivateFolderIsRefused) {
    const fs::path attackers = base_ / "attackers";
    fs::create_directories(attackers);
    PlantAsOther(attackers);
    // The folder's name as a link to the attacker's folder; then a folder of the attacker's.
    fs::create_directory_symlink(attackers, private_);
    PlantAsOther(private_);
    EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA());
    EXPECT_TRUE(LogHas("GetTempFolder private folder(" + private_.string() + ")")) << Log();
    EXPECT_TRUE(fs::is_empty(attackers));

    fs::remove(private_);
    fs::create_directory(private_);
    fs::permissions(private_, fs::perms::all);
    PlantAsOther(private_);
    EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA());
    EXPECT_TRUE(fs::is_empty(private_));
    EXPECT_EQ("old client", ReadAll(Client()));

    // A folder of our own that others could enter is closed to them and used.
    fs::remove(private_);
    fs::create_directory(private_);
    fs::permissions(private_, fs::perms::all);
    EXPECT_EQ(Update::kCopied, Update::CopyFileA()) << Log();
    EXPECT_EQ(fs::perms::owner_all, fs::status(private_).permissions() & fs::perms::mask);
}

TEST_F(SharedTempTest, RuntimeFolderIsUsedWhenSet) {
    const fs::path runtime = base_ / "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    SetEnv("XDG_RUNTIME_DIR", runtime.string());
    EXPECT_EQ(Update::kCopied, Update::CopyFileA()) << Log();
    EXPECT_TRUE(fs::exists(runtime / "TideboardFerrylift.zip"));
    EXPECT_FALSE(fs::exists(private_));
    unsetenv("XDG_RUNTIME_DIR");
}

// A really full disk: the installation folder is a small tmpfs (needs root to mount).
TEST_F(InstallFailureTest, FullDiskAtAnyMomentLeavesOldOrNewClient) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    const std::string oldClient = RandomBytes(256 << 10, 7);
    const std::string newClient = RandomBytes(1 << 20, 8);
    Entries suite;
    for (int i = 0; i < 4; ++i) {
        suite.push_back({"lib\\part" + std::to_string(i) + ".dll", RandomBytes(64 << 10, 10 + i)});
    }
    suite.push_back({"tideboard3.exe", newClient});
    // Room (in KiB) beyond the old client: part of the libraries; the libraries and half the
    // new client; all but its last pages.
    int failures = 0;
    for (int roomKiB : {64, 256 + 512, 256 + 1024 - 8}) {
        const std::string what = "room " + std::to_string(roomKiB) + " KiB";
        fs::create_directories(install_);
        const std::string size = "size=" + std::to_string(256 + roomKiB) + "k";
        ASSERT_EQ(0, mount("tmpfs", install_.c_str(), "tmpfs", 0, size.c_str())) << what;
        struct Unmount {
            const fs::path& folder;
            ~Unmount() { umount2(folder.c_str(), MNT_DETACH); }
        } unmount{install_};
        WriteAll(Client(), oldClient);
        ASSERT_TRUE(ReadAll(Client()) == oldClient) << what;
        WritePackage(suite);
        if (Update::CopyFileA() == Update::kCopyFailed) {
            ++failures;
            EXPECT_TRUE(LogHas("WriteFile != ")) << what << "\n" << Log();
        }
        EXPECT_FALSE(fs::exists(Scratch())) << what;
        ASSERT_EQ(0, mount("tmpfs", install_.c_str(), "tmpfs", MS_REMOUNT, "size=16m")) << what;
        ExpectOldOrNewThenRepair(oldClient, newClient, suite, what);
    }
    EXPECT_EQ(3, failures);
}
#endif

}  // namespace
