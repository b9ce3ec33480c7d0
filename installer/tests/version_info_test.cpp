#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
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

// Each pair is checked both ways round, so an ordering that is not antisymmetric shows too.
TEST(CompareVersion, EdgeTextsCompareAsTheirFourNumbers) {
    struct Case {
        const char16_t* a;
        const char16_t* b;
        int expected;
    };
    const Case cases[] = {
        {u"1.2.3.4.9", u"1.2.3.4.1", 0},  // a fifth field never counts
        {u"1.2.3.4,5.6", u"1,2.3,4", 0},  // nor a sixth, with delimiters mixed
        {u"1.2.3.5.0", u"1.2.3.4.9", 1},  // the fourth decides before any later one
        {u"3,18.0,13170", u"3.18,0.13171", -1},
        {u"1.2", u"1.2.0.1", -1},           // missing fields are 0
        {u".1..2.", u"1.2", 0},             // empty tokens are skipped, not counted as 0
        {u"3.x.7", u"3.0.7", 0},            // non-numeric tokens are 0
        {u"3.1a.2", u"3.1.2", 0},           // leading digits count
        {u"-1", u"0", -1},                  // signed fields
        {u"2147483648", u"2147483647", 0},  // both saturate
        {u"0.65536", u"1", -1},             // fields are not packed into 16 bits
        {u"10", u"9.99", 1},
        {u"", u"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a, c.a + std::char_traits<char16_t>::length(c.a)) + " vs " +
                     std::string(c.b, c.b + std::char_traits<char16_t>::length(c.b)));
        EXPECT_EQ(CompareVersion(c.a, c.b), c.expected);
        EXPECT_EQ(CompareVersion(c.b, c.a), -c.expected);
    }
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

// Writes VS_VERSIONINFO blocks by hand: little-endian words, UTF-16 keys, 4-byte padding, and
// each block's length patched in once its children are written.
struct BlockWriter {
    std::vector<uint8_t> out;
    void U16(uint16_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    }
    void Text(const char* s) {
        for (; *s; ++s)
            U16(static_cast<uint8_t>(*s));
        U16(0);
    }
    void Pad() {
        while (out.size() % 4)
            out.push_back(0);
    }
    // Starts a block; returns where it begins for Close.
    size_t Open(uint16_t valueLength, uint16_t type, const char* key) {
        const size_t at = out.size();
        U16(0), U16(valueLength), U16(type), Text(key), Pad();
        return at;
    }
    void Close(size_t at) {
        const size_t n = out.size() - at;
        out[at] = static_cast<uint8_t>(n);
        out[at + 1] = static_cast<uint8_t>(n >> 8);
    }
    void Fixed() {
        const uint32_t fixed[13] = {0xfeef04bd, 0x10000, 0x00030001, 0x00140007, 0x00030013,
                                    0x00033c90, 0x3f,    0,          0x40004,    1,
                                    0,          0,       0};
        for (uint32_t f : fixed)
            U16(static_cast<uint16_t>(f)), U16(static_cast<uint16_t>(f >> 16));
    }
};

// Root with fixed part, one string table with "ProductVersion", a translation table.
std::vector<uint8_t> MakeBlock(const char* table, uint16_t lang, uint16_t cp) {
    BlockWriter w;
    const size_t root = w.Open(52, 0, "VS_VERSION_INFO");
    w.Fixed();
    const size_t sfi = w.Open(0, 1, "StringFileInfo");
    const size_t tab = w.Open(0, 1, table);
    const size_t str = w.Open(6, 1, "ProductVersion");
    w.Text("3.1.2");
    w.Close(str), w.Close(tab), w.Close(sfi), w.Pad();
    const size_t vfi = w.Open(0, 1, "VarFileInfo");
    const size_t var = w.Open(4, 0, "Translation");
    w.U16(lang), w.U16(cp);
    w.Close(var), w.Close(vfi), w.Close(root);
    return w.out;
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

// An ELF64 file whose ".ferrylift_version" section holds blob, the way the POSIX build carries
// its resource: header, blob, section names, three section headers (null, blob, names).
std::vector<uint8_t> ElfWith(const std::vector<uint8_t>& blob) {
    std::vector<uint8_t> out(64, 0);
    std::memcpy(out.data(),
                "\x7f"
                "ELF\x02\x01\x01",
                7);
    auto put = [&](size_t at, uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    const size_t blobAt = out.size();
    out.insert(out.end(), blob.begin(), blob.end());
    static const char kNames[] = "\0.shstrtab\0.ferrylift_version";
    const size_t namesAt = out.size();
    out.insert(out.end(), kNames, kNames + sizeof kNames);
    while (out.size() % 8)
        out.push_back(0);
    const size_t headers = out.size();
    out.resize(headers + 3 * 64, 0);
    put(headers + 64 + 0, 11, 4);  // ".ferrylift_version"
    put(headers + 64 + 4, 1, 4);   // SHT_PROGBITS
    put(headers + 64 + 0x18, blobAt, 8);
    put(headers + 64 + 0x20, blob.size(), 8);
    put(headers + 128 + 0, 1, 4);  // ".shstrtab"
    put(headers + 128 + 4, 3, 4);  // SHT_STRTAB
    put(headers + 128 + 0x18, namesAt, 8);
    put(headers + 128 + 0x20, sizeof kNames, 8);
    put(0x28, headers, 8);
    put(0x3a, 64, 2);
    put(0x3c, 3, 2);
    put(0x3e, 2, 2);
    return out;
}

// A text stored as binary data has no terminator; at the very end of the resource, reading it
// "to its terminator" ran past the buffer. It now ends with the buffer.
TEST(VersionImage, TextStoredAsBinaryAtTheEndStopsAtTheBuffer) {
    BlockWriter w;
    const size_t root = w.Open(52, 0, "VS_VERSION_INFO");
    w.Fixed();
    const size_t vfi = w.Open(0, 1, "VarFileInfo");
    const size_t var = w.Open(4, 0, "Translation");
    w.U16(0x0804), w.U16(0x04b0);
    w.Close(var), w.Close(vfi);
    const size_t sfi = w.Open(0, 1, "StringFileInfo");
    const size_t tab = w.Open(0, 1, "080404b0");
    const size_t str = w.Open(4, 0, "ProductVersion");  // type 0: four bytes, no terminator
    w.U16(u'v'), w.U16(u'1');
    w.Close(str), w.Close(tab), w.Close(sfi), w.Close(root);

    const std::string path = GetTempFolder() + "ferrylift-binary-text-" + NewGuidString() + ".elf";
    const auto elf = ElfWith(w.out);
    ASSERT_TRUE(FileWriteToEnd(path, elf.data(), static_cast<int32_t>(elf.size())));
    FileVersionInfo info;
    info.setFileName(AnsiToWide(path));
    const bool loaded = info.Load();
    std::u16string text;
    const bool found = loaded && info.QueryStringValue(u"ProductVersion", &text);
    std::remove(path.c_str());
#ifdef _WIN32
    (void)found;  // Windows does not read ELF files; the POSIX reader is what this is about
#else
    ASSERT_TRUE(found);
    EXPECT_EQ(text, u"v1");
#endif
}

// What FileVersionInfo gives for each PE fixture of version_fixtures.cmake. Natively this is our
// reader over the files, in the Windows build the system's own calls: both must match it.
struct ExpectedRead {
    const char* file;
    bool read;
    const char16_t* texts[8];  // FileDescription ... ProductVersion
    const char16_t* fixedFile;
    const char16_t* fixedProduct;
};

const ExpectedRead kFixtures[] = {
    {"full.exe",
     true,
     {u"课堂客户端", u"3.18.2.13170", u"tideboard3", u"Tideboard", u"Copyright (C) 2026 Tideboard",
      u"tideboard3.exe", u"Tideboard 3", u"3.18.2"},
     u"3,18,2,13170",
     u"3,19,3,15504"},
    // The read ends at the missing key: later keys stay empty, the fixed part is not read.
    {"no_copyright.exe",
     false,
     {u"Stand-in", u"1.2.3.4", u"standin", u"Tideboard", u"", u"", u"", u""},
     u"",
     u""},
    {"no_translation.exe", false, {u"", u"", u"", u"", u"", u"", u"", u""}, u"", u""},
    {"two_translations.exe",
     true,
     {u"first description", u"4.3.2.1", u"first", u"first company", u"first copyright",
      u"first.exe", u"first product", u"4.3"},
     u"4,3,2,1",
     u"4,3,0,0"},
    {"not_id_one.exe", false, {u"", u"", u"", u"", u"", u"", u"", u""}, u"", u""},
    {"two_languages.exe",
     true,
     {u"chinese description", u"6.0.0.2", u"chinese", u"chinese company", u"chinese copyright",
      u"chinese.exe", u"chinese product", u"6.0.0.2"},
     u"6,0,0,2",
     u"6,0,0,2"},
    {"german_english.exe",
     true,
     {u"english description", u"7.0.0.2", u"english", u"english company", u"english copyright",
      u"english.exe", u"english product", u"7.0.0.2"},
     u"7,0,0,2",
     u"7,0,0,2"},
    {"no_resource.exe", false, {u"", u"", u"", u"", u"", u"", u"", u""}, u"", u""},
};

#ifdef FERRYLIFT_VERSION_FIXTURES
std::string FixturePath(const char* file) {
    return JoinPath(GetParentPath(GetModulePath()),
                    std::string(FERRYLIFT_VERSION_FIXTURES) + "/" + file);
}
#endif

TEST(VersionFixtures, EachFileReadsAsTheTableSays) {
#ifndef FERRYLIFT_VERSION_FIXTURES
    GTEST_SKIP() << "the PE fixtures were not built (no MinGW-w64 tools)";
#else
    for (const ExpectedRead& expected : kFixtures) {
        SCOPED_TRACE(expected.file);
        const std::string path = FixturePath(expected.file);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFileToBuffer(path, &bytes)) << path;  // a missing file reads as false too
        FileVersionInfo info;
        info.setFileName(AnsiToWide(path));
        EXPECT_EQ(info.Read(), expected.read);
        const std::u16string* fields[] = {&info.FileDescription, &info.FileVersion,
                                          &info.InternalName,    &info.CompanyName,
                                          &info.LegalCopyright,  &info.OriginalFilename,
                                          &info.ProductName,     &info.ProductVersion};
        for (size_t i = 0; i < 8; ++i)
            EXPECT_EQ(*fields[i], std::u16string(expected.texts[i])) << "field " << i;
        EXPECT_EQ(info.productVersion(), std::u16string(expected.texts[7]));
        EXPECT_EQ(info.fixedFileVersion(), std::u16string(expected.fixedFile));
        EXPECT_EQ(info.fixedProductVersion(), std::u16string(expected.fixedProduct));
    }
#endif
}

// Every prefix of a real file: the locator either refuses it or points inside it, and the
// lookup of a text stays inside the block it was given.
TEST(VersionFixtures, CutFilesAreRefusedOrReadInsideTheirBounds) {
#ifndef FERRYLIFT_VERSION_FIXTURES
    GTEST_SKIP() << "the PE fixtures were not built (no MinGW-w64 tools)";
#else
    for (const char* file : {"full.exe", "two_languages.exe"}) {
        SCOPED_TRACE(file);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFileToBuffer(FixturePath(file), &bytes));
        size_t found = 0;
        for (size_t cut = 0; cut <= bytes.size(); ++cut) {
            std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
            size_t offset = 0, length = 0;
            if (!platform::FindVersionResource(part.data(), part.size(), &offset, &length))
                continue;
            ++found;
            ASSERT_LE(offset + length, part.size());
            const void* value = nullptr;
            uint32_t chars = 0;
            if (platform::QueryVersionBlock(part.data() + offset, length,
                                            u"\\StringFileInfo\\080404b0\\ProductVersion", &value,
                                            &chars)) {
                const auto* text = static_cast<const uint8_t*>(value);
                EXPECT_LE(text + 2 * chars, part.data() + offset + length);
            }
        }
        EXPECT_GT(found, 0u);  // the whole file at least
    }
#endif
}

}  // namespace
