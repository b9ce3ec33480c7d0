// A really full disk: the installation folder lies on a small file system (natively a tmpfs the
// test mounts, which needs root; under Wine one that installer.update_package_small_disk
// mounts). A package that does not fit changes nothing; a disk that fills up while the files
// are written leaves each of them old or new.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "child_install.h"
#include "install_failure_fixture.h"
#include "platform/directory.h"

#if !defined(_WIN32)
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace {

using namespace update_test;

constexpr uintmax_t kDiskBytes = 16u << 20;
constexpr uintmax_t kMiB = 1u << 20;

class SmallDiskTest : public InstallFailureTest {
protected:
    void SetUp() override {
        InstallFailureTest::SetUp();
        const char* given = std::getenv("FERRYLIFT_TEST_SMALL_DISK");
        if (given != nullptr && given[0] != '\0') {
            disk_ = FromHostPath(given);
        } else {
#if defined(_WIN32)
            GTEST_SKIP() << "needs a small disk (installer.update_package_small_disk)";
#else
            if (geteuid() != 0) {
                GTEST_SKIP() << "mounting a tmpfs needs root";
            }
            disk_ = base_ / "disk";
            fs::create_directories(disk_);
            const std::string size = "size=" + std::to_string(kDiskBytes);
            ASSERT_EQ(0, mount("tmpfs", disk_.c_str(), "tmpfs", 0, size.c_str()));
            mounted_ = true;
#endif
        }
        install_ = disk_ / "install";
        filler_ = disk_ / "filler";
        fs::remove_all(install_);
        fs::remove(filler_);
        UseInstallFolder();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(install_, ignored);
        fs::remove(filler_, ignored);
#if !defined(_WIN32)
        if (mounted_) {
            umount2(disk_.c_str(), MNT_DETACH);
        }
#endif
        InstallFailureTest::TearDown();
    }

    // Under Wine the host's folders are below drive Z:.
    static fs::path FromHostPath(std::string path) {
#if defined(_WIN32)
        for (char& c : path) {
            c = c == '/' ? '\\' : c;
        }
        return fs::path("Z:" + path);
#else
        return fs::path(path);
#endif
    }
    // As the installer asks (std::filesystem::space under Wine answers for the drive's root).
    uintmax_t Free() const {
        uint64_t free = 0;
        EXPECT_TRUE(platform::GetDiskFreeSpace(disk_.string(), &free));
        return free;
    }
    // Grows the filler until only room bytes are free, or with 0 until the disk is full. The
    // bulk goes in one write, so that a disk filled during an install fills at once.
    void FillLeaving(uintmax_t room) {
        std::ofstream out(filler_, std::ios::binary | std::ios::app);
        if (const uintmax_t free = Free(); free > room) {
            const std::string bulk(free - room, 'f');
            out.write(bulk.data(), static_cast<std::streamsize>(bulk.size()));
            out.flush();
        }
        const std::string chunk(64 << 10, 'f');
        for (uintmax_t piece = chunk.size(); piece >= 4096 && out;) {
            const uintmax_t free = Free();
            if (free <= room) {
                break;
            }
            if (free - room < piece) {
                piece /= 2;
                continue;
            }
            out.write(chunk.data(), static_cast<std::streamsize>(piece));
            out.flush();
        }
    }
    void Unfill() {
        fs::remove(filler_);
    }

    fs::path disk_;
    fs::path filler_;
    bool mounted_ = false;
};

Entries Suite(int libraries, size_t librarySize, size_t clientSize) {
    Entries suite;
    for (int i = 0; i < libraries; ++i) {
        suite.push_back({"lib\\part" + std::to_string(i) + ".dll",
                         RandomBytes(librarySize, 10 + static_cast<unsigned>(i))});
    }
    suite.push_back({"tideboard3.exe", RandomBytes(clientSize, 8)});
    return suite;
}

TEST_F(SmallDiskTest, PackageThatDoesNotFitChangesNothing) {
    const Files old = {{"tideboard3.exe", RandomBytes(256 << 10, 7)},
                       {"lib/part0.dll", "old part"}};
    const Entries suite = Suite(4, 64 << 10, 1 << 20);
    // Room beyond the old files: part of the libraries; the libraries and half the new client;
    // all but its last pages.
    for (uintmax_t room : {64u << 10, (256u + 512) << 10, (256u + 1024 - 8) << 10}) {
        const std::string what = "room " + std::to_string(room >> 10) + " KiB";
        fs::remove_all(install_);
        InstallFiles(old);
        WritePackage(suite);
        FillLeaving(room);
        EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA()) << what;
        ExpectUntouched(old, what);
        EXPECT_TRUE(LogHas("needed(")) << what << "\n" << Log();
        EXPECT_TRUE(LogHas(" free(")) << what;
        Unfill();
    }
    ExpectRepair(suite, "room again");

    // A small archive of one large file (a few hundred KiB that unpack to more than the disk):
    // refused before anything is unpacked or written.
    const Files installed = InstalledFiles();
    WritePackage({{"tideboard3.exe", "new client"}, {"big.dat", SparseBytes(kDiskBytes * 2)}},
                 true);
    EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA());
    ExpectUntouched(installed, "a file larger than the disk");
}

