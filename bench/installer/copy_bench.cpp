// Runs Update::CopyFileA once on the package named on the command line, as the installer
// would run it on itself, and prints the result and the elapsed wall time.
#include <chrono>
#include <cstdio>
#include <string>

#include "support/log_file.h"
#include "update.h"

namespace {
std::string g_package;
std::string PackagePath() {
    return g_package;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ferrylift-bench-copy <package>\n");
        return 2;
    }
    g_package = argv[1];
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
    return result == Update::kCopied || result == Update::kCopiedRestart ? 0 : 1;
}
