#include "support/file_helpers.h"

#include <gtest/gtest.h>

#include <set>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "platform/directory.h"
#include "platform/path.h"
#include "support/log_file.h"

namespace {
std::string Scratch(const std::string& name) {
    return JoinPath(GetTempFolder(), "ferrylift-helpers-" + NewGuidString() + "/" + name);
}
}  // namespace

TEST(FileWriteToEnd, RefusesEmptyInputWithOneLogLine) {
    LogFile log;
    std::string logPath = Scratch("refuse.log");
    ASSERT_EQ(platform::CreateDirectoryAll(GetParentPath(logPath)), 0);
    ASSERT_TRUE(log.OpenAt(logPath));
    LogFile* slot = &log;
    g_libraryLog = &slot;
    std::string target = Scratch("never.bin");
    EXPECT_FALSE(FileWriteToEnd(target, nullptr, 4));
    EXPECT_FALSE(FileWriteToEnd(target, "abc", 0));
    g_libraryLog = nullptr;
    log.Close();
    EXPECT_FALSE(platform::PathExists(target));
    std::string text = ReadFileToString(logPath);
    size_t first = text.find("FileWriteToEnd buffer == NULL || size <= 0\r\n");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(text.find("FileWriteToEnd buffer == NULL", first + 1), std::string::npos);
}

TEST(FileWriteToEnd, CreatesMissingLevelsAndTruncates) {
    std::string path = Scratch("a/b/c/data.bin");
    const char longer[] = "0123456789";
    ASSERT_TRUE(FileWriteToEnd(path, longer, 10));
    ASSERT_TRUE(FileWriteToEnd(path, "xy", 2));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFileToBuffer(path, &bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "xy");
}

