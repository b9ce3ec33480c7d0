// --verify on archives it misread: ZIP64 end records (read, and their faults named), an entry
// that inflates to far more than the package's size (checked without holding it in memory),
// and a package signed without the 8-byte padding.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>

#include "pack_test_support.h"

extern char** environ;

namespace {

using namespace pack_test;

std::string LittleEndian16(uint16_t value) {
    return std::string{static_cast<char>(value), static_cast<char>(value >> 8)};
}

std::string LittleEndian64(uint64_t value) {
    return LittleEndian32(static_cast<uint32_t>(value)) +
           LittleEndian32(static_cast<uint32_t>(value >> 32));
}

// The archive with its end record replaced by ZIP64 records, as tools write for more than
// 65,534 entries: the ZIP64 end record, its locator, and an end record of 0xFFFF... values.
std::string WithZip64End(const std::string& zip) {
    const size_t end = zip.size() - 22;
    EXPECT_EQ(zip.substr(end, 4), std::string("PK\x05\x06", 4));
    const uint16_t entries = static_cast<uint16_t>(LittleEndianAt(zip, end + 8));
    const uint32_t directorySize = LittleEndianAt(zip, end + 12);
    const uint32_t directoryOffset = LittleEndianAt(zip, end + 16);
    std::string out = zip.substr(0, end);
    const uint64_t recordAt = out.size();
    out += std::string("PK\x06\x06", 4) + LittleEndian64(44) + LittleEndian16(45) +
           LittleEndian16(45) + LittleEndian32(0) + LittleEndian32(0) + LittleEndian64(entries) +
           LittleEndian64(entries) + LittleEndian64(directorySize) +
           LittleEndian64(directoryOffset);
    out += std::string("PK\x06\x07", 4) + LittleEndian32(0) + LittleEndian64(recordAt) +
           LittleEndian32(1);
    out += std::string("PK\x05\x06", 4) + LittleEndian32(0) + LittleEndian16(0xffff) +
           LittleEndian16(0xffff) + LittleEndian32(0xffffffff) + LittleEndian32(0xffffffff) +
           LittleEndian16(0);
    return out;
}

class VerifyArchiveTest : public PackTest {
protected:
    std::string Program() { return Stamped("gui.exe", "3.19.3.15504", "3.18.0.13170"); }
    std::string Zip(const std::vector<ZipEntry>& entries) {
        return MakeZip(root_ / "scratch.zip", entries);
    }
    std::vector<ZipEntry> Suite() {
        return {{"tideboard3.exe", Read(Fixture("gui.exe"))}, {"lib\\core.dll", "core"}};
    }
};

TEST_F(VerifyArchiveTest, Zip64EndRecordsAreReadAndTheirFaultsNamed) {
    const std::string zip64 = WithZip64End(Zip(Suite()));
    ASSERT_EQ(kExitOk, VerifyBytes(Assemble(Program(), zip64))) << err_.str();
    EXPECT_TRUE(OutHas("2 entries")) << out_.str();

    // The locator points past the ZIP64 end record.
    std::string badLocator = zip64;
    const size_t locator = badLocator.size() - 22 - 20;
    badLocator[locator + 8] = static_cast<char>(badLocator[locator + 8] + 1);
    EXPECT_EQ(kExitFailed, VerifyBytes(Assemble(Program(), badLocator)));
    EXPECT_TRUE(ErrHas("its ZIP64 end locator points at offset")) << err_.str();
    EXPECT_TRUE(ErrHas("where no ZIP64 end record is")) << err_.str();

    // The ZIP64 record's directory does not end where the record begins.
    std::string badDirectory = zip64;
    const size_t record = badDirectory.size() - 22 - 20 - 56;
    badDirectory[record + 40] = static_cast<char>(badDirectory[record + 40] + 1);
    EXPECT_EQ(kExitFailed, VerifyBytes(Assemble(Program(), badDirectory)));
    EXPECT_TRUE(ErrHas("its ZIP64 end record says the central directory")) << err_.str();

    // Bytes in front of the archive: every offset is off by their count.
    EXPECT_EQ(kExitFailed, VerifyBytes(Assemble(Program(), "xxxx" + zip64)));
    EXPECT_TRUE(ErrHas("does not point at the start of an archive")) << err_.str();
}

// An archive of stored entries written by hand, fast for many entries: with ZIP64 end
// records, or (as minizip writes more than 65,535 entries) with only an end record that says
// 0xFFFF entries.
std::string ManyStoredEntries(const std::vector<ZipEntry>& entries, bool zip64) {
    std::string local;
    std::string directory;
    for (const ZipEntry& entry : entries) {
        const uint32_t crc =
            static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                                        static_cast<uInt>(entry.data.size())));
        const uint32_t size = static_cast<uint32_t>(entry.data.size());
        const std::string common =
            LittleEndian16(20) + LittleEndian16(0) + LittleEndian16(0) + LittleEndian16(0x3000) +
            LittleEndian16(0x5821) + LittleEndian32(crc) + LittleEndian32(size) +
            LittleEndian32(size) + LittleEndian16(static_cast<uint16_t>(entry.name.size()));
        directory += std::string("PK\x01\x02", 4) + LittleEndian16(20) + common +
                     LittleEndian16(0) + LittleEndian16(0) + LittleEndian16(0) + LittleEndian16(0) +
                     LittleEndian32(0) + LittleEndian32(static_cast<uint32_t>(local.size())) +
                     entry.name;
        local +=
            std::string("PK\x03\x04", 4) + common + LittleEndian16(0) + entry.name + entry.data;
    }
    const uint64_t count = entries.size();
    std::string out = local + directory;
    if (zip64) {
        out += std::string("PK\x06\x06", 4) + LittleEndian64(44) + LittleEndian16(45) +
               LittleEndian16(45) + LittleEndian32(0) + LittleEndian32(0) + LittleEndian64(count) +
               LittleEndian64(count) + LittleEndian64(directory.size()) +
               LittleEndian64(local.size());
        out += std::string("PK\x06\x07", 4) + LittleEndian32(0) +
               LittleEndian64(local.size() + directory.size()) + LittleEndian32(1);
    }
    const uint16_t shown = count >= 0xffff ? 0xffff : static_cast<uint16_t>(count);
    out += std::string("PK\x05\x06", 4) + LittleEndian32(0) + LittleEndian16(shown) +
           LittleEndian16(shown) + LittleEndian32(static_cast<uint32_t>(directory.size())) +
           LittleEndian32(static_cast<uint32_t>(local.size())) + LittleEndian16(0);
    return out;
}

