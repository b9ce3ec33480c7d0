// The temporary archive on POSIX, where the temporary folder's parent may be shared with other
// users. The other user is real: uid 65534 ("nobody"), a process of its own or the owner of
// the files the test (run as root) plants for it.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "install_failure_fixture.h"

namespace {

using namespace update_test;

constexpr uid_t kOther = 65534;

class TempFolderTest : public InstallFailureTest {
protected:
    void SetUp() override {
        InstallFailureTest::SetUp();
        if (geteuid() != 0) {
            GTEST_SKIP() << "acting as another user needs root";
        }
        shared_ = base_ / "shared";
        fs::create_directories(shared_);
        fs::permissions(shared_, fs::perms::all | fs::perms::sticky_bit);
        SetEnv("TMPDIR", shared_.string());
        InstallFiles(old_);
        WritePackage(suite_);
    }
    void PlantAsOther(const fs::path& path) { ASSERT_EQ(0, lchown(path.c_str(), kOther, kOther)); }
    // The folder the archive went to: a fresh one of ours, closed to others.
    fs::path ArchiveFolder() const { return fs::path(Update::GetTempFileNameA()).parent_path(); }
    void ExpectPrivate(const fs::path& folder) {
        struct stat st;
        ASSERT_EQ(0, lstat(folder.c_str(), &st)) << folder;
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(geteuid(), st.st_uid);
        EXPECT_EQ(0700u, st.st_mode & 07777);
        EXPECT_EQ(0u, folder.filename().string().rfind("ferrylift-0.", 0)) << folder;
    }

