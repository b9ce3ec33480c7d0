#include "support/zip_extract.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "file_in_use.h"
#include "platform/directory.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/path.h"
#include "support/file_helpers.h"
#include "support/log_file.h"

#if defined(_WIN32)
#include <windows.h>

#include "platform/win32/win32_undef.h"
#endif

namespace {

constexpr uint16_t kDosDate = ((2023u - 1980u) << 9) | (11u << 5) | 27u;  // 2023-11-27
constexpr uint16_t kDosTime = (14u << 11) | (5u << 5) | (42u / 2);        // 14:05:42

struct Entry {
    std::string name;
    std::string data;
    bool deflate = true;
    bool utf8Name = false;
    // Stored raw with this CRC instead of the real one (a damaged archive).
    bool wrongCrc = false;
    unsigned long dosDateTime = static_cast<unsigned long>(kDosDate) << 16 | kDosTime;
};

// Archives for the tests, written with minizip's zip interface.
void WriteArchive(const std::string& path, const std::vector<Entry>& entries) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr) << path;
    for (const Entry& entry : entries) {
        zip_fileinfo info{};
        info.dosDate = entry.dosDateTime;
        const uLong flags = entry.utf8Name ? 0x800 : 0;
        if (entry.wrongCrc) {
            ASSERT_EQ(ZIP_OK, zipOpenNewFileInZip4_64(zip, entry.name.c_str(), &info, nullptr, 0,
                                                      nullptr, 0, nullptr, 0, 0, 1, 0, 0, 0,
                                                      nullptr, 0, 20, flags, 0));
            zipWriteInFileInZip(zip, entry.data.data(), static_cast<unsigned>(entry.data.size()));
            ASSERT_EQ(ZIP_OK, zipCloseFileInZipRaw64(zip, entry.data.size(), 0x12345678));
            continue;
        }
        ASSERT_EQ(ZIP_OK, zipOpenNewFileInZip4_64(
                              zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                              entry.deflate ? Z_DEFLATED : 0, entry.deflate ? 6 : 0, 0, -MAX_WBITS,
                              DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 20, flags, 0));
        if (!entry.data.empty()) {
            ASSERT_EQ(ZIP_OK, zipWriteInFileInZip(zip, entry.data.data(),
                                                  static_cast<unsigned>(entry.data.size())));
        }
        ASSERT_EQ(ZIP_OK, zipCloseFileInZip(zip));
    }
    ASSERT_EQ(ZIP_OK, zipClose(zip, nullptr));
}

std::string Read(const std::string& path) {
    std::vector<uint8_t> bytes;
    return ReadFileToBuffer(path, &bytes) ? std::string(bytes.begin(), bytes.end()) : "";
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFDIR) != 0;
}

// Every name under a folder, recursively, relative to it.
void ListTree(const std::string& folder, const std::string& prefix, std::vector<std::string>* out) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = prefix + entry.path().filename().string();
        out->push_back(name);
        if (entry.is_directory()) {
            ListTree(entry.path().string(), name + "/", out);
        }
    }
}

int OpenDescriptorCount() {
#if defined(_WIN32)
    return 0;
#else
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
#endif
}

class ZipExtractTest : public ::testing::Test {
protected:
    void SetUp() override {
        work_ = JoinPath(GetTempFolder(), "ferrylift-zip-" + NewGuidString());
        ASSERT_EQ(0, platform::CreateDirectoryAll(work_));
        archive_ = JoinPath(work_, "suite.zip");
        dest_ = JoinPath(work_, "dest");
        ASSERT_TRUE(log_.OpenAt(JoinPath(work_, "extract.log")));
        slot_ = &log_;
        g_libraryLog = &slot_;
    }
    void TearDown() override {
        g_libraryLog = nullptr;
        log_.Close();
        std::error_code ignored;
        std::filesystem::remove_all(work_, ignored);
    }

