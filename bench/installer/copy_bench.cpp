// Runs Update::CopyFileA once on the package named on the command line, as the installer
// would run it on itself, and prints the result and the elapsed wall time.
// The run writes a log, registry values and the installation of the profile it runs in, so
// the profile is always given: the driver never falls back to the user's own.
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/update.h"
#include "support/log_file.h"

namespace {
std::string g_package;
std::string PackagePath() {
    return g_package;
}

constexpr char kUsage[] =
    "usage: ferrylift-bench-copy --profile DIR PACKAGE\n"
    "Runs the installer's unpacking (Update::CopyFileA) once on PACKAGE in the private\n"
    "profile DIR and prints copy_result, copy_seconds and the log path.\n"
    "DIR holds home/, roaming/ (XDG_CONFIG_HOME), local/ (XDG_DATA_HOME, with\n"
    "tideboard3/tideboard_update_config.txt naming the installation) and tmp/.\n";

int UsageError(const char* reason) {
    std::fprintf(stderr, "ferrylift-bench-copy: %s\n%s", reason, kUsage);
    return 2;
}

// Points every folder the platform layer reads at DIR, creating the missing ones.
bool UseProfile(const std::string& dir) {
    struct stat info {};
    if (stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        std::fprintf(stderr, "ferrylift-bench-copy: profile %s is not a folder\n", dir.c_str());
        return false;
    }
    const struct {
        const char* variable;
        const char* sub;
    } folders[] = {{"HOME", "home"},
                   {"XDG_CONFIG_HOME", "roaming"},
                   {"XDG_DATA_HOME", "local"},
                   {"XDG_DESKTOP_DIR", "home/Desktop"},
                   {"TMPDIR", "tmp"}};
    for (const auto& folder : folders) {
        std::string path = dir + "/" + folder.sub;
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            std::fprintf(stderr, "ferrylift-bench-copy: cannot create %s: %s\n", path.c_str(),
                         std::strerror(errno));
            return false;
        }
        setenv(folder.variable, path.c_str(), 1);
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    std::string profile;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--profile") {
            if (i + 1 == argc) {
                return UsageError("--profile needs a folder");
            }
            profile = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            return UsageError(("unknown option " + arg).c_str());
        } else if (g_package.empty()) {
            g_package = arg;
        } else {
            return UsageError(("unexpected argument " + arg).c_str());
        }
    }
    if (profile.empty() || g_package.empty()) {
        return UsageError(profile.empty() ? "no --profile given" : "no package given");
    }
    if (!UseProfile(profile)) {
        return 1;
    }
    Update::SetModulePathSource(PackagePath);

    // Log as the program does: the lines cost time too.
    if (g_logFile != nullptr && g_logFile->Open()) {
        g_libraryLog = &g_logFile;
    }
    auto start = std::chrono::steady_clock::now();
    int result = Update::CopyFileA();
    auto elapsed = std::chrono::steady_clock::now() - start;
    std::string logPath;
    if (g_logFile != nullptr) {
        g_logFile->Close();
        logPath = g_logFile->path();
    }
    std::printf("copy_result %d\ncopy_seconds %.3f\nlog %s\n", result,
                std::chrono::duration<double>(elapsed).count(), logPath.c_str());
    if (result != Update::kCopied && result != Update::kCopiedRestart) {
        std::fprintf(stderr, "ferrylift-bench-copy: CopyFileA failed with %d (log %s)\n", result,
                     logPath.c_str());
        return 1;
    }
    return 0;
}
