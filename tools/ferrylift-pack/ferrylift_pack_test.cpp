#include <gtest/gtest.h>
#include <unistd.h>
#include <unzip.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pack.h"

namespace fs = std::filesystem;
using ferrylift_pack::kExitFailed;
using ferrylift_pack::kExitOk;
using ferrylift_pack::kExitRefused;

namespace {

class PackTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("ferrylift-pack-test-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "suite");
        installer_ = root_ / "ferrylift";
        Write(installer_, std::string("MZ installer program\0bytes", 26));
        Write(root_ / "suite" / "tideboard3.exe", "client");
    }
    void TearDown() override { fs::remove_all(root_); }

    static void Write(const fs::path& path, const std::string& bytes) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    int Run(const std::vector<std::string>& args) {
        out_.str("");
        err_.str("");
        return ferrylift_pack::Run(args, out_, err_);
    }
    int Pack() {
        return Run({"--installer", installer_.string(), "--suite", (root_ / "suite").string(),
                    "--output", Output().string()});
    }
    int Verify() { return Run({"--verify", Output().string()}); }
    fs::path Output() const { return root_ / "package.exe"; }
    // Leaves nothing behind at the output, not even the partial files.
    void ExpectNoOutput() {
        EXPECT_FALSE(fs::exists(Output()));
        EXPECT_FALSE(fs::exists(root_ / "package.exe.part"));
        EXPECT_FALSE(fs::exists(root_ / "package.exe.zip.part"));
    }

    fs::path root_;
    fs::path installer_;
    std::ostringstream out_;
    std::ostringstream err_;
};

uint32_t LittleEndianAt(const std::string& bytes, size_t offset) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

TEST_F(PackTest, PackageHoldsInstallerSortedDeflatedArchiveAndTrailer) {
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text += "line " + std::to_string(i) + " of compressible text\n";
    }
    Write(root_ / "suite" / "frame" / "js" / "marking" / "marking.js", text);
    Write(root_ / "suite" / "Mirrorpane.exe", "mirror");
    Write(root_ / "suite" / "web" / "页面.html", "<html/>");
    fs::create_directories(root_ / "suite" / "empty");

    ASSERT_EQ(kExitOk, Pack()) << err_.str();
    std::string package = Read(Output());
    ASSERT_GT(package.size(), 34u);
    uint32_t dataSize = LittleEndianAt(package, package.size() - 8);
    uint32_t total = LittleEndianAt(package, package.size() - 4);
    EXPECT_EQ(package.size(), total);
    std::string installer = Read(installer_);
    ASSERT_EQ(installer.size() + dataSize + 8, package.size());
    EXPECT_EQ(installer, package.substr(0, installer.size()));

    // The archive alone, as the installer writes it to its temporary file.
    fs::path archive = root_ / "archive.zip";
    Write(archive, package.substr(installer.size(), dataSize));
    unzFile zip = unzOpen64(archive.string().c_str());
    ASSERT_NE(nullptr, zip);
    std::vector<std::string> names;
    for (int step = unzGoToFirstFile(zip); step == UNZ_OK; step = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        char name[300];
        ASSERT_EQ(UNZ_OK,
                  unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0));
        EXPECT_EQ(static_cast<uLong>(Z_DEFLATED), info.compression_method) << name;
        bool nonAscii = std::string(name).find("页") != std::string::npos;
        EXPECT_EQ(nonAscii, (info.flag & 0x800) != 0) << name;
        names.push_back(name);
    }
    unzClose(zip);
    std::vector<std::string> expected = {"Mirrorpane.exe", "frame\\js\\marking\\marking.js",
                                         "tideboard3.exe", "web\\页面.html"};
    EXPECT_EQ(expected, names);

    EXPECT_EQ(kExitOk, Verify()) << err_.str();
    EXPECT_NE(std::string::npos, out_.str().find("4 entries")) << out_.str();
}