    // Joined by hand: the path helpers canonicalise, and names such as "..c.txt" must stay.
    std::string In(std::string name) const {
        for (char& c : name) {
            c = platform::IsPathSeparator(c) ? platform::kPathSeparator : c;
        }
        return dest_ + platform::kPathSeparator + name;
    }
    // Read without a lock: the log is open for writing and shares only reading.
    std::string LogText() const {
        std::ifstream in(log_.path(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool LogHas(const std::string& text) const { return LogText().find(text) != std::string::npos; }
    size_t LogCount(const std::string& text) const {
        std::string log = LogText();
        size_t count = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
            ++count;
        }
        return count;
    }

    bool Extract(
        ZipFilter filter = [](const std::string&) { return true; },
        ZipCreateFailed onFailed = [](const std::string&, uint32_t) { return ZipCode::Fail; }) {
        return ZipExtractEx(archive_.c_str(), dest_.c_str(), std::move(filter),
                            std::move(onFailed));
    }

    std::string work_, archive_, dest_;
    LogFile log_;
    LogFile* slot_ = nullptr;
};

TEST_F(ZipExtractTest, BothSeparatorsMakeTheSameFoldersAndFolderEntriesWriteNothing) {
    WriteArchive(archive_, {{"frame\\js\\marking\\marking.js", "marking"},
                            {"frame/js/a.js", "a", false},
                            {"docs/", ""},
                            {"docs\\empty\\", ""},
                            {"top.txt", std::string(20000, 'x')}});
    std::vector<std::string> seen;
    ASSERT_TRUE(Extract([&](const std::string& path) {
        seen.push_back(path);
        return true;
    })) << LogText();
    EXPECT_EQ("marking", Read(In("frame/js/marking/marking.js")));
    EXPECT_EQ("a", Read(In("frame/js/a.js")));
    EXPECT_EQ(std::string(20000, 'x'), Read(In("top.txt")));
    EXPECT_TRUE(IsFolder(In("docs/empty")));
    // The filter sees full output paths with native separators, in archive order, files only.
    const char sep = platform::kPathSeparator;
    std::string root = dest_ + sep;
    EXPECT_EQ((std::vector<std::string>{
                  root + "frame" + sep + "js" + sep + "marking" + sep + "marking.js",
                  root + "frame" + sep + "js" + sep + "a.js", root + "top.txt"}),
              seen);
}

// In GBK (code page 936) the trail byte of 淺, 乗 and 琝 is '\\'. Runs under Wine (code page
// 936) and natively under a GBK locale (installer.double_byte_names_gbk).
TEST_F(ZipExtractTest, DoubleByteNamesKeepCharactersWhoseTrailByteIsABackslash) {
    const std::string shallow = Utf8ToAnsi("淺");
    if (shallow != "\x9c\x5c") {
        GTEST_SKIP() << "needs GBK as the ANSI code page";
    }
    const std::string readme = Utf8ToAnsi("说明淺");
    const std::string folder = Utf8ToAnsi("课件淺");
    const std::string notes = Utf8ToAnsi("乗琝");
    WriteArchive(archive_, {{"web\\" + readme, "readme"},
                            {folder + "\\" + notes, "notes"},
                            {"web/琝.txt", "flagged", true, true}});
    ASSERT_TRUE(Extract()) << LogText();
    const char sep = platform::kPathSeparator;
    const std::string web = dest_ + sep + "web" + sep;
    EXPECT_EQ("readme", Read(web + readme));
    EXPECT_EQ("notes", Read(dest_ + sep + folder + sep + notes));
    EXPECT_EQ("flagged", Read(web + Utf8ToAnsi("琝.txt")));
    // Nothing was split after a lead byte: no stray folders beside the real ones.
    EXPECT_FALSE(IsFolder(web + readme.substr(0, readme.size() - 1)));
    EXPECT_FALSE(IsFolder(dest_ + sep + folder.substr(0, folder.size() - 1)));
    int top = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dest_)) {
        (void)entry;
        ++top;
    }
    EXPECT_EQ(2, top);
    // A destination whose last character ends in that byte still gets its separator.
    const std::string inner = dest_ + sep + folder;
    ASSERT_TRUE(ZipExtractEx(
        archive_.c_str(), inner.c_str(), [](const std::string&) { return true; },
        [](const std::string&, uint32_t) { return ZipCode::Fail; }))
        << LogText();
    EXPECT_EQ("readme", Read(inner + sep + "web" + sep + readme));
#if defined(_WIN32)
    // Under the file's own Unicode name.
    EXPECT_NE(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW(reinterpret_cast<const wchar_t*>(
                  AnsiToWide(dest_ + "\\web\\").append(u"说明淺").c_str())));
#endif
}

TEST_F(ZipExtractTest, FilteredOutFilesStillGetTheirFoldersAndOldCopiesStay) {
    WriteArchive(archive_, {{"lib\\core\\core.dll", "new core"}, {"tideboard3.exe", "new client"}});
    ASSERT_TRUE(FileWriteToEnd(In("lib/core/core.dll"), "old core", 8));
    ASSERT_TRUE(
        Extract([](const std::string& path) { return GetFileNamePart(path) == "tideboard3.exe"; }));
    EXPECT_EQ("old core", Read(In("lib/core/core.dll")));
    EXPECT_EQ("new client", Read(In("tideboard3.exe")));

    std::filesystem::remove_all(dest_);
    ASSERT_TRUE(
        Extract([](const std::string& path) { return GetFileNamePart(path) == "tideboard3.exe"; }));
    EXPECT_TRUE(IsFolder(In("lib/core")));
    EXPECT_FALSE(platform::PathExists(In("lib/core/core.dll")));
}

