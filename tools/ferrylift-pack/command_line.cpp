#include <string>
#include <vector>

#include "entry_names.h"
#include "pack.h"

#ifndef FERRYLIFT_PACK_VERSION
#define FERRYLIFT_PACK_VERSION "unknown"
#endif

namespace ferrylift_pack {
namespace {

constexpr char kUsage[] =
    "usage: ferrylift-pack --installer PROGRAM --suite FOLDER --lowest VERSION --output PACKAGE\n"
    "                      [--sign CERT.p12 [--sign-password-file FILE]] [--max-name BYTES]\n"
    "                      [--posix]\n"
    "       ferrylift-pack --installer PROGRAM --suite FOLDER --since OLD --output PACKAGE\n"
    "                      [--lowest VERSION] [--allow-leftovers] [options of packing]\n"
    "       ferrylift-pack --verify PACKAGE [--max-name BYTES] [--posix]\n"
    "       ferrylift-pack --help | --version\n";

constexpr char kHelp[] =
    "Makes and checks update packages of the Ferrylift installer.\n"
    "\n"
    "Packing writes PACKAGE: the installer PROGRAM (ferrylift.exe of the windows build), a ZIP\n"
    "of the client suite in FOLDER and the trailer. The package carries the ProductVersion of\n"
    "FOLDER/tideboard3.exe; --lowest is the oldest installed version it may update. Both are\n"
    "written into the package's version resource. Before PACKAGE is written, the result passes\n"
    "every check of --verify.\n"
    "\n"
    "With --since, the package is a delta: its archive holds only the files of FOLDER that are\n"
    "new or differ from the earlier release OLD (its suite folder, or a full package made from\n"
    "it), and always tideboard3.exe. Its lowest version is OLD's version unless --lowest names\n"
    "a newer one. The installer removes no files: files OLD has and FOLDER lacks are listed and\n"
    "refused unless --allow-leftovers is given.\n"
    "\n"
    "  --installer PROGRAM        the installer program (unsigned)\n"
    "  --suite FOLDER             the client suite; FOLDER/tideboard3.exe is the client\n"
    "  --lowest VERSION           lowest installed version the package updates, e.g. 3.18.0.13170\n"
    "  --since OLD                make a delta from the earlier release OLD (folder or package)\n"
    "  --allow-leftovers          make the delta although OLD has files FOLDER lacks\n"
    "  --output PACKAGE           the package to write\n"
    "  --sign CERT.p12            sign the package (Authenticode, with osslsigncode)\n"
    "  --sign-password-file FILE  the certificate's password\n"
    "  --verify PACKAGE           check a package and print what it carries\n"
    "  --max-name BYTES           the longest entry name, in bytes of the code page 936\n"
    "                             (default 180: with the installation folder and the suffix\n"
    "                             of a file moved aside it stays below Windows' 260; at most\n"
    "                             259)\n"
    "  --posix                    the program is the installer's POSIX build (development runs)\n"
    "  --help, --version          this text, the packager's version\n"
    "\n"
    "Exit status: 0 success, 1 refused or failed (the reason on standard error), 2 bad usage.\n";

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            out << kUsage << "\n" << kHelp;
            return kExitOk;
        }
        if (arg == "--version") {
            out << "ferrylift-pack " << FERRYLIFT_PACK_VERSION << "\n";
            return kExitOk;
        }
    }
    auto usage = [&](const std::string& problem) {
        err << "ferrylift-pack: " << problem << "\n" << kUsage;
        return kExitUsage;
    };
    PackOptions pack;
    std::string verify;
    std::string maxName;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--posix") {
            pack.check.posixStandIn = true;
            continue;
        }
        if (option == "--allow-leftovers") {
            pack.allowLeftovers = true;
            continue;
        }
        std::string* target = option == "--installer"            ? &pack.installer
                              : option == "--suite"              ? &pack.suite
                              : option == "--output"             ? &pack.output
                              : option == "--lowest"             ? &pack.lowest
                              : option == "--sign"               ? &pack.certificate
                              : option == "--sign-password-file" ? &pack.certificatePass
                              : option == "--verify"             ? &verify
                              : option == "--max-name"           ? &maxName
                              : option == "--since"              ? &pack.since
                                                                 : nullptr;
        if (target == nullptr) {
            return usage("unknown argument " + option);
        }
        if (i + 1 >= args.size() || args[i + 1].empty() || !target->empty()) {
            return usage("option " + option + " needs one value");
        }
        *target = args[++i];
    }
    if (!maxName.empty()) {
        const bool digits =
            maxName.size() <= 3 && maxName.find_first_not_of("0123456789") == std::string::npos;
        const size_t bytes = digits ? std::stoul(maxName) : 0;
        if (bytes == 0 || bytes > kMaxEntryNameBytes) {
            return usage("--max-name " + maxName + " is not a number of bytes from 1 to " +
                         std::to_string(kMaxEntryNameBytes));
        }
        pack.check.maxNameBytes = bytes;
    }
    if (!verify.empty()) {
        if (!pack.installer.empty() || !pack.suite.empty() || !pack.output.empty() ||
            !pack.lowest.empty() || !pack.certificate.empty() || !pack.certificatePass.empty() ||
            !pack.since.empty() || pack.allowLeftovers) {
            return usage("--verify takes no option but --max-name and --posix");
        }
        return Verify(verify, pack.check, out, err);
    }
    if (pack.installer.empty() || pack.suite.empty() || pack.output.empty() ||
        (pack.lowest.empty() && pack.since.empty())) {
        return usage("--installer, --suite, --output and --lowest or --since are all needed");
    }
    if (pack.allowLeftovers && pack.since.empty()) {
        return usage("--allow-leftovers needs --since");
    }
    if (!pack.certificatePass.empty() && pack.certificate.empty()) {
        return usage("--sign-password-file needs --sign");
    }
    return Pack(pack, out, err);
}

}  // namespace ferrylift_pack
