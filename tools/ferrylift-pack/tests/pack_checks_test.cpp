// What --verify refuses (packages written here by hand, since the packager will not make
// them) and what packing refuses before it writes anything; both with the same reasons.
#include "pack_test_support.h"

namespace {

using namespace pack_test;

class CheckTest : public PackTest {
protected:
    // The program part of a good package: the test installer stamped with the suite's
    // version 3.19.3.15504 and the lowest 3.18.0.13170.
    std::string Program() { return Stamped("gui.exe", "3.19.3.15504", "3.18.0.13170"); }
    std::string Client() { return Read(Fixture("gui.exe")); }
    std::string Zip(const std::vector<ZipEntry>& entries) {
        return MakeZip(root_ / "scratch.zip", entries);
    }
    // A package of the good program and these entries, plus a good client unless withClient
    // is false.
    int VerifyEntries(std::vector<ZipEntry> entries, bool withClient = true) {
        if (withClient) {
            entries.insert(entries.begin(), ZipEntry{"tideboard3.exe", Client()});
        }
        return VerifyBytes(Assemble(Program(), Zip(entries)));
    }
};

TEST_F(CheckTest, HandMadePackageOfTheRightPartsVerifiesAndSaysWhatItCarries) {
    ASSERT_EQ(kExitOk, VerifyEntries({{"lib\\core.dll", "core"}, {"web\\页面.html", "<p/>", true}}))
        << err_.str();
    EXPECT_TRUE(
        OutHas("carried version:  3.19.3.15504 (tideboard3.exe in the archive: "
               "3.19.3.15504)"))
        << out_.str();
    EXPECT_TRUE(OutHas("lowest version:   3.18.0.13170")) << out_.str();
    EXPECT_TRUE(OutHas("Windows GUI program, x86-64")) << out_.str();
    EXPECT_TRUE(OutHas("3 entries")) << out_.str();
    EXPECT_TRUE(OutHas("signed:           no")) << out_.str();
    // A name without the UTF-8 flag is in the code page 936, as on the target systems.
    ASSERT_EQ(kExitOk, VerifyEntries({{"web\\\xd2\xb3\xc3\xe6.html", "<p/>"}})) << err_.str();
}

TEST_F(CheckTest, ProgramPartMustBeAWindowsGuiProgramWithAVersionResource) {
    const std::string archive = Zip({{"tideboard3.exe", Client()}});
    struct Case {
        std::string program;
        const char* reason;
    } cases[] = {
        {Read("/bin/true"), "is an ELF program"},
        {Read(PACK_TEST_POSIX_INSTALLER), "is an ELF program"},
        {"hello\n", "is not a Windows program"},
        {Read(Fixture("console.exe")), "is not a program of the Windows graphical subsystem"},
        {Read(Fixture("library.dll")), "is a library"},
        {Read(Fixture("plain.exe")), "has no version resource"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kExitFailed, VerifyBytes(Assemble(c.program, archive)));
        EXPECT_TRUE(ErrHas(Output().string() + ": its program part " + c.reason)) << err_.str();
    }
    // A Windows program for another processor (the machine field of the test installer).
    std::string arm = Program();
    size_t pe = LittleEndianAt(arm, 0x3c);
    arm[pe + 4] = '\x64';
    arm[pe + 5] = '\xaa';
    EXPECT_EQ(kExitFailed, VerifyBytes(Assemble(arm, archive)));
    EXPECT_TRUE(ErrHas("for neither x86-64 nor x86")) << err_.str();
    // The POSIX build is taken only when asked for, and then needs its resource as well.
    Write(Output(), Assemble(Read("/bin/true"), archive));
    EXPECT_EQ(kExitFailed, Run({"--verify", Output().string(), "--posix"}));
    EXPECT_TRUE(ErrHas("its program part has no version resource")) << err_.str();
}

TEST_F(CheckTest, NotAPackageAtAll) {
    EXPECT_EQ(kExitFailed, VerifyBytes(Read(Fixture("gui.exe"))));
    EXPECT_TRUE(ErrHas(": is not a package: its trailer's total 0 is not its size")) << err_.str();
    EXPECT_EQ(kExitFailed, VerifyBytes("hello\n"));
    EXPECT_TRUE(ErrHas("is not a package: too short for a trailer")) << err_.str();
    EXPECT_EQ(kExitFailed, Run({"--verify", (root_ / "missing.exe").string()}));
    EXPECT_TRUE(ErrHas((root_ / "missing.exe").string() + ": cannot open")) << err_.str();
}

TEST_F(CheckTest, TrailerAndArchiveMustAgree) {
    const std::string program = Program();
    const std::string archive = Zip({{"tideboard3.exe", Client()}});
    // dataSize one byte short, or one byte long (the archive's start taken from the program).
    for (int delta : {-1, 1}) {
        std::string package = program + archive;
        package += LittleEndian32(static_cast<uint32_t>(archive.size() + delta));
        package += LittleEndian32(static_cast<uint32_t>(package.size() + 4));
        EXPECT_EQ(kExitFailed, VerifyBytes(package)) << delta;
        EXPECT_TRUE(ErrHas("does not point at the start of an archive")) << err_.str();
    }
    // Bytes between the archive's end record and the trailer.
    EXPECT_EQ(kExitFailed, VerifyBytes(Assemble(program, archive + "junk")));
    EXPECT_TRUE(ErrHas("does not end at the archive's end record")) << err_.str();
}

TEST_F(CheckTest, EntryNamesTheInstallerRefusesOrGetsWrong) {
    struct Case {
        ZipEntry entry;
        const char* reason;
    } cases[] = {
        {{"..\\..\\x.dll", "x"}, "climbs out of the installation folder"},
        {{"lib/. ./x.dll", "x"}, "climbs out of the installation folder"},
        {{"\\Windows\\x.dll", "x"}, "is absolute"},
        {{"/etc/x", "x"}, "is absolute"},
        {{"C:\\x.dll", "x"}, "starts with a drive"},
        {{"web\\" + std::string(260 - 4, 'a'), "x"}, "is 260 bytes long in the code page 936"},
        {{"web\\\xed\x95\x9c\xea\xb8\x80.txt", "x", true},
         "cannot be written in the code page 936"},
        {{"web\\\xff\xfe.txt", "x"}, "is no text in the code page 936"},
        {{"web\\a?.txt", "x"}, "holds the character '?', which Windows refuses in names"},
        {{"web\\a:b.txt", "x"}, "holds the character ':', which Windows refuses in names"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kExitFailed, VerifyEntries({c.entry}));
        EXPECT_TRUE(ErrHas(": entry ")) << err_.str();
        EXPECT_TRUE(ErrHas(c.reason)) << c.entry.name << ": " << err_.str();
    }
    // "乗" is 81 5C in the code page 936; its second byte is no separator for the installer,
    // in a folder name or at the end of a name.
    EXPECT_EQ(kExitOk, VerifyEntries({{"\xe4\xb9\x97\\web\\\xe4\xb9\x97", "x", true}}))
        << err_.str();
    // A name of 259 bytes is the longest the extractor takes, allowed with --max-name 259.
    EXPECT_EQ(kExitFailed, VerifyEntries({{"web\\" + std::string(259 - 4, 'a'), "x"}}));
    EXPECT_EQ(kExitOk, Run({"--verify", Output().string(), "--max-name", "259"})) << err_.str();
}

TEST_F(CheckTest, NamesEqualWithoutRegardToLetterCase) {
    EXPECT_EQ(kExitFailed, VerifyEntries({{"lib\\core.dll", "new"}, {"LIB\\Core.DLL", "old"}}));
    EXPECT_TRUE(
        ErrHas("entry LIB\\Core.DLL is the same file on Windows as another entry (letter case "
               "and trailing dots and spaces do not count): lib\\core.dll"))
        << err_.str();
    // Beyond ASCII, and with either separator.
    EXPECT_EQ(kExitFailed, VerifyEntries({{"web\\Ж.txt", "a", true}, {"web/ж.txt", "b", true}}));
    EXPECT_TRUE(ErrHas("is the same file on Windows as another entry")) << err_.str();
    // Another case of the client's name is a second client on Windows.
    EXPECT_EQ(kExitFailed, VerifyEntries({{"Tideboard3.exe", Client()}}));
    EXPECT_TRUE(ErrHas("is the same file on Windows as another entry")) << err_.str();
    // A file and a folder of one name.
    EXPECT_EQ(kExitFailed, VerifyEntries({{"web", "file"}, {"Web\\index.html", "page"}}));
    EXPECT_TRUE(
        ErrHas("entry web is a file where another entry needs a folder of that name: "
               "Web\\index.html"))
        << err_.str();
}

TEST_F(CheckTest, ExactlyOneTopLevelClient) {
    EXPECT_EQ(kExitFailed, VerifyEntries({{"bin\\tideboard3.exe", Client()}}, false));
    EXPECT_TRUE(ErrHas("its archive has no top-level tideboard3.exe")) << err_.str();
    EXPECT_EQ(kExitFailed, VerifyEntries({{"tideboard3.exe", Client()}}));
    EXPECT_TRUE(ErrHas("its archive has 2 top-level entries tideboard3.exe")) << err_.str();
    // One in a subfolder beside the top-level one is an ordinary file.
    EXPECT_EQ(kExitOk, VerifyEntries({{"old\\tideboard3.exe", Client()}})) << err_.str();
}

TEST_F(CheckTest, NoPackageInsideThePackage) {
    ASSERT_EQ(kExitOk, Pack()) << err_.str();
    const std::string inner = Read(Output());
    EXPECT_EQ(kExitFailed, VerifyEntries({{"updates\\old-update.exe", inner}}));
    EXPECT_TRUE(ErrHas("entry updates\\old-update.exe is itself an update package")) << err_.str();
}

TEST_F(CheckTest, CarriedVersionMustBeTheClients) {
    // The mismatch of the field: an installer saying 3.19.3.15504 over a 3.18.0.13169 client.
    const std::string oldClient = Stamped("gui.exe", "3.18.0.13169", "3.18.0.13169");
    EXPECT_EQ(kExitFailed, VerifyEntries({{"tideboard3.exe", oldClient}}, false));
    EXPECT_TRUE(
        ErrHas("it carries version 3.19.3.15504, but its tideboard3.exe is version "
               "3.18.0.13169"))
        << err_.str();
    // A client without a version resource.
    EXPECT_EQ(kExitFailed, VerifyEntries({{"tideboard3.exe", Read(Fixture("plain.exe"))}}, false));
    EXPECT_TRUE(ErrHas("the archive's tideboard3.exe has no version resource")) << err_.str();
    // The lowest updatable version above the carried one.
    const std::string archive = Zip({{"tideboard3.exe", Client()}});
    EXPECT_EQ(kExitFailed,
              VerifyBytes(Assemble(Stamped("gui.exe", "3.19.3.15504", "3.20.0.0"), archive)));
    EXPECT_TRUE(
        ErrHas("its lowest updatable version 3.20.0.0 is newer than the version it "
               "carries, 3.19.3.15504"))
        << err_.str();
}

// Packing: the same refusals, before anything is written.
TEST_F(CheckTest, PackingRefusesTheSameThingsAndWritesNothing) {
    auto expectRefused = [&](const std::string& reason) {
        EXPECT_EQ(kExitFailed, Pack());
        EXPECT_TRUE(ErrHas(reason)) << err_.str();
        ExpectNoOutput();
    };
    const fs::path suite = root_ / "suite";
    Write(suite / "web" / "a:b.txt", "x");
    expectRefused("holds the character ':', which Windows refuses in names");
    fs::remove(suite / "web" / "a:b.txt");
    Write(suite / "web" / "\xed\x95\x9c\xea\xb8\x80.txt", "x");
    expectRefused("cannot be written in the code page 936");
    fs::remove_all(suite / "web");
    Write(suite / "lib" / "core.dll", "new");
    Write(suite / "Lib" / "core.dll", "old");
    expectRefused("is the same file on Windows as another entry");
    fs::remove_all(suite / "Lib");
    Write(suite / "lib" / std::string(200, 'a') / std::string(60, 'b'), "x");
    expectRefused("bytes long in the code page 936; at most 180 leave room");
    fs::remove_all(suite / "lib");

    ASSERT_EQ(kExitOk, Pack()) << err_.str();
    fs::rename(Output(), suite / "old-update.exe");
    expectRefused("entry old-update.exe is itself an update package");
    fs::remove(suite / "old-update.exe");

    // The installer: not the POSIX build, not a console program, not a package, not signed.
    struct Case {
        std::string installer;
        const char* reason;
    } installers[] = {
        {Read(PACK_TEST_POSIX_INSTALLER), "is an ELF program"},
        {Read(Fixture("console.exe")), "is not a program of the Windows graphical subsystem"},
        {Read(Fixture("plain.exe")), "has no version resource"},
    };
    for (const Case& c : installers) {
        Write(installer_, c.installer);
        expectRefused(installer_.string() + ": " + c.reason);
    }
    fs::copy_file(Fixture("gui.exe"), installer_, fs::copy_options::overwrite_existing);

    // The client must say its version; the lowest updatable version may not exceed it.
    Write(suite / "tideboard3.exe", Read(Fixture("plain.exe")));
    expectRefused((suite / "tideboard3.exe").string() +
                  ": has no version resource with a ProductVersion");
    fs::copy_file(Fixture("gui.exe"), suite / "tideboard3.exe",
                  fs::copy_options::overwrite_existing);
    EXPECT_EQ(kExitFailed, Pack("3.19.3.15505"));
    EXPECT_TRUE(ErrHas("--lowest 3.19.3.15505 is newer than the version 3.19.3.15504"))
        << err_.str();
    ExpectNoOutput();
}

// The package's versions come from the suite: packing an installer built for 3.19.3.15504
// with a 3.18.0.13169 client gives a package that carries 3.18.0.13169.
TEST_F(CheckTest, VersionMismatchCannotBePacked) {
    Write(root_ / "suite" / "tideboard3.exe", Stamped("gui.exe", "3.18.0.13169", "3.18.0.13169"));
    ASSERT_EQ(kExitOk, Pack("3.18.0.13000")) << err_.str();
    EXPECT_TRUE(
        OutHas("carried version:  3.18.0.13169 (tideboard3.exe in the archive: "
               "3.18.0.13169)"))
        << out_.str();
    EXPECT_TRUE(OutHas("lowest version:   3.18.0.13000")) << out_.str();
    ASSERT_EQ(kExitOk, Verify()) << err_.str();
    EXPECT_TRUE(OutHas("carried version:  3.18.0.13169")) << out_.str();
}

TEST_F(CheckTest, PosixBuildIsPackedOnlyWhenAskedFor) {
    fs::copy_file(PACK_TEST_POSIX_INSTALLER, installer_, fs::copy_options::overwrite_existing);
    ASSERT_EQ(kExitOk,
              Run({"--installer", installer_.string(), "--suite", (root_ / "suite").string(),
                   "--lowest", "3.18.0.13170", "--output", Output().string(), "--posix"}))
        << err_.str();
    EXPECT_TRUE(OutHas("POSIX stand-in")) << out_.str();
    EXPECT_EQ(kExitFailed, Verify());
    EXPECT_TRUE(ErrHas("its program part is an ELF program")) << err_.str();
    EXPECT_EQ(kExitOk, Run({"--verify", Output().string(), "--posix"})) << err_.str();
}

}  // namespace
