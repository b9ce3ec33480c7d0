// The update sequence against a fake window and fake install operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sequence/update_sequence.h"
#include "support/file_helpers.h"
#include "support/log_file.h"

namespace {

std::string Utf8(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Everything the sequence does, in order, as short words.
struct Journal {
    std::vector<std::string> events;
    std::u16string status;
    int copies = 0;

    std::vector<std::string> From(const std::string& first) const {
        for (size_t i = 0; i < events.size(); ++i) {
            if (events[i] == first) {
                return std::vector<std::string>(events.begin() + static_cast<long>(i),
                                                events.end());
            }
        }
        return {};
    }
};

class FakeHost : public StageHost {
public:
    explicit FakeHost(Journal& journal) : journal_(journal) {}
    void SetStatus(const std::u16string& text) override {
        journal_.status = text;
        journal_.events.push_back("status " + Utf8(text));
    }
    void StopTick() override { journal_.events.push_back("stop"); }
    void FlushPendingMessages() override { journal_.events.push_back("flush"); }
    void Sleep(uint32_t milliseconds) override {
        journal_.events.push_back("sleep " + std::to_string(milliseconds));
    }
    void RequestClose() override { journal_.events.push_back("close"); }

private:
    Journal& journal_;
};

class FakeOperations : public StageOperations {
public:
    FakeOperations(Journal& journal, int version, std::deque<int> copyResults)
        : journal_(journal), version_(version), copyResults_(std::move(copyResults)) {}

    std::deque<uint32_t> pids;  // one per tick; empty means no client

    uint32_t GetProcessIdFromName(const std::string& name) override {
        lastName = name;
        if (pids.empty()) {
            return 0;
        }
        const uint32_t pid = pids.front();
        pids.pop_front();
        return pid;
    }
    int CheckVersion() override {
        journal_.events.push_back("check");
        return version_;
    }
    void MendRegistry() override { journal_.events.push_back("mend"); }
    void RemoveLeftovers() override { journal_.events.push_back("leftovers"); }
    int CopyFiles() override {
        ++journal_.copies;
        journal_.events.push_back("copy");
        if (copyResults_.empty()) {
            ADD_FAILURE() << "unexpected install attempt";
            return 2;
        }
        const int result = copyResults_.front();
        copyResults_.pop_front();
        return result;
    }
    void UpdateDesktopLinks() override { journal_.events.push_back("links"); }
    int StartProcess(const std::string& name) override {
        journal_.events.push_back("start " + name);
        return 1;
    }
    void RestartSystem() override { journal_.events.push_back("restart"); }

    std::string lastName;

private:
    Journal& journal_;
    int version_;
    std::deque<int> copyResults_;
};

struct Outcome {
    int version;
    std::deque<int> copyResults;
    int attempts;
    std::string finalStatus;
    std::string then;  // "", "start tideboard3.exe" or "restart"
};

class OutcomeTest : public ::testing::TestWithParam<Outcome> {};

TEST_P(OutcomeTest, EndsAsTheTableSays) {
    const Outcome& outcome = GetParam();
    Journal journal;
    FakeHost host(journal);
    FakeOperations operations(journal, outcome.version, outcome.copyResults);

    HandleTimer(host, operations);

    EXPECT_EQ(operations.lastName, "tideboard3.exe");
    EXPECT_EQ(journal.copies, outcome.attempts);
    EXPECT_EQ(Utf8(journal.status), outcome.finalStatus);

    // The shortcuts are refreshed after every outcome, then the window closes after 3 s, and
    // only then is the client started or the machine restarted.
    std::vector<std::string> tail = {"links", "flush", "sleep 3000", "close"};
    if (!outcome.then.empty()) {
        tail.push_back(outcome.then);
    }
    EXPECT_EQ(journal.From("links"), tail);

    // Start: the tick is stopped before the first pause, and the check follows that pause.
    const std::vector<std::string> head = {"stop", "status 开始更新", "sleep 500", "check"};
    ASSERT_GE(journal.events.size(), head.size());
    EXPECT_EQ(std::vector<std::string>(journal.events.begin(), journal.events.begin() + 4), head);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutcomeTest,
    ::testing::Values(Outcome{0, {}, 0, "开始更新", ""},
                      Outcome{2, {}, 0, "更新包不兼容当前软件，请下载最新的安装包", ""},
                      Outcome{3, {}, 0, "当前程序已是最新版本", "start tideboard3.exe"},
                      Outcome{1, {1}, 1, "更新完毕", "start tideboard3.exe"},
                      Outcome{1, {3}, 1, "更新完毕", "restart"},
                      Outcome{1, {2, 1}, 2, "更新完毕", "start tideboard3.exe"},
                      Outcome{1, {2, 3}, 2, "更新完毕", "restart"},
                      Outcome{1, {2, 2}, 2, "更新失败", ""},
                      // Values outside the defined ones count as unknown.
                      Outcome{7, {}, 0, "开始更新", ""}));

// A run killed between the main program's rename and the registry writes leaves the latest
// version installed: only then is the registry mended (and what earlier runs left removed;
// an install does that itself), before the client starts.
TEST(StageMachine, MendsTheRegistryWhenTheCarriedVersionIsInstalled) {
    for (int version : {0, 1, 2, 3}) {
        Journal journal;
        FakeHost host(journal);
        FakeOperations operations(journal, version, {1});
        HandleTimer(host, operations);
        const auto mend = std::find(journal.events.begin(), journal.events.end(), "mend");
        EXPECT_EQ(version == 3, mend != journal.events.end()) << version;
        if (mend != journal.events.end()) {
            EXPECT_EQ("status 当前程序已是最新版本", *(mend - 1));
            EXPECT_EQ("leftovers", *(mend + 1));
            EXPECT_EQ("links", *(mend + 2));
        }
    }
}

TEST(StageMachine, WaitsWhileTheClientRunsThenUpdatesOnTheNextTick) {
    Journal journal;
    FakeHost host(journal);
    FakeOperations operations(journal, 3, {});
    operations.pids = {4242, 4242, 4242};

    for (int tick = 0; tick < 3; ++tick) {
        HandleTimer(host, operations);
    }
    // Waiting ticks only ask; the tick keeps running and nothing else happens.
    EXPECT_EQ(journal.events, std::vector<std::string>(3, "status 请关闭Tideboard程序"));

    HandleTimer(host, operations);
    EXPECT_EQ(journal.events[3], "stop");
    EXPECT_EQ(journal.events.back(), "start tideboard3.exe");
}

TEST(StageMachine, RetriesOnceWithoutPauseAfterShowingTheRetryText) {
    Journal journal;
    FakeHost host(journal);
    FakeOperations operations(journal, 1, {2, 2});

    HandleTimer(host, operations);

    const std::vector<std::string> expected = {"status 正在复制文件",
                                               "sleep 1000",
                                               "copy",
                                               "status 复制文件失败，尝试再次复制文件",
                                               "flush",
                                               "copy",
                                               "status 更新失败",
                                               "links"};
    std::vector<std::string> window(journal.From("status 正在复制文件"));
    window.resize(expected.size());
    EXPECT_EQ(window, expected);
}

// The log lines of one run, message parts only, in order.
std::vector<std::string> LoggedMessages(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> messages;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const size_t end = line.find("> ");
        // The frame lines "[log begin(PID n)]" and "[log end]" are not steps.
        if (!line.empty() && line[0] == '<' && end != std::string::npos &&
            line.compare(end + 2, 5, "[log ") != 0) {
            messages.push_back(line.substr(end + 2));
        }
    }
    return messages;
}

TEST(StageMachine, LogsEachStepInTheCodePageOfTheSystem) {
    ASSERT_NE(g_logFile, nullptr);
    const std::string path = testing::TempDir() + "sequence-stage-machine.log";
    g_logFile->Close();
    ASSERT_TRUE(g_logFile->OpenAt(path));

    Journal journal;
    FakeHost host(journal);
    FakeOperations operations(journal, 1, {2, 3});
    operations.pids = {77};
    HandleTimer(host, operations);
    HandleTimer(host, operations);
    g_logFile->Close();

    const std::vector<std::string> expected = {
        "GetProcessIdFromName(\"tideboard3.exe\") == 77",
        "HandleTimer " + Utf8ToAnsi(u8"请关闭Tideboard程序"),
        "HandleTimer " + Utf8ToAnsi(u8"开始更新"),
        "HandleTimer " + Utf8ToAnsi(u8"检查版本 1"),
        "HandleTimer " + Utf8ToAnsi(u8"正在复制文件"),
        // The retry shows its text but writes no line.
        "HandleTimer " + Utf8ToAnsi(u8"更新完毕"),
    };
    EXPECT_EQ(LoggedMessages(path), expected);
    std::remove(path.c_str());
}

}  // namespace
