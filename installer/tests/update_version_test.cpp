#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/update.h"
#include "platform/registry.h"
#include "update_test_support.h"

namespace {

using namespace update_test;

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tideboard3";
const char kAppPathKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tideboard3.exe";

#if defined(_WIN32)
const char kExeSuffix[] = ".exe";
#else
const char kExeSuffix[] = "";
#endif

// The client stand-ins are built next to this test program.
fs::path Client(const std::string& id) {
    return fs::path(GetModulePath()).parent_path() / ("update_client_" + id + kExeSuffix);
}

class VersionTest : public ProfileTest {
protected:
    void SetUp() override {
        ProfileTest::SetUp();
        // This program carries the installer's version resource.
        ModulePathForTest() = GetModulePath();
        UseInstallFolder();
    }
    void TearDown() override {
        platform::RegistryDeleteTree(kUninstallKey);
        platform::RegistryDeleteTree(kAppPathKey);
        ProfileTest::TearDown();
    }
    void InstallClient(const std::string& id) {
        fs::create_directories(install_);
        fs::copy_file(Client(id), install_ / "tideboard3.exe",
                      fs::copy_options::overwrite_existing);
    }
};

TEST_F(VersionTest, OutcomesAgainstCarriedAndLowestVersion) {
    struct Case {
        const char* client;
        int expected;
    } cases[] = {
        {"3_19_3_15504", Update::kVersionLatest},  // equal to the carried one
        {"3_20_0_0", Update::kVersionLatest},      // newer than the carried one
        {"3_19_3_15503", Update::kVersionUpdate},
        {"3_18_0_13170", Update::kVersionUpdate},  // exactly the lowest updatable one
        {"3_18_0_13169", Update::kVersionIncompatible},
        {"plain", Update::kVersionUnknown},  // no version resource
    };
    for (const Case& c : cases) {
        InstallClient(c.client);
        EXPECT_EQ(c.expected, Update::CheckVersion()) << c.client;
    }
    EXPECT_TRUE(LogHas("Update::GetSourceVersion module_name " + GetModulePath() +
                       " product_version " UPDATE_TEST_CARRIED_VERSION
                       " fixed_file_versionn 3,18,0,13170"))
        << Log();
    EXPECT_TRUE(LogHas("Update::GetDestinationVersion file_name " +
                       JoinPath(install_.string(), "tideboard3.exe") +
                       " product_version 3.18.0.13169"))
        << Log();
}

TEST_F(VersionTest, UnreadableVersionsGiveUnknown) {
    // No installed client.
    EXPECT_EQ(Update::kVersionUnknown, Update::CheckVersion());
    // No configuration file: no root, no client.
    InstallClient("3_18_0_13170");
    std::error_code ignored;
    fs::remove(ConfigPath(), ignored);
    EXPECT_EQ(Update::kVersionUnknown, Update::CheckVersion());
    // An installer without a version resource.
    UseInstallFolder();
    WriteAll(package_, "no resource here");
    ModulePathForTest() = package_.string();
    EXPECT_EQ(Update::kVersionUnknown, Update::CheckVersion());
}

TEST_F(VersionTest, UpdateRoadRefreshesTheUninstallEntry) {
    InstallClient("3_18_0_13170");
    WriteAll(install_ / "lib.dll", "old library");
    std::string ownProgram = ReadAll(GetModulePath());
    WriteAll(package_,
             MakePackage(ownProgram, MakeZip({{"tideboard3.exe", ReadAll(Client("3_19_3_15504"))},
                                              {"lib.dll", "new library"}})));
    ModulePathForTest() = package_.string();
    {
        platform::UniqueRegistryKey key;
        ASSERT_EQ(platform::kErrorSuccess, platform::RegistryCreateKey(kUninstallKey, key.Out()));
    }

    EXPECT_EQ(Update::kVersionUpdate, Update::CheckVersion());
    EXPECT_EQ(Update::kCopied, Update::CopyFileA());
    EXPECT_EQ(Update::kVersionLatest, Update::CheckVersion());
    EXPECT_EQ("new library", ReadAll(install_ / "lib.dll"));

    platform::UniqueRegistryKey key;
    ASSERT_EQ(platform::kErrorSuccess, platform::RegistryOpenKey(kUninstallKey, key.Out()));
    std::vector<uint8_t> data;
    uint32_t type = 0;
    ASSERT_EQ(platform::kErrorSuccess,
              platform::RegistryQueryValue(key.Get(), "DisplayName", &type, &data));
    EXPECT_EQ(std::string("tideboard3 " UPDATE_TEST_CARRIED_VERSION) + '\0',
              std::string(data.begin(), data.end()));
#if defined(_WIN32)
    EXPECT_EQ(platform::kRegExpandSz, type);
#endif
    ASSERT_EQ(platform::kErrorSuccess,
              platform::RegistryQueryValue(key.Get(), "DisplayVersion", &type, &data));
    EXPECT_EQ(std::string(UPDATE_TEST_CARRIED_VERSION) + '\0',
              std::string(data.begin(), data.end()));
}

// The state a kill between the main program's rename and the registry writes leaves: the
// carried version installed, the registry still the old one's.
TEST_F(VersionTest, RegistryIsMendedOnlyForTheCarriedVersionAndOnlyWhenItDiffers) {
    auto value = [](const char* keyPath, const char* name) {
        platform::UniqueRegistryKey key;
        std::vector<uint8_t> data;
        if (platform::RegistryOpenKey(keyPath, key.Out()) != platform::kErrorSuccess ||
            platform::RegistryQueryValue(key.Get(), name, nullptr, &data) !=
                platform::kErrorSuccess) {
            return std::string("<none>");
        }
        return std::string(data.begin(), data.end());
    };
    auto setStale = [] {
        platform::UniqueRegistryKey key;
        ASSERT_EQ(platform::kErrorSuccess, platform::RegistryCreateKey(kUninstallKey, key.Out()));
        platform::RegistrySetValue(key.Get(), "DisplayVersion", platform::kRegExpandSz,
                                   "3.18.0.13170", 13);
    };
    const std::string mended = "Update::MendRegistry DisplayVersion(3.18.0.13170) App Paths()";

    // A newer client than the carried one keeps its registry.
    InstallClient("3_20_0_0");
    setStale();
    Update::MendRegistry();
    EXPECT_EQ(std::string("3.18.0.13170") + '\0', value(kUninstallKey, "DisplayVersion"));
    EXPECT_EQ("<none>", value(kAppPathKey, ""));

    InstallClient("3_19_3_15504");
    Update::MendRegistry();
    EXPECT_TRUE(LogHas(mended)) << Log();
    EXPECT_EQ(std::string(UPDATE_TEST_CARRIED_VERSION) + '\0',
              value(kUninstallKey, "DisplayVersion"));
    EXPECT_EQ(std::string("tideboard3 " UPDATE_TEST_CARRIED_VERSION) + '\0',
              value(kUninstallKey, "DisplayName"));
    EXPECT_EQ(JoinPath(install_.string(), "tideboard3.exe") + '\0', value(kAppPathKey, ""));

    // Nothing differs now: nothing is written, no line.
    const size_t lines = Log().size();
    Update::MendRegistry();
    EXPECT_EQ(std::string::npos, Log().find("Update::MendRegistry", lines));

    // Only the App Path is stale (the installation moved); no uninstall entry at all.
    platform::RegistryDeleteTree(kUninstallKey);
    const fs::path moved = base_ / "moved";
    fs::create_directories(moved);
    fs::copy(install_ / "tideboard3.exe", moved / "tideboard3.exe");
    WriteConfig(moved.string() + ",x");
    Update::MendRegistry();
    EXPECT_EQ(JoinPath(moved.string(), "tideboard3.exe") + '\0', value(kAppPathKey, ""));
    EXPECT_EQ("<none>", value(kUninstallKey, "DisplayVersion"));
}

}  // namespace
