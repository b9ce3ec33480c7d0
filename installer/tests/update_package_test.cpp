#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <thread>

#include "core/update.h"
#include "file_in_use.h"
#include "platform/registry.h"
#include "update_test_support.h"

namespace {

using namespace update_test;

const char kAppPathKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tideboard3.exe";

class CopyFileTest : public ProfileTest {
protected:
    void WritePackage(const std::vector<std::pair<std::string, std::string>>& entries) {
        WriteAll(package_,
                 MakePackage(std::string("program bytes\0\x01\x02", 16), MakeZip(entries)));
    }
    std::vector<std::pair<std::string, std::string>> Suite() {
        return {{"tideboard3.exe", "new client"},
                {"frame\\js\\marking\\marking.js", "marking();"},
                {"frame/css/a.css", "a {}"},
                {"lib.dll", "new library"}};
    }
    fs::path TempArchive() const { return fs::path(Update::GetTempFileNameA()); }
};

TEST_F(CopyFileTest, InstallsEveryEntryAndRecordsTheAppPath) {
    UseInstallFolder();
    WritePackage(Suite());
    WriteAll(install_ / "tideboard3.exe", "old client");
    platform::RegistryDeleteTree(kAppPathKey);

    EXPECT_EQ(Update::kCopied, Update::CopyFileA());
    EXPECT_EQ("new client", ReadAll(install_ / "tideboard3.exe"));
    EXPECT_EQ("marking();", ReadAll(install_ / "frame" / "js" / "marking" / "marking.js"));
    EXPECT_EQ("a {}", ReadAll(install_ / "frame" / "css" / "a.css"));
    EXPECT_EQ("new library", ReadAll(install_ / "lib.dll"));
    // The archive stays in the temporary folder.
    EXPECT_EQ(ReadAll(package_).substr(16, ReadAll(package_).size() - 24), ReadAll(TempArchive()));

    platform::UniqueRegistryKey key;
    ASSERT_EQ(platform::kErrorSuccess, platform::RegistryOpenKey(kAppPathKey, key.Out()));
    std::vector<uint8_t> value;
    uint32_t type = 0;
    ASSERT_EQ(platform::kErrorSuccess, platform::RegistryQueryValue(key.Get(), "", &type, &value));
    std::string expected = Update::GetDestinationVersionFileName();
    expected.push_back('\0');
    EXPECT_EQ(expected, std::string(value.begin(), value.end()));
#if defined(_WIN32)
    EXPECT_EQ(platform::kRegSz, type);
#endif
    platform::RegistryDeleteTree(kAppPathKey);
}

TEST_F(CopyFileTest, ClientProgramIsWrittenOnlyInTheIncludePass) {
    UseInstallFolder();
    // The client comes first in the archive; it must still be written after everything else.
    WritePackage(
        {{"tideboard3.exe", "new client"}, {"sub\\tideboard3.exe", "nested"}, {"b.txt", "b"}});
    EXPECT_EQ(Update::kCopied, Update::CopyFileA());
    EXPECT_EQ("b", ReadAll(install_ / "b.txt"));
    EXPECT_EQ("nested", ReadAll(install_ / "sub" / "tideboard3.exe"));
    EXPECT_EQ("new client", ReadAll(install_ / "tideboard3.exe"));
#if !defined(_WIN32)
    // Letter case matters to the filter: a differently cased name is written in the exclude
    // pass, as a file of its own here (on Windows it is the same file, so a package never
    // holds both names).
    WritePackage({{"Tideboard3.exe", "other case"}});
    EXPECT_EQ(Update::kCopied, Update::CopyFileA());
    EXPECT_EQ("other case", ReadAll(install_ / "Tideboard3.exe"));
    EXPECT_EQ("new client", ReadAll(install_ / "tideboard3.exe"));
#endif
    platform::RegistryDeleteTree(kAppPathKey);
}

TEST_F(CopyFileTest, FileInUseIsMovedAsideAndTheResultAsksForARestart) {
    UseInstallFolder();
    WritePackage(Suite());
    fs::create_directories(install_);
    FileInUse inUse(install_ / "lib.dll");
    ASSERT_TRUE(inUse.ok());
    std::string oldBytes = ReadAll(install_ / "lib.dll");

    EXPECT_EQ(Update::kCopiedRestart, Update::CopyFileA());
    EXPECT_EQ("new library", ReadAll(install_ / "lib.dll"));
    // Exactly one moved-aside file: the name followed by a braced upper-case GUID.
    std::regex aside("lib\\.dll\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}");
    int moved = 0;
    for (const auto& entry : fs::directory_iterator(install_)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("lib.dll{", 0) == 0) {
            EXPECT_TRUE(std::regex_match(name, aside)) << name;
            EXPECT_EQ(oldBytes, ReadAll(entry.path()));
            ++moved;
        }
    }
    EXPECT_EQ(1, moved);
    EXPECT_TRUE(LogHas("Update::CopyFileA::OnExcludeCreateFailed ZipExtract Failed(")) << Log();
    EXPECT_TRUE(LogHas(") error(32)")) << Log();
    EXPECT_TRUE(LogHas(") result(0)")) << Log();
    EXPECT_EQ("new client", ReadAll(install_ / "tideboard3.exe"));

