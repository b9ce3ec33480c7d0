// Writing the versions into an installer's version resource, read back with the installer's
// own reader.
#include "files.h"
#include "pack_test_support.h"
#include "package_format/package_trailer.h"
#include "support/file_version_info.h"

namespace {

using namespace pack_test;

ferrylift_pack::FileVersions VersionsOf(const std::string& bytes, const fs::path& scratch) {
    Write(scratch, bytes);
    ferrylift_pack::FileVersions versions;
    EXPECT_TRUE(ferrylift_pack::ReadFileVersions(scratch, &versions));
    return versions;
}

uint16_t SectionCount(const std::string& image) {
    size_t pe = LittleEndianAt(image, 0x3c);
    return static_cast<uint16_t>(static_cast<unsigned char>(image[pe + 6]) |
                                 static_cast<unsigned char>(image[pe + 7]) << 8);
}

TEST(VersionStampTest, VersionTexts) {
    uint16_t fields[4];
    ASSERT_TRUE(ferrylift_pack::ParseVersionText("3.19.3.15504", fields));
    EXPECT_EQ(3, fields[0]);
    EXPECT_EQ(15504, fields[3]);
    ASSERT_TRUE(ferrylift_pack::ParseVersionText("3.18", fields));
    EXPECT_EQ(18, fields[1]);
    EXPECT_EQ(0, fields[2]);
    ASSERT_TRUE(ferrylift_pack::ParseVersionText("65535.0.0.1", fields));
    for (const char* bad : {"", "3.19.3.15504.1", "3..1", "3.19.", "65536", "3,19,3,1", "3.19 beta",
                            "-1.0", "100000"}) {
        EXPECT_FALSE(ferrylift_pack::ParseVersionText(bad, fields)) << bad;
    }
}

TEST(VersionStampTest, RewrittenInPlaceWhenTheTextsFit) {
    const fs::path scratch =
        fs::temp_directory_path() / ("stamp-test-" + std::to_string(::getpid()) + "-in-place.exe");
    const std::string original = Read(Fixture("gui.exe"));
    const std::string stamped = Stamped("gui.exe", "3.19.4.100", "3.18.2.1");
    EXPECT_EQ(original.size(), stamped.size());
    EXPECT_EQ(SectionCount(original), SectionCount(stamped));
    ferrylift_pack::FileVersions versions = VersionsOf(stamped, scratch);
    EXPECT_EQ("3.19.4.100", versions.productVersion);
    EXPECT_EQ("3.18.2.1", versions.fixedFileVersion);
    // The other texts stay, as the installer reads all eight.
    FileVersionInfo info;
    const std::string name = scratch.string();
    info.setFileName(std::u16string(name.begin(), name.end()));
    ASSERT_TRUE(info.Read());
    EXPECT_EQ(u"Tideboard update installer", info.FileDescription);
    EXPECT_EQ(u"3.18.2.1", info.FileVersion);
    EXPECT_EQ(u"3,19,4,100", info.fixedProductVersion());
    fs::remove(scratch);
}

TEST(VersionStampTest, GrowingResourceMovesIntoAnAddedSection) {
    const fs::path scratch =
        fs::temp_directory_path() / ("stamp-test-" + std::to_string(::getpid()) + "-grown.exe");
    const std::string original = Read(Fixture("gui.exe"));
    const std::string stamped = Stamped("gui.exe", "3.19.30000.15504", "03.18.00000.13170");
    EXPECT_EQ(SectionCount(original) + 1, SectionCount(stamped));
    EXPECT_GT(stamped.size(), original.size());
    ferrylift_pack::FileVersions versions = VersionsOf(stamped, scratch);
    EXPECT_EQ("3.19.30000.15504", versions.productVersion);
    EXPECT_EQ("3.18.0.13170", versions.fixedFileVersion);
    // Still the same kind of program, and stamping again fits in place.
    package_format::PeHeaders pe;
    ASSERT_TRUE(package_format::ParsePeHeaders(reinterpret_cast<const uint8_t*>(stamped.data()),
                                               stamped.size(), &pe));
    EXPECT_EQ(2, pe.subsystem);
    std::vector<uint8_t> again(stamped.begin(), stamped.end());
    std::string reason;
    ASSERT_TRUE(ferrylift_pack::StampVersions(&again, "3.19.3.15504", "3.18.0.13170", &reason));
    EXPECT_EQ(stamped.size(), again.size());
    EXPECT_EQ("3.19.3.15504",
              VersionsOf(std::string(again.begin(), again.end()), scratch).productVersion);
    fs::remove(scratch);
}

TEST(VersionStampTest, PosixBuildIsRewrittenInPlaceOnly) {
    const fs::path scratch =
        fs::temp_directory_path() / ("stamp-test-" + std::to_string(::getpid()) + "-elf");
    const std::string elf = Read(PACK_TEST_POSIX_INSTALLER);
    std::vector<uint8_t> image(elf.begin(), elf.end());
    std::string reason;
    ASSERT_TRUE(ferrylift_pack::StampVersions(&image, "3.19.3.9", "3.18.0.1", &reason)) << reason;
    EXPECT_EQ(elf.size(), image.size());
    EXPECT_EQ("3.19.3.9",
              VersionsOf(std::string(image.begin(), image.end()), scratch).productVersion);
    EXPECT_FALSE(ferrylift_pack::StampVersions(&image, "30000.19000.30000.15504",
                                               "30000.18000.00000.13170", &reason));
    EXPECT_NE(std::string::npos, reason.find("no room")) << reason;
    // A program without a resource cannot take the versions.
    const std::string plain = Read(Fixture("plain.exe"));
    std::vector<uint8_t> bare(plain.begin(), plain.end());
    EXPECT_FALSE(ferrylift_pack::StampVersions(&bare, "3.19.3.15504", "3.18.0.13170", &reason));
    EXPECT_EQ("it has no version resource", reason);
    fs::remove(scratch);
}

}  // namespace