TEST_F(ZipExtractTest, EmptyArchiveCreatesOnlyTheDestination) {
    WriteArchive(archive_, {});
    ASSERT_TRUE(Extract());
    ASSERT_TRUE(IsFolder(dest_));
    std::vector<std::string> names;
    ListTree(dest_, "", &names);
    EXPECT_TRUE(names.empty());
}

TEST_F(ZipExtractTest, WrittenFilesCarryTheStoredLocalTime) {
    WriteArchive(archive_, {{"a.txt", "a"}});
    ASSERT_TRUE(Extract());
    struct stat st;
    ASSERT_EQ(0, stat(In("a.txt").c_str(), &st));
    std::time_t written = st.st_mtime;
    std::tm local = *std::localtime(&written);
    EXPECT_EQ(2023, local.tm_year + 1900);
    EXPECT_EQ(11, local.tm_mon + 1);
    EXPECT_EQ(27, local.tm_mday);
    EXPECT_EQ(14, local.tm_hour);
    EXPECT_EQ(5, local.tm_min);
    EXPECT_EQ(42, local.tm_sec);
    EXPECT_EQ(st.st_mtime, st.st_atime);

    // A stored date that names no day (month 0) leaves the new file's own time.
    const std::time_t started = std::time(nullptr);
    WriteArchive(archive_, {{"b.txt", "b", true, false, false, (43ul << 25) | 27ul << 16}});
    ASSERT_TRUE(Extract());
    ASSERT_EQ(0, stat(In("b.txt").c_str(), &st));
    EXPECT_GE(st.st_mtime + 2, started);
}

TEST_F(ZipExtractTest, Utf8FlaggedNamesAreConvertedToTheAnsiCodePage) {
    // "课件" exists in every Chinese code page; the Thai letter does not exist in GBK.
    const std::string chinese = "\xe8\xaf\xbe\xe4\xbb\xb6.txt";
    const std::string thai = "\xe0\xb8\x81.txt";
    WriteArchive(archive_, {{chinese, "chinese", true, true}});
    ASSERT_TRUE(Extract()) << LogText();
    EXPECT_EQ("chinese", Read(In(Utf8ToAnsi(chinese))));
    WriteArchive(archive_, {{"first.txt", "first", true, true}, {thai, "thai", true, true}});
#if defined(_WIN32)
    // The letter would become '?', another name than the package meant: the archive is
    // refused before anything is written.
    if (GetACP() == 936) {
        EXPECT_EQ("?.txt", Utf8ToAnsi(thai));
        EXPECT_FALSE(Extract());
        EXPECT_TRUE(LogHas("ZipExtractEx unsafe entry name(?.txt) cannot be written")) << LogText();
        EXPECT_FALSE(platform::PathExists(In("first.txt")));
    }
#else
    // The locale's UTF-8 holds every letter.
    EXPECT_TRUE(Extract()) << LogText();
    EXPECT_EQ("thai", Read(In(Utf8ToAnsi(thai))));
#endif
}

TEST_F(ZipExtractTest, FileInUseFollowsTheCallbacksAnswer) {
    WriteArchive(archive_, {{"a.txt", "a"}, {"busy.exe", "new program"}, {"z.txt", "z"}});
    ASSERT_EQ(0, platform::CreateDirectoryAll(dest_));
    update_test::FileInUse busy(In("busy.exe"));
    ASSERT_TRUE(busy.ok());
    const std::string before = Read(In("busy.exe"));

    // Skip: the old file stays and the rest is written.
    std::vector<uint32_t> errors;
    ASSERT_TRUE(Extract([](const std::string&) { return true; },
                        [&](const std::string& path, uint32_t error) {
                            EXPECT_EQ(In("busy.exe"), path);
                            errors.push_back(error);
                            return ZipCode::Skip;
                        }));
    EXPECT_EQ(std::vector<uint32_t>{platform::kErrorSharingViolation}, errors);
    EXPECT_EQ(before, Read(In("busy.exe")));
    EXPECT_EQ("z", Read(In("z.txt")));
    EXPECT_TRUE(LogHas("ZipExtractCurrentFile CreateFile(" + In("busy.exe") + ") failed(32)"));

    // Fail (and any unknown answer): the extraction stops at that entry.
    std::filesystem::remove(In("z.txt"));
    EXPECT_FALSE(Extract([](const std::string&) { return true; },
                         [](const std::string&, uint32_t) { return static_cast<ZipCode>(7); }));
    EXPECT_TRUE(LogHas("ZipExtractEx ZipExtractCurrentFile == false"));
    EXPECT_FALSE(platform::PathExists(In("z.txt")));

    // Retry is unlimited and recreates the same path; here the file is freed on the third ask.
    int asked = 0;
    ASSERT_TRUE(Extract([](const std::string&) { return true; },
                        [&](const std::string&, uint32_t) {
                            if (++asked == 3) {
                                busy.Release();
                            }
                            return ZipCode::Retry;
                        }));
    EXPECT_EQ(3, asked);
    EXPECT_EQ("new program", Read(In("busy.exe")));
}

