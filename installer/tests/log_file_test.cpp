#include "support/log_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/file_helpers.h"

namespace {

#ifndef _WIN32
// Points roaming app data at a scratch folder so the test never writes into the
// profile of the person running it (under Wine the prefix is private already).
class ScratchAppData {
public:
    ScratchAppData() {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        hadOld_ = old != nullptr;
        if (hadOld_)
            old_ = old;
        char pattern[] = "/tmp/ferrylift-log-test-XXXXXX";
        folder_ = mkdtemp(pattern) ? pattern : "";
        setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
    }
    ~ScratchAppData() {
        if (hadOld_)
            setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        if (!folder_.empty())
            std::system(("rm -rf '" + folder_ + "'").c_str());
    }

private:
    bool hadOld_ = false;
    std::string old_;
    std::string folder_;
};
#else
struct ScratchAppData {
    ScratchAppData() {}
    ~ScratchAppData() {}
};
#endif

platform::LocalTime FixedTime() {
    platform::LocalTime t;
    t.year = 2026;
    t.month = 3;
    t.day = 2;
    t.hour = 9;
    t.minute = 5;
    t.second = 7;
    t.milliseconds = 42;
    return t;
}

uint32_t g_tick = 0;
uint32_t FakeTick() {
    return g_tick;
}
uint32_t FakeThread() {
    return 321;
}

std::string FormatOne(uint32_t elapsed, uint32_t thread, const char* message) {
    char line[kLogLineCapacity];
    size_t n = FormatLogLine(line, sizeof line, FixedTime(), elapsed, thread, message);
    EXPECT_EQ(n, std::string(line).size());
    return line;
}

std::string TempLogPath(const char* name) {
    return JoinPath(GetTempFolder(), name);
}

}  // namespace

TEST(LogLine, DecorationPaddingAndWidths) {
    EXPECT_EQ(FormatOne(15, 321, "msg"), "<20260302 09:05:07.042 0015 00321> msg\r\n");
    EXPECT_EQ(FormatOne(0, 5, ""), "<20260302 09:05:07.042 0000 00005> \r\n");
    EXPECT_EQ(FormatOne(12345, 1234567, "x"), "<20260302 09:05:07.042 12345 1234567> x\r\n");
}

TEST(LogLine, OverlongMessageIsCutAndStillEndsInCrLf) {
    std::string big(5000, 'a');
    std::string line = FormatOne(1, 1, big.c_str());
    EXPECT_EQ(line.size(), kLogLineCapacity - 1);
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
}

TEST(LogFileTest, FramesLinesAndElapsedWraps) {
    LogClock clock;
    clock.localTime = FixedTime;
    clock.tickCount = FakeTick;
    clock.threadId = FakeThread;
    g_tick = 0xFFFFFFF0u;
    std::string path = TempLogPath("ferrylift-test-frame.log");
    {
        LogFile log(clock);
        ASSERT_TRUE(log.OpenAt(path));
        EXPECT_TRUE(log.OpenAt(path));  // second open: no second begin line
        EXPECT_TRUE(log.Open());
        g_tick = 0x10;  // wrapped: 0x20 ms later
        LogFile* slot = &log;
        EXPECT_TRUE(LogPrintf(&slot, "%s value %d", "Tester", 7));
        std::string big(3000, 'b');
        EXPECT_TRUE(LogPrintf(&slot, "%s", big.c_str()));
        log.Close();
        log.Close();
        EXPECT_TRUE(log.WriteLine("dropped after close"));
    }
    std::string text = ReadFileToString(path);
    const std::string prefix = "<20260302 09:05:07.042 ";
    std::string begin = prefix + "0000 00321> [log begin(PID ";
    EXPECT_EQ(text.find(begin), 0u) << text.substr(0, 80);
    EXPECT_NE(text.find(prefix + "0032 00321> Tester value 7\r\n"), std::string::npos);
    size_t endLine = text.find("> [log end]\r\n");
    ASSERT_NE(endLine, std::string::npos);
    EXPECT_EQ(text.find("[log end]", endLine + 3), std::string::npos);
    EXPECT_EQ(text.find("[log begin", text.find("[log begin") + 1), std::string::npos);
    EXPECT_EQ(text.find("dropped"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    // Every line within the capacity.
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        EXPECT_LT(end + 2 - start, kLogLineCapacity);
    }
}

TEST(LogFileTest, EmptySlotsReturnFalse) {
    LogFile* empty = nullptr;
    EXPECT_FALSE(LogPrintf(&empty, "%s", "x"));
    EXPECT_FALSE(LogPrintf(nullptr, "%s", "x"));
}

TEST(LogFileTest, EachRunGetsItsOwnFileInTheLogFolder) {
    ScratchAppData scratch;
    std::string first = MakeLogFilePath();
    std::string second = MakeLogFilePath();
    EXPECT_NE(first, second);
    std::string name = GetFileNamePart(first);
    ASSERT_EQ(name.size(), std::string("ferrylift ").size() + 38 + 4) << name;
    EXPECT_EQ(name.substr(0, 11), "ferrylift {");
    EXPECT_EQ(name.substr(name.size() - 5), "}.log");
    std::string folder = GetParentPath(first);
    EXPECT_EQ(GetFileNamePart(folder), "tideboardferrylift");
    EXPECT_EQ(GetFileNamePart(GetParentPath(folder)), "Log");
    EXPECT_EQ(GetParentPath(GetParentPath(GetParentPath(folder))), GetAppDataFolder());
    LogFile log;
    ASSERT_TRUE(log.Open());
    log.Close();
    EXPECT_EQ(ReadFileToString(log.path()).find("[log begin(PID "), 23u + 12u);
}
