// The packer's scratch files beside --output, in a folder another user may write: links and
// files planted there by that user (uid 65534, a real second user) are never followed, and
// never become the package.
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>

#include "pack_test_support.h"

namespace {

using namespace pack_test;

class ScratchTest : public PackTest {
protected:
    void SetUp() override {
        PackTest::SetUp();
        shared_ = root_ / "shared";
        fs::create_directories(shared_);
        fs::permissions(shared_, fs::perms::all);  // 0777, no sticky bit
        Write(root_ / "victim.txt", "the victim's own text\n");
    }
    // Runs a shell command as the other user.
    void AsOtherUser(const std::string& command) {
        const std::string line =
            "setpriv --reuid=65534 --regid=65534 --clear-groups sh -c '" + command + "'";
        const int status = std::system(line.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << line;
    }
    int PackTo(const fs::path& output, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {
            "--installer", installer_.string(), "--suite",  (root_ / "suite").string(),
            "--lowest",    "3.18.0.13170",      "--output", output.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(args);
    }
    // The names an earlier packer used, planted by the other user.
    void PlantAll(const fs::path& output) {
        const std::string base = output.string();
        const std::string victim = (root_ / "victim.txt").string();
        AsOtherUser("ln -s " + victim + " " + base + ".part && ln -s " + victim + " " + base +
                    ".zip.part && echo planted > " + base + ".signed.part && chmod 666 " + base +
                    ".signed.part");
    }
    void ExpectOwnRegularPackage(const fs::path& output) {
        struct stat st {};
        ASSERT_EQ(0, ::lstat(output.c_str(), &st));
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(::getuid(), st.st_uid);
        EXPECT_EQ(Read(output).substr(0, 2), "MZ");
        EXPECT_EQ("the victim's own text\n", Read(root_ / "victim.txt"));
        EXPECT_EQ(kExitOk, Run({"--verify", output.string()})) << err_.str();
    }
    // Nothing but the package and what the other user planted.
    void ExpectNoScratchLeft(const fs::path& output, size_t planted) {
        size_t count = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(shared_)) {
            if (entry.path() != output) {
                ++count;
                EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
            }
        }
        EXPECT_EQ(planted, count);
    }

    fs::path shared_;
};

TEST_F(ScratchTest, PlantedLinksAndFilesAreNotFollowedNorKept) {
    const fs::path output = shared_ / "pkg.exe";
    PlantAll(output);
    ASSERT_EQ(kExitOk, PackTo(output)) << err_.str();
    ExpectOwnRegularPackage(output);
    // The planted names are the other user's business; they are left as they are.
    EXPECT_TRUE(fs::is_symlink(shared_ / "pkg.exe.part"));
    EXPECT_EQ("planted\n", Read(shared_ / "pkg.exe.signed.part"));
    ExpectNoScratchLeft(output, 3);
}

TEST_F(ScratchTest, PlantedLinkAtTheOutputIsReplacedNotFollowed) {
    const fs::path output = shared_ / "pkg.exe";
    AsOtherUser("ln -s " + (root_ / "victim.txt").string() + " " + output.string());
    ASSERT_EQ(kExitOk, PackTo(output)) << err_.str();
    ExpectOwnRegularPackage(output);
    ExpectNoScratchLeft(output, 0);
}

TEST_F(ScratchTest, SignedPackageIsNotWrittenThroughPlantedNames) {
    const std::string make =
        "cd '" + root_.string() +
        "' && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 "
        "-subj '/CN=Ferrylift test signer' >/dev/null 2>&1 && openssl pkcs12 -export -inkey "
        "key.pem -in cert.pem -out cert.p12 -passout pass:secret >/dev/null 2>&1 && printf "
        "secret > pass.txt";
    ASSERT_EQ(0, std::system(make.c_str()));
    const fs::path output = shared_ / "pkg.exe";
    PlantAll(output);
    ASSERT_EQ(kExitOk, PackTo(output, {"--sign", (root_ / "cert.p12").string(),
                                       "--sign-password-file", (root_ / "pass.txt").string()}))
        << err_.str();
    ExpectOwnRegularPackage(output);
    EXPECT_TRUE(OutHas("signed:           yes")) << out_.str();
    ExpectNoScratchLeft(output, 3);
}

TEST_F(ScratchTest, FailedPackingLeavesNoScratchFile) {
    const fs::path output = shared_ / "pkg.exe";
    fs::copy_file(Fixture("console.exe"), installer_, fs::copy_options::overwrite_existing);
    EXPECT_EQ(kExitFailed, PackTo(output));
    EXPECT_FALSE(fs::exists(output));
    ExpectNoScratchLeft(output, 0);
}

}  // namespace