TEST_F(ZipExtractTest, ExceptionsFromTheCallablesLeaveNoHandleOpen) {
    WriteArchive(archive_, {{"a.txt", "a"}, {"b.txt", "b"}});
    const int before = OpenDescriptorCount();
    EXPECT_THROW(Extract([](const std::string&) -> bool { throw std::runtime_error("filter"); }),
                 std::runtime_error);
    EXPECT_THROW(Extract({}), std::bad_function_call);
    EXPECT_EQ(before, OpenDescriptorCount());
    // An archive still open would refuse to go away on Windows.
    EXPECT_EQ(0, std::remove(archive_.c_str()));
}

TEST_F(ZipExtractTest, DamagedArchivesFailWithTheirReason) {
    EXPECT_FALSE(Extract());
    EXPECT_TRUE(LogHas("ZipExtractEx unzOpen64(" + archive_ + ") == NULL"));

    // A stored entry whose data does not match its CRC: found when the entry is closed.
    WriteArchive(archive_, {{"good.txt", "good"},
                            {"bad.txt", "tampered", false, false, true},
                            {"after.txt", "after"}});
    EXPECT_FALSE(Extract());
    EXPECT_TRUE(LogHas("ZipExtractCurrentFile unzCloseCurrentFile != UNZ_OK")) << LogText();
    EXPECT_EQ("good", Read(In("good.txt")));
    EXPECT_FALSE(platform::PathExists(In("after.txt")));

    // Deflated data that does not inflate.
    std::string text(5000, 'q');
    WriteArchive(archive_, {{"q.txt", text}});
    std::string bytes = Read(archive_);
    const size_t data = bytes.find("q.txt") + 5;
    for (size_t i = data; i < data + 8; ++i) {
        bytes[i] = static_cast<char>(0xFF);
    }
    ASSERT_TRUE(FileWriteToEnd(archive_, bytes.data(), static_cast<int32_t>(bytes.size())));
    EXPECT_FALSE(Extract());
    EXPECT_TRUE(LogHas("ZipExtractCurrentFile unzReadCurrentFile < 0")) << LogText();

    // Cut short: the central directory is gone.
    ASSERT_TRUE(FileWriteToEnd(archive_, bytes.data(), static_cast<int32_t>(bytes.size() / 2)));
    EXPECT_FALSE(Extract());
    EXPECT_EQ(2u, LogCount(") == NULL"));
}

TEST_F(ZipExtractTest, NamesThatLeaveTheDestinationAreRefused) {
    const std::vector<std::string> unsafe = {"../escape.txt",        "..\\escape.txt",
                                             "sub/../../escape.txt", "sub\\..\\..\\escape.txt",
                                             "/escape.txt",          "\\escape.txt",
                                             "C:escape.txt",         "c:\\escape.txt",
                                             "sub/.../escape.txt",   "sub/. ./escape.txt"};
    std::vector<std::string> outsideBefore;
    ListTree(work_, "", &outsideBefore);
    for (const std::string& name : unsafe) {
        WriteArchive(archive_, {{"first.txt", "first"}, {name, "escaped"}});
        EXPECT_FALSE(Extract()) << name;
        EXPECT_TRUE(LogHas("ZipExtractEx unsafe entry name(" + name + ")")) << name;
    }
    // Refused before anything was written.
    EXPECT_FALSE(platform::PathExists(In("first.txt")));
    std::vector<std::string> outsideAfter;
    ListTree(work_, "", &outsideAfter);
    for (const std::string& name : outsideAfter) {
        EXPECT_TRUE(name.rfind("dest", 0) == 0 || name == "suite.zip" || name == "extract.log" ||
                    std::find(outsideBefore.begin(), outsideBefore.end(), name) !=
                        outsideBefore.end())
            << name;
    }
    EXPECT_FALSE(platform::PathExists(JoinPath(work_, "escape.txt")));
    EXPECT_FALSE(platform::PathExists(In("sub")));

    // Names that only look alike are fine; a "." segment is not (it ends in a dot).
    WriteArchive(archive_, {{"a..b/..c.txt", "dots"}});
    EXPECT_TRUE(Extract()) << LogText();
    EXPECT_EQ("dots", Read(In("a..b/..c.txt")));
    WriteArchive(archive_, {{"./here.txt", "here"}});
    EXPECT_FALSE(Extract());
    EXPECT_FALSE(platform::PathExists(In("here.txt")));
}

