#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/version_resource.h"
#include "support/file_helpers.h"
#include "support/file_version_info.h"

namespace {

TEST(CompareVersion, OrdersNumericallyAcrossDelimiters) {
    EXPECT_EQ(CompareVersion(u"1.2.3.4", u"1.2.3.10"), -1);
    EXPECT_EQ(CompareVersion(u"2", u"1.9.9.9"), 1);
    EXPECT_EQ(CompareVersion(u"1.2.3.4.5", u"1.2.3.4"), 0);
    EXPECT_EQ(CompareVersion(u"", u"0.0.0.0"), 0);
    EXPECT_EQ(CompareVersion(u"3.1.20.7", u"3,1,20,7"), 0);
    EXPECT_EQ(CompareVersion(u"3.1", u"3.1.0.0"), 0);
    EXPECT_EQ(CompareVersion(u"3.10", u"3.9"), 1);
    EXPECT_EQ(CompareVersion(u"3,18.0,13170", u"3.18.0.13169"), 1);
    EXPECT_EQ(CompareVersion(u"3.19.3.15504", u"3.19.3.15504"), 0);
}

TEST(ParseVersion, SkipsEmptyTokensAndKeepsMissingValues) {
    int32_t v[4] = {7, 7, 7, 7};
    ParseVersion(u"1,,2", v);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[1], 2);
    EXPECT_EQ(v[2], 7);
    EXPECT_EQ(v[3], 7);
    int32_t w[4] = {0, 0, 0, 0};
    ParseVersion(u"12abc.x.99999999999.-3", w);
    EXPECT_EQ(w[0], 12);
    EXPECT_EQ(w[1], 0);
    EXPECT_EQ(w[2], INT32_MAX);  // saturates, never overflows
    EXPECT_EQ(w[3], -3);
}

// A hand-laid VS_VERSIONINFO: root with fixed part, one string table, a translation table.
std::vector<uint8_t> MakeBlock(const char* table, uint16_t lang, uint16_t cp) {
    std::vector<uint8_t> out;
    auto u16 = [&](uint16_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto text = [&](const char* s) {
        for (; *s; ++s)
            u16(static_cast<uint8_t>(*s));
        u16(0);
    };
    auto pad = [&] {
        while (out.size() % 4)
            out.push_back(0);
    };
    auto patch = [&](size_t at) {
        const size_t n = out.size() - at;
        out[at] = static_cast<uint8_t>(n);
        out[at + 1] = static_cast<uint8_t>(n >> 8);
    };
    u16(0), u16(52), u16(0), text("VS_VERSION_INFO"), pad();
    const uint32_t fixed[13] = {0xfeef04bd, 0x10000, 0x00030001, 0x00140007, 0x00030013,
                                0x00033c90, 0x3f,    0,          0x40004,    1,
                                0,          0,       0};
    for (uint32_t f : fixed)
        u16(static_cast<uint16_t>(f)), u16(static_cast<uint16_t>(f >> 16));
    const size_t sfi = out.size();
    u16(0), u16(0), u16(1), text("StringFileInfo"), pad();
    const size_t tab = out.size();
    u16(0), u16(0), u16(1), text(table), pad();
    const size_t str = out.size();
    u16(0), u16(6), u16(1), text("ProductVersion"), pad(), text("3.1.2");
    patch(str), patch(tab), patch(sfi), pad();
    const size_t vfi = out.size();
    u16(0), u16(0), u16(1), text("VarFileInfo"), pad();
    const size_t var = out.size();
    u16(0), u16(4), u16(0), text("Translation"), pad(), u16(lang), u16(cp);
    patch(var), patch(vfi), patch(0);
    return out;
}

TEST(VersionBlock, FindsValuesCaseInsensitivelyAndRefusesMissingOnes) {
    const auto block = MakeBlock("080404b0", 0x0804, 0x04b0);
    const void* value = nullptr;
    uint32_t length = 0;
    ASSERT_TRUE(platform::QueryVersionBlock(block.data(), block.size(), u"\\", &value, &length));
    EXPECT_EQ(length, 52u);
    ASSERT_TRUE(platform::QueryVersionBlock(block.data(), block.size(),
                                            u"\\stringfileinfo\\080404B0\\ProductVersion", &value,
                                            &length));
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(value)), u"3.1.2");
    EXPECT_FALSE(platform::QueryVersionBlock(
        block.data(), block.size(), u"\\StringFileInfo\\080404b0\\FileVersion", &value, &length));
}

TEST(VersionBlock, RejectsEveryTruncationAndCorruptLengthWithoutOverRead) {
    const auto block = MakeBlock("080404b0", 0x0804, 0x04b0);
    const std::u16string path = u"\\StringFileInfo\\080404b0\\ProductVersion";
    for (size_t cut = 0; cut < block.size(); ++cut) {
        // An exact-size heap copy lets the sanitizer catch any read past the cut.
        std::vector<uint8_t> part(block.begin(), block.begin() + static_cast<long>(cut));
        const void* value = nullptr;
        uint32_t length = 0;
        if (platform::QueryVersionBlock(part.data(), part.size(), path, &value, &length)) {
            const auto* v = static_cast<const uint8_t*>(value);
            EXPECT_LE(v + 2 * length, part.data() + part.size());
        }
    }
    for (size_t at = 0; at + 1 < block.size(); at += 2) {
        auto bad = block;
        bad[at] = 0xff;
        bad[at + 1] = 0xff;
        const void* value = nullptr;
        platform::QueryVersionBlock(bad.data(), bad.size(), path, &value, nullptr);
    }
}

TEST(VersionImage, RejectsImagesWithoutAResource) {
    size_t offset = 0, length = 0;
    const uint8_t zeros[256] = {};
    EXPECT_FALSE(platform::FindVersionResource(zeros, sizeof zeros, &offset, &length));
    uint8_t mz[256] = {'M', 'Z'};
    mz[0x3c] = 0xf0;  // PE header would lie past the end
    EXPECT_FALSE(platform::FindVersionResource(mz, sizeof mz, &offset, &length));
    EXPECT_EQ(platform::GetFileVersionInfoSize(u"no-such-file.exe"), 0u);
    FileVersionInfo info;
    info.setFileName(u"no-such-file.exe");
    EXPECT_FALSE(info.Read());
    EXPECT_TRUE(info.ProductVersion.empty());
    EXPECT_TRUE(info.fixedFileVersion().empty());
}

// This test program carries the same generated resource as Ferrylift; both backends must
// read it to the same values.
TEST(VersionImage, ReadsTheProgramsOwnResource) {
    FileVersionInfo info;
    info.setFileName(AnsiToWide(GetModulePath()));
    ASSERT_TRUE(info.Read());
    EXPECT_EQ(info.ProductVersion, u"" FERRYLIFT_TEST_PRODUCT_VERSION);
    EXPECT_EQ(info.FileVersion, u"" FERRYLIFT_TEST_FILE_VERSION);
    EXPECT_EQ(info.fixedFileVersion(), u"" FERRYLIFT_TEST_FILE_VERSION_COMMAS);
    EXPECT_EQ(info.fixedProductVersion(), u"" FERRYLIFT_TEST_PRODUCT_VERSION_COMMAS);
    EXPECT_EQ(info.CompanyName, u"Tideboard");
    EXPECT_EQ(info.OriginalFilename, u"version_info_test.exe");
}

}  // namespace
