// Signed packages: a throw-away certificate made with openssl, the package signed with
// osslsigncode (through --sign and by hand), checked by osslsigncode and by --verify.
#include <sys/wait.h>

#include <cstdlib>

#include "pack_test_support.h"

namespace {

using namespace pack_test;

class SigningTest : public PackTest {
protected:
    void SetUp() override {
        PackTest::SetUp();
        const std::string dir = root_.string();
        const std::string make =
            "cd '" + dir +
            "' && "
            "openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 "
            "-subj '/CN=Ferrylift test signer' >/dev/null 2>&1 && "
            "openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 "
            "-passout pass:secret >/dev/null 2>&1 && printf secret > pass.txt";
        ASSERT_EQ(0, std::system(make.c_str()));
    }
    int Shell(const std::string& command) {
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int OsslVerify(const fs::path& file) {
        return Shell("osslsigncode verify -CAfile '" + (root_ / "cert.pem").string() + "' -in '" +
                     file.string() + "' >'" + (root_ / "verify.log").string() + "' 2>&1");
    }
    int SignByHand(const fs::path& in, const fs::path& out) {
        return Shell("osslsigncode sign -pkcs12 '" + (root_ / "cert.p12").string() +
                     "' -pass secret -in '" + in.string() + "' -out '" + out.string() +
                     "' >/dev/null 2>&1");
    }
    int PackSigned() {
        return Run({"--installer", installer_.string(), "--suite", (root_ / "suite").string(),
                    "--lowest", "3.18.0.13170", "--output", Output().string(), "--sign",
                    (root_ / "cert.p12").string(), "--sign-password-file",
                    (root_ / "pass.txt").string()});
    }
};

TEST_F(SigningTest, SignedPackageVerifiesWithBothTools) {
    Write(root_ / "suite" / "web" / "index.html", "<p/>");
    ASSERT_EQ(kExitOk, PackSigned()) << err_.str();
    EXPECT_TRUE(OutHas("signed:           yes (certificate table of ")) << out_.str();
    EXPECT_EQ(0, OsslVerify(Output())) << Read(root_ / "verify.log");
    ASSERT_EQ(kExitOk, Verify()) << err_.str();
    EXPECT_TRUE(OutHas("signed:           yes")) << out_.str();
    EXPECT_TRUE(OutHas("carried version:  3.19.3.15504")) << out_.str();
    EXPECT_FALSE(fs::exists(root_ / "package.exe.part"));
    EXPECT_FALSE(fs::exists(root_ / "package.exe.signed.part"));
}

TEST_F(SigningTest, PackageSignedAfterPackingByHandVerifies) {
    ASSERT_EQ(kExitOk, Pack()) << err_.str();
    const fs::path signedPackage = root_ / "signed.exe";
    ASSERT_EQ(0, SignByHand(Output(), signedPackage));
    // The signature follows the trailer directly: the package's length is a multiple of 8.
    const std::string unsignedBytes = Read(Output());
    const std::string signedBytes = Read(signedPackage);
    ASSERT_GT(signedBytes.size(), unsignedBytes.size());
    EXPECT_EQ(unsignedBytes.substr(unsignedBytes.size() - 8),
              signedBytes.substr(unsignedBytes.size() - 8, 8));
    EXPECT_EQ(kExitOk, Run({"--verify", signedPackage.string()})) << err_.str();
    EXPECT_TRUE(OutHas("signed:           yes")) << out_.str();
}

TEST_F(SigningTest, SignaturesThatDoNotCoverThePackageAreRefused) {
    // Signed before packing: the packager refuses the signed installer ...
    const fs::path signedInstaller = root_ / "signed-ferrylift.exe";
    ASSERT_EQ(0, SignByHand(installer_, signedInstaller));
    fs::copy_file(signedInstaller, installer_, fs::copy_options::overwrite_existing);
    EXPECT_EQ(kExitFailed, Pack());
    EXPECT_TRUE(ErrHas(installer_.string() + ": is signed")) << err_.str();
    ExpectNoOutput();

    // ... and --verify a package put together from it by hand.
    const std::string program = Read(signedInstaller);
    const std::string archive =
        MakeZip(root_ / "scratch.zip", {{"tideboard3.exe", Read(Fixture("gui.exe"))}});
    EXPECT_EQ(kExitFailed, VerifyBytes(Assemble(program, archive)));
    EXPECT_TRUE(ErrHas("signed before packing")) << err_.str();

    // Bytes added after signing.
    fs::copy_file(Fixture("gui.exe"), installer_, fs::copy_options::overwrite_existing);
    ASSERT_EQ(kExitOk, PackSigned()) << err_.str();
    std::string grown = Read(Output()) + "appended";
    EXPECT_EQ(kExitFailed, VerifyBytes(grown));
    EXPECT_TRUE(ErrHas("certificate table does not end the file")) << err_.str();

    // A certificate the tool cannot use leaves nothing behind.
    fs::remove(Output());
    Write(root_ / "cert.p12", "not a certificate");
    EXPECT_EQ(kExitFailed, PackSigned());
    EXPECT_TRUE(ErrHas("osslsigncode could not sign")) << err_.str();
    ExpectNoOutput();
}

}  // namespace