TEST_F(PackTest, RefusesWhatThePackageFormatCannotCarry) {
    // The client must be at the top level, not in a subfolder.
    fs::remove(root_ / "suite" / "tideboard3.exe");
    Write(root_ / "suite" / "bin" / "tideboard3.exe", "client");
    EXPECT_EQ(kExitRefused, Pack());
    EXPECT_NE(std::string::npos, err_.str().find("no top-level tideboard3.exe")) << err_.str();
    ExpectNoOutput();
    Write(root_ / "suite" / "tideboard3.exe", "client");

    // A sparse file of exactly 2 GiB is refused before anything is read.
    fs::path big = root_ / "suite" / "big.dat";
    { std::ofstream(big, std::ios::binary); }
    fs::resize_file(big, uint64_t{1} << 31);
    EXPECT_EQ(kExitRefused, Pack());
    EXPECT_NE(std::string::npos, err_.str().find("2 GiB")) << err_.str();
    ExpectNoOutput();
    fs::resize_file(big, (uint64_t{1} << 31) - 1);
    fs::remove(big);

    // Installer and archive together beyond the signed 32-bit total.
    fs::resize_file(installer_, (uint64_t{1} << 31) - 100);
    EXPECT_EQ(kExitRefused, Pack());
    EXPECT_NE(std::string::npos, err_.str().find("at most")) << err_.str();
    ExpectNoOutput();
}

TEST_F(PackTest, RefusesBadCommandLines) {
    std::string suite = (root_ / "suite").string();
    EXPECT_EQ(kExitRefused, Run({}));
    EXPECT_EQ(kExitRefused, Run({"--installer", installer_.string(), "--suite", suite}));
    EXPECT_EQ(kExitRefused, Run({"--installer"}));
    EXPECT_EQ(kExitRefused, Run({"--bogus", "x"}));
    EXPECT_EQ(kExitRefused, Run({"--suite", suite, "--suite", suite}));
    EXPECT_EQ(kExitRefused, Run({"--verify", Output().string(), "--suite", suite}));
    EXPECT_NE(std::string::npos, err_.str().find("usage:"));
    EXPECT_EQ(kExitRefused, Run({"--installer", (root_ / "missing").string(), "--suite", suite,
                                 "--output", Output().string()}));
    ExpectNoOutput();
}

TEST_F(PackTest, VerifyRejectsDamagedPackages) {
    ASSERT_EQ(kExitOk, Pack()) << err_.str();
    std::string good = Read(Output());
    const size_t end = good.size();

    std::string wrongTotal = good;
    wrongTotal[end - 4] = static_cast<char>(wrongTotal[end - 4] + 1);
    Write(Output(), wrongTotal);
    EXPECT_EQ(kExitFailed, Verify());
    EXPECT_NE(std::string::npos, err_.str().find("differs from the file size")) << err_.str();

    std::string oversized = good;
    oversized[end - 5] = '\x7f';  // dataSize far beyond the file
    Write(Output(), oversized);
    EXPECT_EQ(kExitFailed, Verify());
    EXPECT_NE(std::string::npos, err_.str().find("exceeds the file")) << err_.str();

    // A changed stored CRC (bytes 14..17 of the first local header) makes the entry fail.
    std::string badCrc = good;
    size_t local = Read(installer_).size();
    ASSERT_EQ("PK", badCrc.substr(local, 2));
    size_t central = badCrc.find(std::string("PK\x01\x02", 4), local);
    ASSERT_NE(std::string::npos, central);
    badCrc[local + 14] = static_cast<char>(badCrc[local + 14] ^ 0xff);
    badCrc[central + 16] = static_cast<char>(badCrc[central + 16] ^ 0xff);
    Write(Output(), badCrc);
    EXPECT_EQ(kExitFailed, Verify());
    EXPECT_NE(std::string::npos, err_.str().find("wrong CRC")) << err_.str();

    Write(Output(), "short");
    EXPECT_EQ(kExitFailed, Verify());
}

}  // namespace