    const Files old_ = {{"tideboard3.exe", "old client"}};
    const Entries suite_ = {{"lib.dll", "new library"}, {"tideboard3.exe", "new client"}};
    fs::path shared_;
};

// As the other user, in a loop until killed: every folder of ours in the shared parent is
// renamed away and replaced by one of theirs, and every archive in it by theirs.
pid_t StartSwapper(const fs::path& shared, const std::string& evilArchive) {
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    if (setgroups(0, nullptr) != 0 || setresgid(kOther, kOther, kOther) != 0 ||
        setresuid(kOther, kOther, kOther) != 0) {
        _exit(1);
    }
    for (unsigned n = 0;; ++n) {
        DIR* dir = opendir(shared.c_str());
        while (dir != nullptr) {
            const dirent* entry = readdir(dir);
            if (entry == nullptr) {
                break;
            }
            const std::string name = entry->d_name;
            const std::string folder = shared.string() + "/" + name;
            struct stat st;
            if (name.rfind("ferrylift-", 0) != 0 || lstat(folder.c_str(), &st) != 0) {
                continue;
            }
            if (st.st_uid != kOther &&
                rename(folder.c_str(),
                       (shared.string() + "/stolen-" + std::to_string(n)).c_str()) == 0) {
                mkdir(folder.c_str(), 0777);
            }
            const std::string archive = folder + "/TideboardFerrylift.zip";
            if (lstat(archive.c_str(), &st) == 0 && st.st_uid != kOther &&
                unlink(archive.c_str()) == 0) {
                const int fd = open(archive.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
                if (fd >= 0) {
                    ssize_t ignored = write(fd, evilArchive.data(), evilArchive.size());
                    (void)ignored;
                    close(fd);
                }
            }
        }
        if (dir != nullptr) {
            closedir(dir);
        }
    }
}

TEST_F(TempFolderTest, ParentOthersMayWriteWithoutStickyBitIsRefused) {
    fs::permissions(shared_, fs::perms::all);  // no sticky bit
    const std::string evil = MakeZip({{"tideboard3.exe", "attacker's client"}});
    const pid_t swapper = StartSwapper(shared_, evil);
    ASSERT_GT(swapper, 0);
    for (int run = 0; run < 10; ++run) {
        const int result = Update::CopyFileA();
        EXPECT_EQ(Update::kCopyFailed, result) << run;
        EXPECT_NE("attacker's client", ReadAll(Client())) << run;
        if (result != Update::kCopyFailed) {
            break;
        }
    }
    kill(swapper, SIGKILL);
    waitpid(swapper, nullptr, 0);
    EXPECT_TRUE(LogHas("GetTempFolder folder(" + shared_.string() +
                       ") may be written by others and is not sticky, refused error(5)"))
        << Log();
    ExpectUntouched(old_, "refused parent");
}

TEST_F(TempFolderTest, OtherUsersInASharedStickyParentCanNeitherSwapNorBlock) {
    // Squatted names: the fixed name of older versions and one of the fresh names' form.
    for (const char* name : {"ferrylift-0", "ferrylift-0.AAAAAA"}) {
        fs::create_directory(shared_ / name);
        WriteAll(shared_ / name / "TideboardFerrylift.zip", "theirs");
        PlantAsOther(shared_ / name / "TideboardFerrylift.zip");
        PlantAsOther(shared_ / name);
    }
    const pid_t swapper = StartSwapper(shared_, MakeZip({{"tideboard3.exe", "attacker's client"}}));
    ASSERT_GT(swapper, 0);
    for (int run = 0; run < 3; ++run) {
        InstallFiles(old_);
        EXPECT_EQ(Update::kCopied, Update::CopyFileA()) << Log();
        EXPECT_EQ("new client", ReadAll(Client()));
    }
    kill(swapper, SIGKILL);
    waitpid(swapper, nullptr, 0);
    ExpectPrivate(ArchiveFolder());
    for (const char* name : {"ferrylift-0", "ferrylift-0.AAAAAA"}) {
        EXPECT_EQ("theirs", ReadAll(shared_ / name / "TideboardFerrylift.zip")) << name;
    }
}

// Links the other user plants under the names of the archive and of the folder older versions
// used lead to files of ours: neither is followed, and the archive goes to a fresh folder.
TEST_F(TempFolderTest, PlantedArchiveNameIsNeitherFollowedNorUsed) {
    const fs::path victim = base_ / "home" / "notes.txt";
    const fs::path victimFolder = base_ / "home" / "documents";
    WriteAll(victim, "precious");
    fs::create_directories(victimFolder);
    fs::create_symlink(victim, shared_ / "TideboardFerrylift.zip");
    fs::create_directory_symlink(victimFolder, shared_ / "ferrylift-0");
    PlantAsOther(shared_ / "TideboardFerrylift.zip");
    PlantAsOther(shared_ / "ferrylift-0");
    EXPECT_EQ(Update::kCopied, Update::CopyFileA()) << Log();
    EXPECT_EQ("precious", ReadAll(victim));
    EXPECT_TRUE(fs::is_empty(victimFolder));
    EXPECT_TRUE(fs::is_symlink(shared_ / "ferrylift-0"));
    EXPECT_EQ("new client", ReadAll(Client()));
    ExpectPrivate(ArchiveFolder());
    EXPECT_EQ(shared_, ArchiveFolder().parent_path());
}

TEST_F(TempFolderTest, RuntimeFolderIsNeverChanged) {
    // A shared folder and a group's folder as some systems set them: their bits stay.
    for (const fs::perms mode :
         {fs::perms::all | fs::perms::sticky_bit, fs::perms::owner_all | fs::perms::group_read |
                                                      fs::perms::group_exec | fs::perms::set_gid}) {
        const fs::path runtime = base_ / "runtime";
        fs::remove_all(runtime);
        fs::create_directories(runtime);
        fs::permissions(runtime, mode);
        const auto before = fs::status(runtime).permissions();
        SetEnv("XDG_RUNTIME_DIR", runtime.string());
        InstallFiles(old_);
        EXPECT_EQ(Update::kCopied, Update::CopyFileA()) << Log();
        EXPECT_EQ(before, fs::status(runtime).permissions());
        EXPECT_EQ(runtime, ArchiveFolder().parent_path());
        ExpectPrivate(ArchiveFolder());
        unsetenv("XDG_RUNTIME_DIR");
    }
}

TEST_F(TempFolderTest, EarlierFoldersOfThisUserGoUnlessInUse) {
    for (const char* name : {"ferrylift-0", "ferrylift-0.OLD001", "ferrylift-0.LIVE01"}) {
        WriteAll(shared_ / name / "TideboardFerrylift.zip", "an earlier archive");
    }
    // Another run of this user still works in this one.
    const int live = open((shared_ / "ferrylift-0.LIVE01").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(live, 0);
    ASSERT_EQ(0, flock(live, LOCK_SH));
    EXPECT_EQ(Update::kCopied, Update::CopyFileA()) << Log();
    close(live);
    EXPECT_FALSE(fs::exists(shared_ / "ferrylift-0"));
    EXPECT_FALSE(fs::exists(shared_ / "ferrylift-0.OLD001"));
    EXPECT_TRUE(fs::exists(shared_ / "ferrylift-0.LIVE01" / "TideboardFerrylift.zip"));
    // The finished archive stays until the next run.
    EXPECT_TRUE(fs::exists(Update::GetTempFileNameA()));
}

// A temporary folder too small for the archive: the write fails with its error, and the partial
// archive is removed instead of filling the folder.
TEST_F(TempFolderTest, FailedArchiveWriteLeavesNoPartialFile) {
    const fs::path small = base_ / "small";
    fs::create_directories(small);
    ASSERT_EQ(0, mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k"));
    SetEnv("TMPDIR", small.string());
    WritePackage({{"lib.dll", RandomBytes(1 << 20, 3)}, {"tideboard3.exe", "new client"}});
    EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA());
    EXPECT_TRUE(LogHas("Update::CopyFileA WriteFile(" + Update::GetTempFileNameA() +
                       ") failed(112), removed(1)"))
        << Log();
    EXPECT_TRUE(LogHas("Update::CopyFileA FileWriteToEnd failed"));
    EXPECT_FALSE(fs::exists(Update::GetTempFileNameA()));
    ExpectUntouched(old_, "archive not written");
    umount2(small.c_str(), MNT_DETACH);
}

}  // namespace