TEST(ReadFile, EmptyMissingAndEmbeddedZero) {
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(ReadFileToBuffer(Scratch("missing"), &bytes));
    EXPECT_FALSE(ReadFileToBuffer(Scratch("missing"), nullptr));
    std::string empty = Scratch("empty");
    ASSERT_EQ(platform::CreateDirectoryAll(GetParentPath(empty)), 0);
    std::FILE* f = std::fopen(empty.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_FALSE(ReadFileToBuffer(empty, &bytes));
    EXPECT_EQ(ReadFileToString(empty), "");
    std::string zero = Scratch("zero");
    ASSERT_TRUE(FileWriteToEnd(zero, "ab\0cd", 5));
    EXPECT_EQ(ReadFileToString(zero), "ab");
    ASSERT_TRUE(ReadFileToBuffer(zero, &bytes));
    EXPECT_EQ(bytes.size(), 5u);
}

#if defined(_WIN32)
TEST(Paths, WindowsForms) {
    EXPECT_EQ(JoinPathForward("C:\\a\\", "b"), "C:/a/b");
    EXPECT_EQ(JoinPathForward("C:\\a", "\\b"), "C:/a/b");
    EXPECT_EQ(JoinPathForward("C:\\a", "b"), "C:/a/b");
    EXPECT_EQ(JoinPathForward("C:/a/", "/b"), "C:/a/b");
    EXPECT_EQ(JoinPath("C:/a/", "b/c"), "C:\\a\\b\\c");
    EXPECT_EQ(JoinPath("C:\\a", "tideboard3\\x.txt"), "C:\\a\\tideboard3\\x.txt");
    EXPECT_EQ(GetFileNamePart("C:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(GetFileNamePart("b.txt"), "b.txt");
    EXPECT_EQ(GetParentPath("C:\\a\\b.txt"), "C:\\a");
    EXPECT_EQ(GetParentPath("C:\\a"), "C:\\");
    EXPECT_EQ(GetTempFolder().back(), '\\');
}
#else
TEST(Paths, PosixForms) {
    EXPECT_EQ(JoinPathForward("/a/", "b"), "/a/b");
    EXPECT_EQ(JoinPathForward("\\a", "\\b"), "/a/b");
    EXPECT_EQ(JoinPathForward("/a/", "/b"), "/a/b");
    EXPECT_EQ(JoinPath("/a/", "b\\c"), "/a/b/c");
    EXPECT_EQ(JoinPath("/a", "tideboard3\\x.txt"), "/a/tideboard3/x.txt");
    EXPECT_EQ(GetFileNamePart("/a/b.txt"), "b.txt");
    EXPECT_EQ(GetFileNamePart("dir\\b.txt"), "b.txt");
    EXPECT_EQ(GetFileNamePart("b.txt"), "b.txt");
    EXPECT_EQ(GetParentPath("/a/b.txt"), "/a");
    EXPECT_EQ(GetParentPath("/a"), "/");
    EXPECT_EQ(GetParentPath("b.txt"), "");
    EXPECT_EQ(GetTempFolder().back(), '/');
}
#endif

#if !defined(_WIN32)
TEST(FileWriteToEnd, DoesNotFollowALinkInTheLastComponent) {
    std::string target = Scratch("target.txt");
    ASSERT_TRUE(FileWriteToEnd(target, "mine", 4));
    std::string link = GetParentPath(target) + "/link.zip";
    ASSERT_EQ(0, symlink(target.c_str(), link.c_str()));
    EXPECT_FALSE(FileWriteToEnd(link, "archive", 7));
    EXPECT_EQ("mine", ReadFileToString(target));
}
#endif

// GBK's trail byte of 淺 is '\\': it must neither split a name nor become a slash. Runs under
// Wine (code page 936) and natively under a GBK locale (installer.double_byte_names_gbk).
TEST(Paths, DoubleByteTrailBytesAreNoSeparators) {
    const std::string z = Utf8ToAnsi("淺");
    if (z != "\x9c\x5c") {
        GTEST_SKIP() << "needs GBK as the ANSI code page";
    }
    const std::string s(1, platform::kPathSeparator);
    EXPECT_EQ(JoinPathForward("a\\" + z, "b" + z), "a/" + z + "/b" + z);
    EXPECT_EQ(JoinPathForward("a/" + z + "/", "/b"), "a/" + z + "/b");
    EXPECT_EQ(JoinPath("a/" + z, z + "\\c" + z), "a" + s + z + s + z + s + "c" + z);
    EXPECT_EQ(GetFileNamePart("a\\" + z), z);
    EXPECT_EQ(GetFileNamePart("a\\b" + z + "c"), "b" + z + "c");
    EXPECT_EQ(GetParentPath("a\\" + z + "\\b"), "a\\" + z);
    EXPECT_EQ(GetParentPath("a\\b" + z), "a");
}

TEST(Guids, FormAndUniqueness) {
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        std::string g = NewGuidString();
        ASSERT_EQ(g.size(), 38u);
        EXPECT_EQ(g.front(), '{');
        EXPECT_EQ(g.back(), '}');
        for (size_t k = 1; k < 37; ++k) {
            char c = g[k];
            bool dash = k == 9 || k == 14 || k == 19 || k == 24;
            EXPECT_TRUE(dash ? c == '-' : ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) << g;
        }
        seen.insert(g);
    }
    EXPECT_EQ(seen.size(), 200u);
    platform::Guid known;
    known.data1 = 0x6B29FC40;
    known.data2 = 0xCA47;
    known.data3 = 0x1067;
    const uint8_t tail[8] = {0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA};
    std::copy(tail, tail + 8, known.data4);
    EXPECT_EQ(GuidToString(known), "{6B29FC40-CA47-1067-B31D-00DD010662DA}");
}

TEST(Conversions, AnsiRoundTripAndUnmappable) {
    const std::string utf8 = "\xE5\xBC\x80\xE5\xA7\x8B\xE6\x9B\xB4\xE6\x96\xB0 ok";  // 开始更新 ok
    std::string ansi = Utf8ToAnsi(utf8);
    std::u16string wide = AnsiToWide(ansi);
    EXPECT_EQ(wide, u"\u5F00\u59CB\u66F4\u65B0 ok");
    EXPECT_EQ(WideToAnsi(wide), ansi);
#if defined(_WIN32)
    // Code page 936: two GBK bytes per character; characters GBK lacks become '?'.
    EXPECT_EQ(ansi, "\xBF\xAA\xCA\xBC\xB8\xFC\xD0\xC2 ok");
    EXPECT_EQ(Utf8ToAnsi("a\xEA\xB0\x80"
                         "b"),
              "a?b");  // Hangul: not in GBK
#endif
    EXPECT_EQ(Utf8ToAnsi(""), "");
    EXPECT_EQ(AnsiToWide(std::string("ab\0cd", 5)), u"ab");
}