TEST_F(ZipExtractTest, NamesOf260BytesOrMoreAreRefusedNotCut) {
    const std::string cut(259, 'n');
    for (size_t length : {260, 300}) {
        WriteArchive(archive_, {{std::string(length, 'n'), "long"}});
        EXPECT_FALSE(Extract()) << length;
        EXPECT_TRUE(LogHas("ZipExtractEx unsafe entry name(" + std::string(length, 'n') + ")"));
    }
    EXPECT_FALSE(platform::PathExists(In(cut)));
    EXPECT_FALSE(platform::PathExists(In(std::string(255, 'n'))));
}

// The package format's name rule, applied to the whole archive before its first file is
// written: each of these would be written as another file, a device or not at all on Windows.
TEST_F(ZipExtractTest, NamesWindowsCannotHoldRefuseTheWholeArchiveFirst) {
    // Room below the destination: 259 characters, less the GUID of a file moved aside.
    const size_t limit = 259 - 38 - (dest_.size() + 1);
    const struct {
        std::vector<std::string> names;  // the last one is refused
    } cases[] = {{{"tideboard3.exe", "tideboard3.exe."}},
                 {{"lib.dll", "lib.dll "}},
                 {{"sub. /lib.dll"}},
                 {{"Lib.dll", "lib.dll"}},
                 {{"web/A.js", "WEB\\a.JS"}},
                 {{"web/a.js", "web"}},
                 {{"CON"}},
                 {{"con.txt"}},
                 {{"LPT1.log"}},
                 {{"NUL"}},
                 {{"Aux"}},
                 {{"com1"}},
                 {{"frame/conout$/a.js"}},
                 {{"a<b.txt"}},
                 {{"a:b.txt"}},
                 {{"tab\tname.txt"}},
                 {{"tideboard3.exe.ferrylift-new/x.js"}},
                 {{"lib.dll.FERRYLIFT-NEW"}},
                 {{std::string(limit + 1, 'n')}}};
    for (const auto& tried : cases) {
        std::vector<Entry> entries = {{"first.txt", "first"}};
        for (const std::string& name : tried.names) {
            entries.push_back({name, "data"});
        }
        WriteArchive(archive_, entries);
        const std::string& refused = tried.names.back();
        EXPECT_FALSE(Extract()) << refused;
        EXPECT_TRUE(LogHas("ZipExtractEx unsafe entry name(" + refused + ")")) << refused;
        std::vector<std::string> written;
        if (IsFolder(dest_)) {
            ListTree(dest_, "", &written);
        }
        EXPECT_TRUE(written.empty()) << refused << ": " << written.front();
    }
    // At the limit a name still fits, moved-aside GUID included.
    WriteArchive(archive_, {{std::string(limit, 'n'), "longest"}});
    EXPECT_TRUE(Extract()) << LogText();
    EXPECT_EQ("longest", Read(In(std::string(limit, 'n'))));
}

// An archive held open is read through that handle alone: its name may be gone (or another
// file's) by the time it is read, by every pass.
TEST_F(ZipExtractTest, ArchiveHeldOpenIsReadThroughItsHandle) {
    WriteArchive(archive_, {{"a.txt", "a"}, {"sub/b.txt", "b"}});
    platform::UniqueFile file(platform::CreateFile(
        archive_, platform::kGenericRead, platform::kShareRead | platform::kShareDelete,
        platform::kOpenExisting, platform::kFileAttributeNormal));
    ASSERT_TRUE(file);
    ASSERT_TRUE(platform::MoveFileReplacing(archive_, archive_ + ".gone"));
    WriteArchive(archive_, {{"a.txt", "another archive's"}});
    const ZipSource source(file.Get(), archive_.c_str());
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(ZipExtractEx(
            source, dest_.c_str(), [](const std::string&) { return true; },
            [](const std::string&, uint32_t) { return ZipCode::Fail; }))
            << LogText();
        EXPECT_EQ("a", Read(In("a.txt")));
        EXPECT_EQ("b", Read(In("sub/b.txt")));
    }
}

}  // namespace
