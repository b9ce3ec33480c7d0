// The entry name rule as the packer applies it: suite files Windows would write wrongly are
// refused with the rule they break, packing and --verify alike, and --max-name sets the limit.
#include "pack_test_support.h"

namespace {

using namespace pack_test;

class NamesTest : public PackTest {
protected:
    int VerifyEntries(const std::vector<ZipEntry>& entries) {
        std::vector<ZipEntry> all = {{"tideboard3.exe", Read(Fixture("gui.exe"))}};
        all.insert(all.end(), entries.begin(), entries.end());
        const std::string program = Stamped("gui.exe", "3.19.3.15504", "3.18.0.13170");
        return VerifyBytes(Assemble(program, MakeZip(root_ / "scratch.zip", all)));
    }
};

struct Case {
    std::string file;  // relative to the suite, '/' separated
    const char* entry;
    const char* reason;
};

const Case kRefused[] = {
    {"tideboard3.exe.", "tideboard3.exe.", "has a segment ending in \".\""},
    {"lib/core.dll ", "lib\\core.dll ", "has a segment ending in \" \""},
    {"CON", "CON", "names the device CON"},
    {"web/con.txt", "web\\con.txt", "names the device CON"},
    {"logs/LPT1.log", "logs\\LPT1.log", "names the device LPT1"},
    {"nul", "nul", "names the device NUL"},
    {"Aux/readme.txt", "Aux\\readme.txt", "names the device AUX"},
    {"com1", "com1", "names the device COM1"},
    {"tideboard3.exe.ferrylift-new/x.txt", "tideboard3.exe.ferrylift-new\\x.txt",
     "has a segment ending in the installer's scratch suffix .ferrylift-new"},
    {"web/a|b.txt", "web\\a|b.txt", "holds the character '|'"},
};

TEST_F(NamesTest, PackingRefusesNamesWindowsWritesWronglyWithTheRuleBroken) {
    for (const Case& c : kRefused) {
        Write(root_ / "suite" / c.file, "x");
        EXPECT_EQ(kExitFailed, Pack()) << c.file;
        EXPECT_TRUE(ErrHas(std::string(": entry ") + c.entry + " " + c.reason)) << err_.str();
        ExpectNoOutput();
        fs::remove(root_ / "suite" / c.file);
        fs::remove_all(root_ / "suite" / fs::path(c.file).begin()->string());
    }
    // Two names that are one file on Windows: both exist apart on this system.
    Write(root_ / "suite" / "lib" / "core.dll", "new");
    Write(root_ / "suite" / "lib" / "core.dll.", "other");
    EXPECT_EQ(kExitFailed, Pack());
    EXPECT_TRUE(ErrHas("has a segment ending in \".\"")) << err_.str();
    fs::remove(root_ / "suite" / "lib" / "core.dll.");
    ASSERT_EQ(kExitOk, Pack()) << err_.str();
}

TEST_F(NamesTest, VerifyRefusesTheSameNames) {
    for (const Case& c : kRefused) {
        EXPECT_EQ(kExitFailed, VerifyEntries({{c.entry, "x"}})) << c.entry;
        EXPECT_TRUE(ErrHas(std::string(": entry ") + c.entry + " " + c.reason)) << err_.str();
    }
    // Windows folds the dotted name onto the main program; letter case folds too.
    EXPECT_EQ(kExitFailed, VerifyEntries({{"lib\\core.dll", "a"}, {"LIB\\Core.Dll", "b"}}));
    EXPECT_TRUE(
        ErrHas("entry LIB\\Core.Dll is the same file on Windows as another entry (letter case "
               "and trailing dots and spaces do not count): lib\\core.dll"))
        << err_.str();
}

TEST_F(NamesTest, NamesLongerThanTheLimitAreRefusedAndTheLimitIsAnOption) {
    const std::string name = "web/" + std::string(200, 'a') + ".js";
    Write(root_ / "suite" / name, "x");
    EXPECT_EQ(kExitFailed, Pack());
    EXPECT_TRUE(
        ErrHas("is 207 bytes long in the code page 936; at most 180 leave room for the "
               "installation folder"))
        << err_.str();
    ExpectNoOutput();
    const std::vector<std::string> pack = {
        "--installer", installer_.string(), "--suite",  (root_ / "suite").string(),
        "--lowest",    "3.18.0.13170",      "--output", Output().string()};
    auto with = [&](std::vector<std::string> args, const std::string& limit) {
        args.insert(args.end(), {"--max-name", limit});
        return args;
    };
    ASSERT_EQ(kExitOk, Run(with(pack, "207"))) << err_.str();
    EXPECT_EQ(kExitFailed, Verify());
    EXPECT_TRUE(ErrHas("at most 180")) << err_.str();
    EXPECT_EQ(kExitOk, Run(with({"--verify", Output().string()}, "207"))) << err_.str();
    EXPECT_EQ(kExitFailed, Run(with({"--verify", Output().string()}, "206")));
    // The extractor takes 259 bytes at most; a limit must be a number up to that.
    for (const char* bad : {"260", "0", "abc", "-5", "18x"}) {
        EXPECT_EQ(kExitUsage, Run(with(pack, bad))) << bad;
        EXPECT_TRUE(ErrHas("--max-name")) << err_.str();
    }
    EXPECT_EQ(kExitOk, Run({"--help"}));
    EXPECT_TRUE(OutHas("--max-name BYTES")) << out_.str();
    EXPECT_TRUE(OutHas("default 180")) << out_.str();
}

}  // namespace