    // needRestart belongs to one call: the next call on a free file reports a plain copy.
    EXPECT_EQ(Update::kCopied, Update::CopyFileA());
    platform::RegistryDeleteTree(kAppPathKey);
}

// Files moved aside are scheduled for deletion at the restart where the system allows it, and
// a later run removes them, and the scratch files a kill left, once nothing uses them.
TEST_F(CopyFileTest, LeftoversOfEarlierRunsGoAtTheNextRun) {
    UseInstallFolder();
    WritePackage(Suite());
    fs::create_directories(install_);
    const std::string guid = "{6B29FC40-CA47-1067-B31D-00DD010662DA}";
    {
        FileInUse inUse(install_ / "lib.dll");
        ASSERT_TRUE(inUse.ok());
        EXPECT_EQ(Update::kCopiedRestart, Update::CopyFileA());
    }
    EXPECT_TRUE(LogHas("Update::CopyFileA::OnExcludeCreateFailed MoveFileEx(" +
                       (install_ / "lib.dll{").string()))
        << Log();
#if defined(_WIN32)
    EXPECT_TRUE(LogHas("MOVEFILE_DELAY_UNTIL_REBOOT) result(1) error(0)")) << Log();
#else
    EXPECT_TRUE(LogHas("MOVEFILE_DELAY_UNTIL_REBOOT) result(0) error(50)")) << Log();
#endif
    // A kill's scratch file; look-alikes that are no leftovers: no file beside them, a GUID in
    // lower case, a name of the suite's own.
    WriteAll(install_ / "frame" / "css" / "old.css.ferrylift-new", "half");
    WriteAll(install_ / ("orphan.dll" + guid), "keep");
    WriteAll(install_ / "lib.dll{6b29fc40-ca47-1067-b31d-00dd010662da}", "keep");
    EXPECT_EQ(Update::kCopied, Update::CopyFileA()) << Log();
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(install_)) {
        const std::string name = entry.path().filename().string();
        if (name.find('{') != std::string::npos ||
            name.find(".ferrylift-new") != std::string::npos) {
            left.push_back(name);
        }
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ((std::vector<std::string>{"lib.dll{6b29fc40-ca47-1067-b31d-00dd010662da}",
                                        "orphan.dll" + guid}),
              left);
    EXPECT_TRUE(LogHas("Update::RemoveLeftovers DeleteFile(" +
                       (install_ / "frame" / "css" / "old.css.ferrylift-new").string() +
                       ") result(1)"))
        << Log();
    platform::RegistryDeleteTree(kAppPathKey);
}

