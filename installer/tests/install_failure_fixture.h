// Shared by the tests of failed installs: old and new suites, and the invariant that every
// installed file is byte for byte its old or its new self, with nothing else left beside them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/update.h"
#include "platform/registry.h"
#include "update_test_support.h"

namespace update_test {

using Entries = std::vector<std::pair<std::string, std::string>>;
// Installed files by their path below the installation folder, with '/' between levels.
using Files = std::map<std::string, std::string>;

inline std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i += 4) {
        uint32_t value = generator();
        for (size_t k = 0; k < 4 && i + k < size; ++k) {
            bytes[i + k] = static_cast<char>(value >> (8 * k));
        }
    }
    return bytes;
}

// Deflates to almost nothing: a file far larger than its archive.
inline std::string SparseBytes(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i += 4096) {
        bytes[i] = static_cast<char>(i / 4096);
    }
    return bytes;
}

// The files a suite installs, keyed like Files.
inline Files SuiteFiles(const Entries& suite) {
    Files files;
    for (const auto& [name, data] : suite) {
        std::string key = name;
        for (char& c : key) {
            c = c == '\\' ? '/' : c;
        }
        files[key] = data;
    }
    return files;
}

class InstallFailureTest : public ProfileTest {
protected:
    static constexpr char kAppPathKey[] =
        "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tideboard3.exe";

    void SetUp() override {
        ProfileTest::SetUp();
        UseInstallFolder();
    }
    void TearDown() override {
        platform::RegistryDeleteTree(kAppPathKey);
        ProfileTest::TearDown();
    }
    void WritePackage(const Entries& entries, bool deflated = false) {
        WriteAll(package_, MakePackage("program", MakeZip(entries, deflated)));
    }
    fs::path Client() const { return install_ / "tideboard3.exe"; }

    void InstallFiles(const Files& files) {
        for (const auto& [name, data] : files) {
            WriteAll(install_ / fs::u8path(name), data);
        }
    }
    // Every file below the installation folder.
    Files InstalledFiles() const {
        Files files;
        std::error_code error;
        for (fs::recursive_directory_iterator it(install_, error), end; !error && it != end;
             it.increment(error)) {
            if (it->is_regular_file()) {
                files[it->path().lexically_relative(install_).generic_string()] =
                    ReadAll(it->path());
            }
        }
        return files;
    }
    // The size of the largest file whose name starts with prefix in folder: how far a new copy
    // of that file has come, under its own name or a scratch name.
    uintmax_t BytesWritten(const fs::path& folder, const std::string& prefix) const {
        uintmax_t largest = 0;
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            if (it->path().filename().string().rfind(prefix, 0) == 0) {
                uintmax_t size = fs::file_size(it->path(), error);
                if (!error && size > largest) {
                    largest = size;
                }
                error.clear();
            }
        }
        return largest;
    }

    // The invariant: each file is its old or its new self (a new file may still be missing),
    // and nothing else is there: no partial file, and no scratch file unless a kill left one
    // (the next run overwrites or removes it).
    void ExpectOldOrNew(const Files& old, const Entries& suite, const std::string& what,
                        bool killed = false) {
        const Files fresh = SuiteFiles(suite);
        for (const auto& [name, data] : InstalledFiles()) {
            const auto before = old.find(name);
            const auto after = fresh.find(name);
            const bool isOld = before != old.end() && before->second == data;
            const bool isNew = after != fresh.end() && after->second == data;
            const bool leftByKill = killed && IsScratchName(name);
            EXPECT_TRUE(isOld || isNew || leftByKill)
                << what << ": " << name << " of " << data.size() << " bytes is neither old nor new";
        }
        for (const auto& [name, data] : old) {
            EXPECT_TRUE(fs::exists(install_ / fs::u8path(name))) << what << ": " << name << " lost";
        }
    }
    static bool IsScratchName(const std::string& name) {
        const std::string suffix = ".ferrylift-new";
        return name.size() > suffix.size() &&
               name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    }
    // Nothing of the suite was written: the installation is exactly the old one.
    void ExpectUntouched(const Files& old, const std::string& what) {
        EXPECT_TRUE(InstalledFiles() == old) << what << ": files were written\n" << Log();
    }
    // A correct package run afterwards completes the update and leaves nothing else behind.
    void ExpectRepair(const Entries& suite, const std::string& what) {
        WritePackage(suite);
        EXPECT_EQ(Update::kCopied, Update::CopyFileA()) << what << "\n" << Log();
        EXPECT_TRUE(InstalledFiles() == SuiteFiles(suite)) << what << ": not repaired";
    }
};

}  // namespace update_test
