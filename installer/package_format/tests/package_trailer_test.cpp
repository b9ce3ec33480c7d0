// The package format: trailer, alignment, the signed-package rule, and the installer reading
// a signed package's archive through it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/update.h"
#include "package_format/package_trailer.h"
#include "pe/little_endian.h"

namespace fs = std::filesystem;
using namespace package_format;

namespace {

void Put32(std::string* bytes, size_t at, uint32_t value) {
    little_endian::Write32(value, reinterpret_cast<uint8_t*>(&(*bytes)[at]));
}

// The headers of a PE program as the loader and signing tools read them, with the security
// directory (data directory 4) set as given. magic 0x20b: PE32+, 0x10b: PE32.
std::string PeHeaders(uint16_t magic, uint32_t securityOffset, uint32_t securitySize) {
    const bool plus = magic == 0x20b;
    const size_t optionalSize = plus ? 240 : 224;
    std::string bytes(0x40 + 24 + optionalSize, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    Put32(&bytes, 0x3c, 0x40);
    bytes.replace(0x40, 4, std::string("PE\0\0", 4));
    little_endian::Write16(plus ? 0x8664 : 0x14c, reinterpret_cast<uint8_t*>(&bytes[0x44]));
    little_endian::Write16(static_cast<uint16_t>(optionalSize),
                           reinterpret_cast<uint8_t*>(&bytes[0x44 + 16]));
    const size_t optional = 0x40 + 24;
    little_endian::Write16(magic, reinterpret_cast<uint8_t*>(&bytes[optional]));
    const size_t directories = optional + (plus ? 112 : 96);
    Put32(&bytes, directories - 4, 16);
    Put32(&bytes, directories + 4 * 8, securityOffset);
    Put32(&bytes, directories + 4 * 8 + 4, securitySize);
    return bytes;
}

std::string Trailer(uint32_t dataSize, uint32_t total) {
    uint8_t bytes[kTrailerSize];
    EncodeTrailer({dataSize, total}, bytes);
    return std::string(reinterpret_cast<char*>(bytes), kTrailerSize);
}

uint32_t SignatureOf(const std::string& file) {
    return SignatureSize(reinterpret_cast<const uint8_t*>(file.data()),
                         std::min<size_t>(file.size(), kHeaderProbeSize), file.size());
}

// program + archive + trailer, then a certificate table the security directory points at,
// as a signing tool appends it.
struct Package {
    std::string bytes;
    std::string archive;
    uint32_t total = 0;
};

Package MakePackage(bool sign, uint16_t magic = 0x20b) {
    Package package;
    package.archive = "PK\x05\x06 an archive's bytes";
    std::string program = PeHeaders(magic, 0, 0) + "program";
    program.resize(program.size() + AlignmentPadding(program.size(), package.archive.size()), '\0');
    package.total = static_cast<uint32_t>(program.size() + package.archive.size() + kTrailerSize);
    package.bytes = program + package.archive +
                    Trailer(static_cast<uint32_t>(package.archive.size()), package.total);
    if (sign) {
        const std::string table =
            std::string("\x28\x00\x00\x00\x00\x02\x02\x00", 8) + std::string(32, 's');
        const std::string headers =
            PeHeaders(magic, package.total, static_cast<uint32_t>(table.size()));
        package.bytes.replace(0, headers.size(), headers);
        package.bytes += table;
    }
    return package;
}

TEST(PackageTrailerTest, TrailerRoundTripAndArchiveBounds) {
    const std::string bytes = Trailer(0x01020304u, 0x7f000010u);
    EXPECT_EQ(std::string("\x04\x03\x02\x01\x10\x00\x00\x7f", 8), bytes);
    const package_format::Trailer back =
        DecodeTrailer(reinterpret_cast<const uint8_t*>(bytes.data()));
    EXPECT_EQ(0x01020304u, back.dataSize);
    EXPECT_EQ(0x7f000010u, back.total);

    EXPECT_TRUE(ArchiveFits(92, 100));
    EXPECT_FALSE(ArchiveFits(93, 100));
    EXPECT_TRUE(ArchiveFits(0, 8));
    EXPECT_FALSE(ArchiveFits(0, 7));
    // A total the installer reads as negative leaves room for nothing.
    EXPECT_FALSE(ArchiveFits(0, 0x80000000u));
}

TEST(PackageTrailerTest, PaddingMakesEveryPackageAMultipleOfEight) {
    for (uint64_t program = 0; program < 16; ++program) {
        for (uint64_t archive = 0; archive < 16; ++archive) {
            const uint32_t padding = AlignmentPadding(program, archive);
            EXPECT_LT(padding, 8u);
            EXPECT_EQ(0u, (program + padding + archive + kTrailerSize) % 8)
                << program << " " << archive;
        }
    }
}

TEST(PackageTrailerTest, SignatureCountsOnlyWhenItsTableEndsTheFile) {
    for (uint16_t magic : {uint16_t{0x20b}, uint16_t{0x10b}}) {
        const Package signedPackage = MakePackage(true, magic);
        EXPECT_EQ(40u, SignatureOf(signedPackage.bytes)) << magic;
        // A byte added after signing: the table no longer ends the file.
        EXPECT_EQ(0u, SignatureOf(signedPackage.bytes + "x")) << magic;
        EXPECT_EQ(0u, SignatureOf(MakePackage(false, magic).bytes)) << magic;
    }
    // Not a PE file, or headers cut short.
    EXPECT_EQ(0u, SignatureOf(std::string(64, 'x')));
    const std::string headers = PeHeaders(0x20b, 0x200, 0x40);
    EXPECT_EQ(0u, SignatureOf(headers.substr(0, 0x60)));
}

TEST(PackageTrailerTest, LayoutOfUnsignedAndSignedPackages) {
    const fs::path path = fs::temp_directory_path() / "package-format-layout-test.bin";
    auto layoutOf = [&](const std::string& bytes, Layout* layout) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        std::FILE* file = std::fopen(path.string().c_str(), "rb");
        EXPECT_NE(nullptr, file);
        LayoutStatus status = ReadLayout(file, bytes.size(), layout);
        std::fclose(file);
        return status;
    };
    for (bool sign : {false, true}) {
        const Package package = MakePackage(sign);
        Layout layout;
        ASSERT_EQ(LayoutStatus::kOk, layoutOf(package.bytes, &layout)) << sign;
        EXPECT_EQ(sign ? 40u : 0u, layout.signatureSize);
        EXPECT_EQ(package.total, layout.trailer.total);
        EXPECT_EQ(package.archive, package.bytes.substr(static_cast<size_t>(layout.archiveOffset),
                                                        layout.trailer.dataSize));
    }
    Layout layout;
    EXPECT_EQ(LayoutStatus::kTotalMismatch, layoutOf(MakePackage(false).bytes + "x", &layout));
    EXPECT_EQ(LayoutStatus::kTotalMismatch, layoutOf(MakePackage(true).bytes + "x", &layout));
    std::string tooLarge = MakePackage(false).bytes;
    Put32(&tooLarge, tooLarge.size() - 8, static_cast<uint32_t>(tooLarge.size()));
    EXPECT_EQ(LayoutStatus::kArchiveTooLarge, layoutOf(tooLarge, &layout));
    EXPECT_EQ(LayoutStatus::kTooShort, layoutOf("short", &layout));
    fs::remove(path);
}

std::string g_modulePath;
std::string ModulePathForTest() {
    return g_modulePath;
}

// The installer's own reading: a signed package gives the same archive as the unsigned one;
// a signed one whose total counts the certificate table is refused.
TEST(PackageTrailerTest, InstallerReadsTheArchiveOfASignedPackage) {
    g_modulePath = (fs::temp_directory_path() / "package-format-read-test.exe").string();
    Update::SetModulePathSource(ModulePathForTest);
    auto read = [&](const std::string& bytes, std::vector<uint8_t>* data) {
        std::ofstream(g_modulePath, std::ios::binary | std::ios::trunc) << bytes;
        std::FILE* file = std::fopen(g_modulePath.c_str(), "rb");
        EXPECT_NE(nullptr, file);
        bool ok = Update::ReadFileToData(file, data);
        std::fclose(file);
        return ok;
    };
    for (bool sign : {false, true}) {
        const Package package = MakePackage(sign);
        std::vector<uint8_t> data;
        ASSERT_TRUE(read(package.bytes, &data)) << sign;
        EXPECT_EQ(package.archive, std::string(data.begin(), data.end())) << sign;
    }
    Package wrong = MakePackage(true);
    Put32(&wrong.bytes, wrong.total - 4, static_cast<uint32_t>(wrong.bytes.size()));
    std::vector<uint8_t> data;
    EXPECT_FALSE(read(wrong.bytes, &data));
    fs::remove(g_modulePath);
}

}  // namespace