TEST_F(VerifyArchiveTest, SeventyThousandEntriesVerifyWithZip64RecordsOnly) {
    std::vector<ZipEntry> entries = Suite();
    for (int i = 0; i < 70000; ++i) {
        entries.push_back({"data\\" + std::to_string(i) + ".txt", "x"});
    }
    ASSERT_EQ(kExitOk, VerifyBytes(Assemble(Program(), ManyStoredEntries(entries, true))))
        << err_.str();
    EXPECT_TRUE(OutHas("70002 entries")) << out_.str();
    // Without them the installer reads 65,535 entries and stops.
    EXPECT_EQ(kExitFailed, VerifyBytes(Assemble(Program(), ManyStoredEntries(entries, false))));
    EXPECT_TRUE(
        ErrHas("its end record counts 65535 entries, but its central directory holds 70002: "
               "more than 65,535 entries need ZIP64 end records"))
        << err_.str();
}

// The peak memory of a real --verify run of the packager, in KiB. GNU time starts it: a child
// forked from this large test process would inherit its peak.
long VerifyPeakKib(const fs::path& package, std::string* output) {
    const fs::path log = package.string() + ".log";
    const fs::path peak = package.string() + ".peak";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> args = {
        "/usr/bin/time", "-f", "%M", "-o", peak.string(), PACK_TEST_PROGRAM, "--verify",
        package.string()};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(0, posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ));
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    EXPECT_EQ(pid, waitpid(pid, &status, 0));
    *output = Read(log);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? std::atol(Read(peak).c_str()) : -1;
}

