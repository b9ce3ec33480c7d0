// Delta packages: only the files that are new or differ from the earlier release, always the
// client; the earlier release's version as the lowest; files left over refused unless allowed.
#include <unzip.h>

#include "pack_test_support.h"

namespace {

using namespace pack_test;

class DeltaTest : public PackTest {
protected:
    void SetUp() override {
        PackTest::SetUp();
        old_ = root_ / "old";
        fs::create_directories(old_);
        Write(old_ / "tideboard3.exe", Stamped("gui.exe", "3.18.2.14000", "3.18.2.14000"));
        for (const char* name : {"lib/core.dll", "lib/ink.dll", "web/index.html", "Lib2/x.dll"}) {
            Write(old_ / name, std::string("old ") + name);
            Write(root_ / "suite" / name, std::string("old ") + name);
        }
        Write(root_ / "suite" / "lib" / "ink.dll", "new ink");  // changed, same size
        Write(root_ / "suite" / "web" / "help.html", "added");
        fs::rename(root_ / "suite" / "Lib2", root_ / "suite" / "lib2");  // letter case only
    }
    int PackDelta(const fs::path& since, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {
            "--installer", installer_.string(), "--suite",  (root_ / "suite").string(),
            "--since",     since.string(),      "--output", Output().string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(args);
    }
    int PackFull(const fs::path& suite, const fs::path& output) {
        return Run({"--installer", installer_.string(), "--suite", suite.string(), "--lowest",
                    "3.18.0.13170", "--output", output.string()});
    }
    std::vector<std::string> Entries(const fs::path& package) {
        const std::string bytes = Read(package);
        const uint32_t dataSize = LittleEndianAt(bytes, bytes.size() - 8);
        Write(root_ / "archive.zip", bytes.substr(bytes.size() - 8 - dataSize, dataSize));
        unzFile zip = unzOpen64((root_ / "archive.zip").c_str());
        std::vector<std::string> names;
        for (int step = unzGoToFirstFile(zip); step == UNZ_OK; step = unzGoToNextFile(zip)) {
            char name[300];
            unzGetCurrentFileInfo64(zip, nullptr, name, sizeof name, nullptr, 0, nullptr, 0);
            names.push_back(name);
        }
        unzClose(zip);
        return names;
    }

    fs::path old_;
};

TEST_F(DeltaTest, CarriesNewAndChangedFilesAndTheClientFromAFolderOrAPackage) {
    const std::vector<std::string> expected = {"lib2\\x.dll", "lib\\ink.dll", "tideboard3.exe",
                                               "web\\help.html"};
    ASSERT_EQ(kExitOk, PackDelta(old_)) << err_.str();
    EXPECT_EQ(expected, Entries(Output()));
    EXPECT_TRUE(OutHas("lowest version:   3.18.2.14000")) << out_.str();
    EXPECT_TRUE(OutHas("contents:         delta from 3.18.2.14000: 4 files carried ("))
        << out_.str();
    // Left alone: "old lib/core.dll" and "old web/index.html".
    EXPECT_TRUE(OutHas("), 2 left alone (34 bytes)")) << out_.str();
    ASSERT_EQ(kExitOk, Verify()) << err_.str();
    EXPECT_TRUE(OutHas("delta from 3.18.2.14000: 4 files carried")) << out_.str();
    EXPECT_TRUE(OutHas("4 entries")) << out_.str();

    // The same from the earlier release's full package.
    const fs::path oldPackage = root_ / "old-full.exe";
    ASSERT_EQ(kExitOk, PackFull(old_, oldPackage)) << err_.str();
    ASSERT_EQ(kExitOk, PackDelta(oldPackage)) << err_.str();
    EXPECT_EQ(expected, Entries(Output()));
    EXPECT_TRUE(OutHas("lowest version:   3.18.2.14000")) << out_.str();

    // A delta is no base for another delta: it lacks the files it left alone.
    fs::rename(Output(), root_ / "delta.exe");
    EXPECT_EQ(kExitFailed, PackDelta(root_ / "delta.exe"));
    EXPECT_TRUE(ErrHas("is itself a delta from 3.18.2.14000; give the full package")) << err_.str();
    ExpectNoOutput();
}

TEST_F(DeltaTest, LowestVersionIsTheBaseOrNewer) {
    ASSERT_EQ(kExitOk, PackDelta(old_, {"--lowest", "3.19.0"})) << err_.str();
    EXPECT_TRUE(OutHas("lowest version:   3.19.0.0")) << out_.str();
    fs::remove(Output());
    EXPECT_EQ(kExitFailed, PackDelta(old_, {"--lowest", "3.18.0.13170"}));
    EXPECT_TRUE(
        ErrHas("--lowest 3.18.0.13170 is older than 3.18.2.14000: a delta cannot update "
               "clients older than the release it is made from"))
        << err_.str();
    ExpectNoOutput();
    // The base must be older than the suite.
    Write(old_ / "tideboard3.exe", Read(Fixture("gui.exe")));
    EXPECT_EQ(kExitFailed, PackDelta(old_));
    EXPECT_TRUE(ErrHas("its version 3.19.3.15504 is not older than the suite's 3.19.3.15504"))
        << err_.str();
    ExpectNoOutput();
}

TEST_F(DeltaTest, FilesLeftOverAreRefusedUnlessAllowed) {
    Write(old_ / "web" / "old.html", "gone in the new release");
    EXPECT_EQ(kExitFailed, PackDelta(old_));
    EXPECT_TRUE(ErrHas("web\\old.html is not in the suite; the installer does not remove files"))
        << err_.str();
    EXPECT_TRUE(
        ErrHas("1 files of the earlier release would stay installed; give "
               "--allow-leftovers"))
        << err_.str();
    ExpectNoOutput();
    ASSERT_EQ(kExitOk, PackDelta(old_, {"--allow-leftovers"})) << err_.str();
    EXPECT_TRUE(OutHas("  left over:        web\\old.html")) << out_.str();
    ASSERT_EQ(kExitOk, Verify()) << err_.str();
    EXPECT_TRUE(OutHas("1 of 3.18.2.14000's files left over in the installation")) << out_.str();
}

TEST_F(DeltaTest, VerifyRefusesADeltaWhoseLowestIsBelowItsBase) {
    ASSERT_EQ(kExitOk, PackDelta(old_)) << err_.str();
    const std::string package = Read(Output());
    const uint32_t dataSize = LittleEndianAt(package, package.size() - 8);
    const std::string archive = package.substr(package.size() - 8 - dataSize, dataSize);
    EXPECT_EQ(kExitFailed,
              VerifyBytes(Assemble(Stamped("gui.exe", "3.19.3.15504", "3.18.0.13170"), archive)));
    EXPECT_TRUE(
        ErrHas("it is a delta from 3.18.2.14000, but its lowest updatable version "
               "3.18.0.13170 is older"))
        << err_.str();
}

TEST_F(DeltaTest, CommandLine) {
    const std::string suite = (root_ / "suite").string();
    EXPECT_EQ(kExitUsage, Run({"--installer", installer_.string(), "--suite", suite, "--output",
                               Output().string(), "--allow-leftovers", "--lowest", "3.18"}));
    EXPECT_TRUE(ErrHas("--allow-leftovers needs --since")) << err_.str();
    EXPECT_EQ(kExitUsage, Run({"--verify", Output().string(), "--since", old_.string()}));
    EXPECT_EQ(kExitFailed, PackDelta(root_ / "missing"));
    EXPECT_TRUE(ErrHas("--since names neither a suite folder nor a package")) << err_.str();
    ExpectNoOutput();
}

}  // namespace