TEST_F(CopyFileTest, ClientProgramInUseFailsTheIncludePass) {
    UseInstallFolder();
    WritePackage(Suite());
    fs::create_directories(install_);
    FileInUse inUse(install_ / "tideboard3.exe");
    ASSERT_TRUE(inUse.ok());
    platform::RegistryDeleteTree(kAppPathKey);

    EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA());
    EXPECT_TRUE(LogHas("Update::CopyFileA ZipExtractInclude(")) << Log();
    EXPECT_FALSE(LogHas("Update::CopyFileA ZipExtractExclude(")) << Log();
    // Everything else is updated; the client stays the old one and nothing is moved aside.
    EXPECT_EQ("new library", ReadAll(install_ / "lib.dll"));
    EXPECT_NE("new client", ReadAll(install_ / "tideboard3.exe"));
    for (const auto& entry : fs::directory_iterator(install_)) {
        EXPECT_EQ(std::string::npos, entry.path().filename().string().find('{'));
    }
    // The registry is written only after both passes succeeded.
    platform::UniqueRegistryKey key;
    EXPECT_EQ(platform::kErrorFileNotFound, platform::RegistryOpenKey(kAppPathKey, key.Out()));
}

TEST_F(CopyFileTest, DamagedTrailersAreRefusedBeforeAnythingIsWritten) {
    UseInstallFolder();
    std::string good = MakePackage("program", MakeZip(Suite()));
    fs::remove(TempArchive());

    // Last four bytes differ from the file's size.
    std::string wrongTotal = good;
    wrongTotal[wrongTotal.size() - 4] ^= 0x01;
    WriteAll(package_, wrongTotal);
    EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA());
    char line[128];
    std::snprintf(
        line, sizeof line, "Update::ReadFileToData file_size(%d) != GetModuleSize()",
        static_cast<int>(static_cast<unsigned char>(wrongTotal[wrongTotal.size() - 4]) |
                         (static_cast<unsigned char>(wrongTotal[wrongTotal.size() - 3]) << 8)));
    EXPECT_TRUE(LogHas(line)) << Log();
    EXPECT_TRUE(LogHas("Update::CopyFileA ReadFileToData failed")) << Log();

    // dataSize claims more than the file holds: refused with its own line, no allocation.
    for (uint32_t dataSize : {uint32_t{0xFFFFFFF0u}, static_cast<uint32_t>(good.size() - 7)}) {
        std::string oversized = good;
        for (int i = 0; i < 4; ++i) {
            oversized[oversized.size() - 8 + i] = static_cast<char>(dataSize >> (8 * i));
        }
        WriteAll(package_, oversized);
        EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA());
        std::snprintf(line, sizeof line, "Update::ReadFileToData data_size(%u) > file_size(%d)",
                      dataSize, static_cast<int>(good.size()));
        EXPECT_TRUE(LogHas(line)) << Log();
    }

    // A file too short for a trailer.
    WriteAll(package_, "ab");
    EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA());
    EXPECT_TRUE(LogHas("Update::ReadFileToData file_size(")) << Log();

    EXPECT_FALSE(fs::exists(TempArchive()));
    EXPECT_FALSE(fs::exists(install_));
}

TEST_F(CopyFileTest, EmptyArchiveIsReadButNotWritten) {
    UseInstallFolder();
    WriteAll(package_, MakePackage("program", ""));
    EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA());
    EXPECT_TRUE(LogHas("Update::CopyFileA FileWriteToEnd failed")) << Log();
    EXPECT_FALSE(LogHas("ReadFileToData failed")) << Log();
}

TEST_F(CopyFileTest, MissingPackageOrRootFails) {
    EXPECT_EQ(Update::kCopyFailed, Update::CopyFileA());
    EXPECT_TRUE(LogHas("Update::CopyFileA fopen_s(" + package_.string() + ") failed(")) << Log();

    // Without a configuration file the archive is not unpacked into the working folder.
    WritePackage(Suite());
    fs::path workingFolder = base_ / "cwd";
    fs::create_directories(workingFolder);
    fs::path previous = fs::current_path();
    fs::current_path(workingFolder);
    int result = Update::CopyFileA();
    fs::current_path(previous);
    EXPECT_EQ(Update::kCopyFailed, result);
    EXPECT_TRUE(fs::is_empty(workingFolder));
    EXPECT_TRUE(LogHas("Update::CopyFileA destination root is empty")) << Log();
}

}  // namespace