TEST_F(VerifyArchiveTest, EntryInflatingFarBeyondThePackageIsCheckedWithoutHoldingIt) {
    // 768 MiB of zeros deflate to less than a megabyte.
    const fs::path scratch = root_ / "bomb.zip";
    zipFile zip = zipOpen64(scratch.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(nullptr, zip);
    const std::string client = Read(Fixture("gui.exe"));
    zip_fileinfo info{};
    info.tmz_date = {0, 30, 6, 1, 0, 2024};
    ASSERT_EQ(ZIP_OK, zipOpenNewFileInZip64(zip, "tideboard3.exe", &info, nullptr, 0, nullptr, 0,
                                            nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0));
    ASSERT_EQ(ZIP_OK,
              zipWriteInFileInZip(zip, client.data(), static_cast<unsigned>(client.size())));
    ASSERT_EQ(ZIP_OK, zipCloseFileInZip(zip));
    ASSERT_EQ(ZIP_OK, zipOpenNewFileInZip64(zip, "data\\zeros.bin", &info, nullptr, 0, nullptr, 0,
                                            nullptr, Z_DEFLATED, 1, 0));
    const std::string zeros(1 << 20, '\0');
    for (int i = 0; i < 768; ++i) {
        ASSERT_EQ(ZIP_OK, zipWriteInFileInZip(zip, zeros.data(), zeros.size()));
    }
    ASSERT_EQ(ZIP_OK, zipCloseFileInZip(zip));
    ASSERT_EQ(ZIP_OK, zipClose(zip, nullptr));
    Write(Output(), Assemble(Program(), Read(scratch)));
    ASSERT_LT(fs::file_size(Output()), 8u << 20);

    std::string output;
    const long peak = VerifyPeakKib(Output(), &output);
    ASSERT_GT(peak, 0) << output;
    EXPECT_LT(peak, 256 * 1024) << "peak " << peak << " KiB\n" << output;
    // The room it needs where it installs: the files and the scratch copy of the client.
    const uint64_t unpacked = (uint64_t{768} << 20) + client.size();
    EXPECT_NE(output.find("(" + std::to_string(unpacked) + " bytes unpacked)"), std::string::npos)
        << output;
    EXPECT_NE(output.find("room needed:      " + std::to_string(unpacked + client.size()) +
                          " bytes free on the installation folder's volume"),
              std::string::npos)
        << output;
}

TEST_F(VerifyArchiveTest, PackageSignedWithoutPaddingSaysHowToSignIt) {
    // Put together without the zeros the packer adds: its length is no multiple of 8.
    std::string package = Assemble(Program(), Zip(Suite()));
    if (package.size() % 8 == 0) {
        package = Assemble(Program(), Zip({Suite()[0], {"lib\\core.dll", "core!"}}));
    }
    ASSERT_NE(0u, package.size() % 8);
    Write(root_ / "unpadded.exe", package);
    const std::string make =
        "cd '" + root_.string() +
        "' && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 "
        "-subj '/CN=Ferrylift test signer' >/dev/null 2>&1 && openssl pkcs12 -export -inkey "
        "key.pem -in cert.pem -out cert.p12 -passout pass:secret >/dev/null 2>&1 && "
        "osslsigncode sign -pkcs12 cert.p12 -pass secret -in unpadded.exe -out signed.exe "
        ">/dev/null 2>&1";
    ASSERT_EQ(0, std::system(make.c_str()));
    EXPECT_EQ(kExitFailed, Run({"--verify", (root_ / "signed.exe").string()}));
    EXPECT_FALSE(ErrHas("bytes were added after signing")) << err_.str();
    EXPECT_TRUE(ErrHas("was signed from a package whose length is no multiple of 8")) << err_.str();
    EXPECT_TRUE(ErrHas("Pack it again with ferrylift-pack")) << err_.str();
}

}  // namespace
