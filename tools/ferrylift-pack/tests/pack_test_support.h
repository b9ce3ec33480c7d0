// Shared by the packager tests: a scratch folder with a suite and an installer (real Windows
// programs built for the tests), and packages assembled by hand for what the packager itself
// refuses to make.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>
#include <zip.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pack.h"
#include "version_stamp.h"

namespace pack_test {

namespace fs = std::filesystem;
using ferrylift_pack::kExitFailed;
using ferrylift_pack::kExitOk;
using ferrylift_pack::kExitUsage;

inline fs::path Fixture(const char* name) {
    return fs::path(PACK_TEST_FIXTURES) / name;
}

inline void Write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline uint32_t LittleEndianAt(const std::string& bytes, size_t offset) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

inline std::string LittleEndian32(uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i) {
        out += static_cast<char>(value >> (8 * i));
    }
    return out;
}

// A Windows program with the version resource of the test installer, its versions rewritten.
inline std::string Stamped(const char* fixture, const std::string& carried,
                           const std::string& lowest) {
    std::string bytes = Read(Fixture(fixture));
    std::vector<uint8_t> image(bytes.begin(), bytes.end());
    std::string reason;
    EXPECT_TRUE(ferrylift_pack::StampVersions(&image, carried, lowest, &reason)) << reason;
    return std::string(image.begin(), image.end());
}

struct ZipEntry {
    std::string name;  // as stored
    std::string data;
    bool utf8 = false;
};

// A deflated archive with exactly these names, made with the same library as the packager.
inline std::string MakeZip(const fs::path& scratch, const std::vector<ZipEntry>& entries) {
    zipFile zip = zipOpen64(scratch.c_str(), APPEND_STATUS_CREATE);
    EXPECT_NE(nullptr, zip);
    for (const ZipEntry& entry : entries) {
        zip_fileinfo info{};
        info.tmz_date = {0, 30, 6, 1, 0, 2024};
        EXPECT_EQ(ZIP_OK, zipOpenNewFileInZip4_64(
                              zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                              Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                              Z_DEFAULT_STRATEGY, nullptr, 0, 0, entry.utf8 ? 0x800 : 0, 0));
        EXPECT_EQ(ZIP_OK, zipWriteInFileInZip(zip, entry.data.data(),
                                              static_cast<unsigned>(entry.data.size())));
        EXPECT_EQ(ZIP_OK, zipCloseFileInZip(zip));
    }
    EXPECT_EQ(ZIP_OK, zipClose(zip, nullptr));
    std::string bytes = Read(scratch);
    fs::remove(scratch);
    return bytes;
}

// program + archive + trailer, as an old packer (or a hand) would put them together.
inline std::string Assemble(const std::string& program, const std::string& archive) {
    const uint32_t total = static_cast<uint32_t>(program.size() + archive.size() + 8);
    return program + archive + LittleEndian32(static_cast<uint32_t>(archive.size())) +
           LittleEndian32(total);
}

class PackTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("ferrylift-pack-test-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "suite");
        installer_ = root_ / "ferrylift.exe";
        fs::copy_file(Fixture("gui.exe"), installer_);
        fs::copy_file(Fixture("gui.exe"), root_ / "suite" / "tideboard3.exe");
    }
    void TearDown() override { fs::remove_all(root_); }

    int Run(const std::vector<std::string>& args) {
        out_.str("");
        err_.str("");
        return ferrylift_pack::Run(args, out_, err_);
    }
    int Pack(const std::string& lowest = "3.18.0.13170") {
        return Run({"--installer", installer_.string(), "--suite", (root_ / "suite").string(),
                    "--lowest", lowest, "--output", Output().string()});
    }
    int Verify() { return Run({"--verify", Output().string()}); }
    int VerifyBytes(const std::string& package) {
        Write(Output(), package);
        return Verify();
    }
    fs::path Output() const { return root_ / "package.exe"; }
    // Leaves nothing behind at the output, not even the partial files.
    void ExpectNoOutput() {
        EXPECT_FALSE(fs::exists(Output()));
        EXPECT_FALSE(fs::exists(root_ / "package.exe.part"));
        EXPECT_FALSE(fs::exists(root_ / "package.exe.zip.part"));
        EXPECT_FALSE(fs::exists(root_ / "package.exe.signed.part"));
    }
    bool ErrHas(const std::string& text) const {
        return err_.str().find(text) != std::string::npos;
    }
    bool OutHas(const std::string& text) const {
        return out_.str().find(text) != std::string::npos;
    }

    fs::path root_;
    fs::path installer_;
    std::ostringstream out_;
    std::ostringstream err_;
};

}  // namespace pack_test
