#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/update.h"
#include "platform/error.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "update_test_support.h"

namespace {

using namespace update_test;

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tideboard3";
const char kAppPathKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tideboard3.exe";
const char kScratchKey[] = "Software\\TideboardTests\\Scratch";

std::string Value(const char* keyPath, const std::string& name, uint32_t* type = nullptr) {
    platform::UniqueRegistryKey key;
    if (platform::RegistryOpenKey(keyPath, key.Out()) != platform::kErrorSuccess) {
        return "<no key>";
    }
    std::vector<uint8_t> data;
    if (platform::RegistryQueryValue(key.Get(), name, type, &data) != platform::kErrorSuccess) {
        return "<no value>";
    }
    return std::string(data.begin(), data.end());
}

class RegistryTest : public ProfileTest {
protected:
    void TearDown() override {
        platform::RegistryDeleteTree(kUninstallKey);
        platform::RegistryDeleteTree(kAppPathKey);
        platform::RegistryDeleteTree("Software\\TideboardTests");
        ProfileTest::TearDown();
    }
};

TEST_F(RegistryTest, KeysAndValuesRoundTrip) {
    platform::RegistryDeleteTree("Software\\TideboardTests");
    platform::UniqueRegistryKey key;
    // Opening never creates.
    EXPECT_EQ(platform::kErrorFileNotFound, platform::RegistryOpenKey(kScratchKey, key.Out()));
    EXPECT_EQ(nullptr, key.Get());
    EXPECT_EQ(platform::kErrorFileNotFound, platform::LastError());

    ASSERT_EQ(platform::kErrorSuccess, platform::RegistryCreateKey(kScratchKey, key.Out()));
    const char text[] = "value\0tail";
    EXPECT_EQ(platform::kErrorSuccess,
              platform::RegistrySetValue(key.Get(), "Name", platform::kRegSz, text, sizeof text));
    EXPECT_EQ(platform::kErrorSuccess,
              platform::RegistrySetValue(key.Get(), "", platform::kRegSz, "d", 2));
    // A second write replaces the whole value.
    EXPECT_EQ(platform::kErrorSuccess,
              platform::RegistrySetValue(key.Get(), "Name", platform::kRegExpandSz, "ab", 3));

    EXPECT_EQ(std::string("ab\0", 3), Value(kScratchKey, "Name"));
    EXPECT_EQ(std::string("d\0", 2), Value(kScratchKey, ""));
    EXPECT_EQ("<no value>", Value(kScratchKey, "Missing"));
    // Creating an existing key opens it.
    ASSERT_EQ(platform::kErrorSuccess, platform::RegistryCreateKey(kScratchKey, key.Out()));
    EXPECT_EQ(std::string("ab\0", 3), Value(kScratchKey, "Name"));

#if !defined(_WIN32)
    // The folder layout other tools read: one file per value, "@" for the default value.
    fs::path folder = fs::path(platform::GetKnownFolder(platform::KnownFolder::kRoamingAppData)) /
                      "registry" / "HKEY_CURRENT_USER" / "Software" / "TideboardTests" / "Scratch";
    EXPECT_EQ(std::string("ab\0", 3), ReadAll(folder / "Name"));
    EXPECT_EQ(std::string("d\0", 2), ReadAll(folder / "@"));
    // Key paths that would alias or leave the tree are refused.
    EXPECT_EQ(platform::kErrorInvalidParameter,
              platform::RegistryCreateKey("Software\\..\\..\\escape", key.Out()));
    EXPECT_EQ(platform::kErrorInvalidParameter, platform::RegistryCreateKey("a\\\\b", key.Out()));
    EXPECT_FALSE(
        fs::exists(fs::path(platform::GetKnownFolder(platform::KnownFolder::kRoamingAppData)) /
                   "registry" / "escape"));
#endif
}

TEST_F(RegistryTest, UninstallEntryIsRefreshedOnlyWhenItExists) {
    platform::RegistryDeleteTree(kUninstallKey);
    RegEdit();
    EXPECT_TRUE(LogHas("RegEdit  RegOpenKeyEx Error: 2")) << Log();
    EXPECT_EQ("<no key>", Value(kUninstallKey, "DisplayName"));
}

TEST_F(RegistryTest, AppPathIsCreatedWithTheInstalledProgram) {
    UseInstallFolder();
    SetRegAppPath();
    uint32_t type = 0;
    std::string expected = JoinPath(install_.string(), "tideboard3.exe");
    expected.push_back('\0');
    EXPECT_EQ(expected, Value(kAppPathKey, "", &type));
#if defined(_WIN32)
    EXPECT_EQ(platform::kRegSz, type);
#endif
    // Rewritten, not appended, when the installation moves.
    WriteConfig("D:\\Elsewhere,x");
    SetRegAppPath();
    expected = JoinPath("D:\\Elsewhere", "tideboard3.exe");
    expected.push_back('\0');
    EXPECT_EQ(expected, Value(kAppPathKey, ""));
}

}  // namespace
