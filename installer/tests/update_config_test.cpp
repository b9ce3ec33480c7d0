#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "core/update.h"
#include "platform/registry.h"
#include "update_test_support.h"

namespace {

using namespace update_test;

using ConfigTest = ProfileTest;

TEST_F(ConfigTest, RootIsTheTextBeforeTheFirstComma) {
    struct Case {
        const char* text;
        const char* root;
    } cases[] = {
        {"D:\\Apps\\tideboard3,x", "D:\\Apps\\tideboard3"},
        {",,,D:\\Apps,x,y", "D:\\Apps"},                           // leading commas skipped
        {" D:\\A b ,x", " D:\\A b "},                              // nothing trimmed
        {"D:\\Apps\\tideboard3\r\n", "D:\\Apps\\tideboard3\r\n"},  // no comma: all of it
        {",,,", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        WriteConfig(c.text);
        EXPECT_EQ(c.root, Update::GetDestinationRoot()) << c.text;
    }
    EXPECT_TRUE(LogHas("Update::GetDestinationRoot config D:\\Apps\\tideboard3,x")) << Log();
    EXPECT_TRUE(LogHas("Update::GetDestinationRoot root D:\\Apps\\tideboard3\r\n")) << Log();
}

TEST_F(ConfigTest, MissingConfigurationGivesAnEmptyRootAndNoProgramPath) {
    std::error_code ignored;
    fs::remove(ConfigPath(), ignored);
    EXPECT_EQ("", Update::GetDestinationRoot());
    EXPECT_EQ("", Update::GetDestinationVersionFileName());
    EXPECT_EQ(u"", Update::GetDestinationVersion());
    EXPECT_TRUE(LogHas("Update::GetConfigName name " + ConfigPath().string())) << Log();
}

TEST_F(ConfigTest, NothingIsCachedBetweenCalls) {
    WriteConfig("first,x");
    EXPECT_EQ("first", Update::GetDestinationRoot());
    WriteConfig("second,x");
    EXPECT_EQ("second", Update::GetDestinationRoot());
    EXPECT_EQ(JoinPath("second", "tideboard3.exe"), Update::GetDestinationVersionFileName());
}

TEST_F(ConfigTest, FixedNamesAndOwnSize) {
    EXPECT_EQ(JoinPath(GetTempFolder(), "TideboardFerrylift.zip"), Update::GetTempFileNameA());
    EXPECT_EQ(JoinPath(GetLocalAppDataFolder(), "tideboard3\\tideboard_update_config.txt"),
              Update::GetConfigName());
    WriteAll(package_, std::string(1234, 'x'));
    EXPECT_EQ(1234, Update::GetModuleSize());
    EXPECT_TRUE(LogHas("Update::GetModuleSize stat_value.st_size(1234)")) << Log();
    fs::remove(package_);
    EXPECT_EQ(0, Update::GetModuleSize());
}

class StartTest : public ProfileTest {};

TEST_F(StartTest, MissingProgramIsNotStarted) {
    UseInstallFolder();
    fs::create_directories(install_);
    EXPECT_EQ(Update::kNotFound, Update::StartProcess("tideboard3.exe"));
    EXPECT_TRUE(
        LogHas("Update::StartProcess kNotFound: " + JoinPath(install_.string(), "tideboard3.exe")))
        << Log();

    // Without a root nothing is looked up in the working folder.
    std::error_code ignored;
    fs::remove(ConfigPath(), ignored);
    fs::path workingFolder = base_ / "cwd";
    WriteAll(workingFolder / "tideboard3.exe", "x");
    fs::path previous = fs::current_path();
    fs::current_path(workingFolder);
    int result = Update::StartProcess("tideboard3.exe");
    fs::current_path(previous);
    EXPECT_EQ(Update::kNotFound, result);
}

bool WaitForFile(const fs::path& path) {
    for (int i = 0; i < 500; ++i) {
        if (fs::exists(path) && fs::file_size(path) > 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

#if defined(_WIN32)
TEST_F(StartTest, ShellStartsTheProgram) {
    UseInstallFolder();
    fs::path marker = base_ / "started.txt";
    WriteAll(install_ / "start.bat", "@echo started> \"" + marker.string() + "\"\r\n");
    EXPECT_EQ(Update::kStarted, Update::StartProcess("start.bat"));
    EXPECT_TRUE(WaitForFile(marker));
    EXPECT_TRUE(LogHas("Update::StartProcess ShellExecute(")) << Log();
}
#else
class PathOverride {
public:
    explicit PathOverride(const std::string& path)
        : saved_(std::getenv("PATH") ? std::getenv("PATH") : "") {
        SetEnv("PATH", path);
    }
    ~PathOverride() { SetEnv("PATH", saved_); }

private:
    std::string saved_;
};

TEST_F(StartTest, ExecutableStartsDetachedInTheWorkingFolder) {
    UseInstallFolder();
    fs::path marker = base_ / "started.txt";
    fs::path program = install_ / "client.sh";
    WriteAll(program, "#!/bin/sh\npwd > \"" + marker.string() + "\"\n");
    fs::permissions(program, fs::perms::owner_all);
    fs::path previous = fs::current_path();
    fs::current_path(base_);
    int result = Update::StartProcess("client.sh");
    fs::current_path(previous);
    EXPECT_EQ(Update::kStarted, result);
    ASSERT_TRUE(WaitForFile(marker));
    EXPECT_EQ(fs::canonical(base_).string() + "\n", ReadAll(marker));
    EXPECT_TRUE(LogHas("Update::StartProcess ShellExecute(" + program.string() + ") instance:42"))
        << Log();
}

TEST_F(StartTest, OtherFilesGoToXdgOpenOrAreRefused) {
    UseInstallFolder();
    WriteAll(install_ / "tideboard3.exe", "MZ not a native program");
    fs::path bin = base_ / "bin";
    fs::create_directories(bin);
    {
        PathOverride path(bin.string());
        EXPECT_EQ(Update::kStartFailed, Update::StartProcess("tideboard3.exe"));
        EXPECT_TRUE(LogHas("instance:31")) << Log();
    }
    fs::path marker = base_ / "opened.txt";
    WriteAll(bin / "xdg-open", "#!/bin/sh\necho \"$1\" > \"" + marker.string() + "\"\n");
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    {
        PathOverride path(bin.string() + ":/usr/bin:/bin");
        EXPECT_EQ(Update::kStarted, Update::StartProcess("tideboard3.exe"));
    }
    ASSERT_TRUE(WaitForFile(marker));
    EXPECT_EQ(JoinPath(install_.string(), "tideboard3.exe") + "\n", ReadAll(marker));
}
#endif

}  // namespace
