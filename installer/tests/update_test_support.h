// Shared by the install operation tests: a private profile, a log file to read back, and
// update packages built from in-memory files (stored or deflated ZIP entries).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <zlib.h>

#include "core/update.h"
#include "platform/system.h"
#include "support/file_helpers.h"
#include "support/log_file.h"

namespace update_test {

namespace fs = std::filesystem;

inline std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline uint32_t Crc32(const std::string& data) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

inline void Put16(std::string* out, uint32_t value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>((value >> 8) & 0xFF));
}

inline void Put32(std::string* out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// Raw deflate (no zlib header), as a ZIP entry holds it.
inline std::string Deflate(const std::string& data) {
    z_stream stream{};
    EXPECT_EQ(Z_OK,
              deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY));
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(Z_STREAM_END, deflate(&stream, Z_FINISH));
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// A ZIP archive of the entries in the given order, stored or deflated; names are used as they
// stand.
inline std::string MakeZip(const std::vector<std::pair<std::string, std::string>>& entries,
                           bool deflated = false) {
    std::string zip;
    std::string central;
    const uint32_t dosTime = (6u << 11) | (30u << 5);                   // 06:30:00
    const uint32_t dosDate = ((2024u - 1980u) << 9) | (3u << 5) | 15u;  // 2024-03-15
    for (const auto& [name, data] : entries) {
        uint32_t offset = static_cast<uint32_t>(zip.size());
        uint32_t crc = Crc32(data);
        const std::string packed = deflated ? Deflate(data) : data;
        const uint32_t size = static_cast<uint32_t>(data.size());
        const std::string& entryName = name;
        auto header = [&](std::string* out, bool isCentral) {
            Put32(out, isCentral ? 0x02014b50u : 0x04034b50u);
            if (isCentral) {
                Put16(out, 20);  // made by
            }
            Put16(out, 20);  // needed
            Put16(out, 0);   // flags
            Put16(out, deflated ? 8 : 0);
            Put16(out, dosTime);
            Put16(out, dosDate);
            Put32(out, crc);
            Put32(out, static_cast<uint32_t>(packed.size()));
            Put32(out, size);
            Put16(out, static_cast<uint32_t>(entryName.size()));
            Put16(out, 0);  // extra
            if (isCentral) {
                Put16(out, 0);  // comment
                Put16(out, 0);  // disk
                Put16(out, 0);  // internal attributes
                Put32(out, 0);  // external attributes
                Put32(out, offset);
            }
            *out += entryName;
        };
        header(&zip, false);
        zip += packed;
        header(&central, true);
    }
    uint32_t centralOffset = static_cast<uint32_t>(zip.size());
    zip += central;
    Put32(&zip, 0x06054b50u);
    Put16(&zip, 0);
    Put16(&zip, 0);
    Put16(&zip, static_cast<uint32_t>(entries.size()));
    Put16(&zip, static_cast<uint32_t>(entries.size()));
    Put32(&zip, static_cast<uint32_t>(central.size()));
    Put32(&zip, centralOffset);
    Put16(&zip, 0);
    return zip;
}

// program + archive + trailer (archive length, total length).
inline std::string MakePackage(const std::string& program, const std::string& archive) {
    std::string package = program + archive;
    Put32(&package, static_cast<uint32_t>(archive.size()));
    Put32(&package, static_cast<uint32_t>(package.size() + 4));
    return package;
}

inline std::string& ModulePathForTest() {
    static std::string path;
    return path;
}

inline std::string TestModulePath() {
    return ModulePathForTest();
}

inline void SetEnv(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

// A private profile for one test. POSIX: every known folder lives below a fresh folder.
// Windows: the known folders are the (private) Wine prefix's; the configuration file written
// there is removed again.
class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // Taken once: the tests point TMPDIR below their own folders.
        static const fs::path temp = fs::temp_directory_path();
        base_ = temp /
                (std::string("ferrylift-update-") + std::to_string(platform::CurrentProcessId()) +
                 "-" + info->test_suite_name() + "-" + info->name());
        fs::remove_all(base_);
        fs::create_directories(base_);
#if !defined(_WIN32)
        for (const char* folder : {"home", "roaming", "local", "tmp"}) {
            fs::create_directories(base_ / folder);
        }
        SetEnv("HOME", (base_ / "home").string());
        SetEnv("XDG_CONFIG_HOME", (base_ / "roaming").string());
        SetEnv("XDG_DATA_HOME", (base_ / "local").string());
        SetEnv("TMPDIR", (base_ / "tmp").string());
        // The temporary folder is then a private one below TMPDIR, per test.
        unsetenv("XDG_RUNTIME_DIR");
#endif
        install_ = base_ / "install";
        package_ = base_ / "package.exe";
        ModulePathForTest() = package_.string();
        Update::SetModulePathSource(TestModulePath);
        // The process's own log object, opened at a file of this test.
        ASSERT_NE(nullptr, g_logFile);
        ASSERT_TRUE(g_logFile->OpenAt((base_ / "test.log").string()));
        g_libraryLog = &g_logFile;
    }

    void TearDown() override {
        g_libraryLog = nullptr;
        g_logFile->Close();
        Update::SetModulePathSource(nullptr);
        std::error_code ignored;
        fs::remove(ConfigPath(), ignored);
        fs::remove_all(base_, ignored);
    }

    fs::path ConfigPath() const {
        return fs::path(Update::GetConfigName());
    }
    void WriteConfig(const std::string& text) {
        WriteAll(ConfigPath(), text);
    }
    // Points the configuration file at the test's installation folder.
    void UseInstallFolder() {
        WriteConfig(install_.string() + ",3.18.0.13170,extra");
    }

    std::string Log() const {
        return ReadAll(base_ / "test.log");
    }
    bool LogHas(const std::string& text) const {
        return Log().find(text) != std::string::npos;
    }

    fs::path base_;
    fs::path install_;
    fs::path package_;
};

}  // namespace update_test
