#include <gtest/gtest.h>
#include <unistd.h>
#include <unzip.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pack_test_support.h"

namespace {

using namespace pack_test;

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
    // The program part: the installer (its version resource rewritten, same size here) and
    // zeros that make the package's length a multiple of 8.
    std::string installer = Read(installer_);
    const size_t programSize = package.size() - 8 - dataSize;
    ASSERT_GE(programSize, installer.size());
    EXPECT_LT(programSize - installer.size(), 8u);
    EXPECT_EQ(0u, package.size() % 8);
    EXPECT_EQ(std::string(programSize - installer.size(), '\0'),
              package.substr(installer.size(), programSize - installer.size()));
    EXPECT_EQ("MZ", package.substr(0, 2));

    // The archive alone, as the installer writes it to its temporary file.
    fs::path archive = root_ / "archive.zip";
    Write(archive, package.substr(programSize, dataSize));
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
    fs::create_directories(root_ / "suite" / "bin");
    fs::rename(root_ / "suite" / "tideboard3.exe", root_ / "suite" / "bin" / "tideboard3.exe");
    EXPECT_EQ(kExitFailed, Pack());
    EXPECT_NE(std::string::npos, err_.str().find("no top-level tideboard3.exe")) << err_.str();
    ExpectNoOutput();
    fs::rename(root_ / "suite" / "bin" / "tideboard3.exe", root_ / "suite" / "tideboard3.exe");

    // A sparse file of exactly 2 GiB is refused before anything is read.
    fs::path big = root_ / "suite" / "big.dat";
    { std::ofstream(big, std::ios::binary); }
    fs::resize_file(big, uint64_t{1} << 31);
    EXPECT_EQ(kExitFailed, Pack());
    EXPECT_NE(std::string::npos, err_.str().find("2 GiB")) << err_.str();
    ExpectNoOutput();
    fs::resize_file(big, (uint64_t{1} << 31) - 1);
    fs::remove(big);

    // Installer and archive together beyond the signed 32-bit total.
    fs::resize_file(installer_, (uint64_t{1} << 31) - 100);
    EXPECT_EQ(kExitFailed, Pack());
    EXPECT_NE(std::string::npos, err_.str().find("at most")) << err_.str();
    ExpectNoOutput();
}

TEST_F(PackTest, RefusesBadCommandLines) {
    std::string suite = (root_ / "suite").string();
    EXPECT_EQ(kExitUsage, Run({}));
    EXPECT_EQ(kExitUsage, Run({"--installer", installer_.string(), "--suite", suite}));
    EXPECT_EQ(kExitUsage, Run({"--installer"}));
    EXPECT_EQ(kExitUsage, Run({"--bogus", "x"}));
    EXPECT_EQ(kExitUsage, Run({"--suite", suite, "--suite", suite}));
    EXPECT_EQ(kExitUsage, Run({"--verify", Output().string(), "--suite", suite}));
    EXPECT_NE(std::string::npos, err_.str().find("usage:"));
    // Packing needs the lowest updatable version, and it must be a version.
    EXPECT_EQ(kExitUsage, Run({"--installer", installer_.string(), "--suite", suite, "--output",
                               Output().string()}));
    EXPECT_EQ(kExitUsage, Run({"--installer", installer_.string(), "--suite", suite, "--lowest",
                               "3.18.beta", "--output", Output().string()}));
    EXPECT_NE(std::string::npos, err_.str().find("--lowest 3.18.beta")) << err_.str();
    EXPECT_EQ(kExitUsage, Run({"--installer", installer_.string(), "--suite", suite, "--lowest",
                               "3.18.0.65536", "--output", Output().string()}));
    ExpectNoOutput();
    EXPECT_EQ(kExitFailed, Run({"--installer", (root_ / "missing").string(), "--suite", suite,
                                "--lowest", "3.18.0.13170", "--output", Output().string()}));
    EXPECT_NE(std::string::npos, err_.str().find((root_ / "missing").string() + ": "))
        << err_.str();
    ExpectNoOutput();

    // Help and version on every mode, on standard output, with success.
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--help"},
                                               {"--verify", Output().string(), "--help"},
                                               {"--installer", "x", "--help"}}) {
        EXPECT_EQ(kExitOk, Run(args));
        EXPECT_NE(std::string::npos, out_.str().find("usage: ferrylift-pack")) << out_.str();
        EXPECT_NE(std::string::npos, out_.str().find("--lowest")) << out_.str();
        EXPECT_EQ("", err_.str());
    }
    EXPECT_EQ(kExitOk, Run({"--verify", Output().string(), "--version"}));
    EXPECT_EQ(0u, out_.str().find("ferrylift-pack ")) << out_.str();
}

TEST_F(PackTest, VerifyRejectsDamagedPackages) {
    ASSERT_EQ(kExitOk, Pack()) << err_.str();
    std::string good = Read(Output());
    const size_t end = good.size();

    std::string wrongTotal = good;
    wrongTotal[end - 4] = static_cast<char>(wrongTotal[end - 4] + 1);
    Write(Output(), wrongTotal);
    EXPECT_EQ(kExitFailed, Verify());
    EXPECT_NE(std::string::npos, err_.str().find("is not a package: its trailer's total"))
        << err_.str();

    std::string oversized = good;
    oversized[end - 5] = '\x7f';  // dataSize far beyond the file
    Write(Output(), oversized);
    EXPECT_EQ(kExitFailed, Verify());
    EXPECT_NE(std::string::npos, err_.str().find("exceeds the file")) << err_.str();

    // A changed stored CRC (bytes 14..17 of the first local header) makes the entry fail.
    std::string badCrc = good;
    size_t local = end - 8 - LittleEndianAt(good, end - 8);
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