TEST_F(SmallDiskTest, DiskFillingUpDuringTheInstallLeavesEveryFileOldOrNew) {
    const Files old = {{"tideboard3.exe", RandomBytes(256 << 10, 7)},
                       {"lib/part1.dll", RandomBytes(100 << 10, 9)}};
    const Entries suite = Suite(6, kMiB, 3 * kMiB);
    // Room enough for the whole install is left before it starts, so the check passes; the
    // rest goes in one write when the install has come to the trigger.
    uintmax_t room = 256 << 10;
    for (const auto& entry : suite) {
        room += entry.second.size();
    }
    const std::string bulk(room, 'f');
    // The disk fills up while a library of the first pass is written, and while the main
    // program is.
    for (const char* trigger : {"lib/part1.dll", "lib/part4.dll", "tideboard3.exe"}) {
        const std::string what = std::string("full while writing ") + trigger;
        const fs::path file = install_ / trigger;
        const fs::path scratch = install_ / (std::string(trigger) + ".ferrylift-new");
        const uintmax_t oldSize = old.count(trigger) != 0 ? old.at(trigger).size() : 0;
        auto started = [&] {
            std::error_code error;
            const uintmax_t size = fs::file_size(scratch, error);
            if (!error && size > 0) {
                return true;
            }
            const uintmax_t inPlace = fs::file_size(file, error);
            return !error && inPlace > oldSize;
        };
        // On a loaded machine the install may finish before the disk is full: then again.
        std::string log;
        for (int attempt = 0; attempt < 3 && log.find("error(112)") == std::string::npos;
             ++attempt) {
            fs::remove_all(install_);
            InstallFiles(old);
            WritePackage(suite);
            FillLeaving(room);
            fs::remove(base_ / "child.log");
            ChildInstall child(package_, base_ / "child.log");
            ASSERT_TRUE(child.ok());
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
            while (child.Running() && std::chrono::steady_clock::now() < deadline && !started()) {
            }
            {
                std::ofstream out(filler_, std::ios::binary | std::ios::app);
                out.write(bulk.data(), static_cast<std::streamsize>(bulk.size()));
            }
            while (child.Running() && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            child.Kill();
            log = ReadAll(base_ / "child.log");
            ExpectOldOrNew(old, suite, what);
            Unfill();
        }
        // The failed write names the file and the system error.
        EXPECT_NE(std::string::npos, log.find("error(112)")) << what << "\n" << log;
        EXPECT_NE(std::string::npos, log.find(".ferrylift-new) error(112)")) << what;
    }
    ExpectRepair(suite, "room again");
}

// The temporary folder on the full disk: the archive's write fails with its error, and the
// partial archive is removed instead of keeping the disk full.
TEST_F(SmallDiskTest, FailedArchiveWriteLeavesNoPartialFile) {
    const Files old = {{"tideboard3.exe", "old client"}};
    InstallFiles(old);
    const fs::path temp = disk_ / "temp";
    fs::create_directories(temp);
#if defined(_WIN32)
    const char* const kTempVariables[] = {"TMP", "TEMP"};
#else
    const char* const kTempVariables[] = {"TMPDIR"};
#endif
    std::vector<std::pair<const char*, std::string>> saved;
    for (const char* name : kTempVariables) {
        const char* value = std::getenv(name);
        saved.push_back({name, value != nullptr ? value : ""});
        SetEnv(name, temp.string());
    }
    WritePackage({{"lib.dll", RandomBytes(2 * kMiB, 3)}, {"tideboard3.exe", "new client"}});
    FillLeaving(512 << 10);
    const std::string archive = Update::GetTempFileNameA();
    EXPECT_EQ(0u, archive.rfind(temp.string(), 0)) << archive;
    EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA());
    EXPECT_TRUE(LogHas("Update::CopyFileA WriteFile(" + archive + ") failed(112), removed(1)"))
        << Log();
    EXPECT_FALSE(fs::exists(archive));
    ExpectUntouched(old, "archive not written");
    for (const auto& [name, value] : saved) {
        SetEnv(name, value);
    }
    fs::remove_all(temp);
}

}  // namespace
