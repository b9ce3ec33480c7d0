#include "signing.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "files.h"

extern char** environ;

namespace ferrylift_pack {
namespace {

// Where the package and the private folder sit in osslsigncode's descriptor table: above what
// a process starts with, so the two moves cannot overwrite each other's source.
constexpr int kChildInput = 100;
constexpr int kChildFolder = 101;

}  // namespace

bool SignPackage(const ScratchFile& input, const ScratchFolder& folder,
                 const std::string& outputName, const std::string& certificate,
                 const std::string& passwordFile, std::ostream& err) {
    const std::string inputPath = DescriptorPath(kChildInput, input.shownPath().string());
    const std::string outputPath =
        DescriptorPath(kChildFolder, folder.path().string()) + "/" + outputName;
    std::vector<std::string> args = {"osslsigncode", "sign", "-pkcs12", certificate};
    if (!passwordFile.empty()) {
        args.insert(args.end(), {"-readpass", passwordFile});
    }
    args.insert(args.end(),
                {"-n", "Tideboard update", "-h", "sha256", "-in", inputPath, "-out", outputPath});
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    // osslsigncode's own output goes to a scratch file and on to err, so that the caller's
    // streams carry it in order.
    TempFile log;
    const int logFd =
        log.valid() ? ::open(log.path().c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC) : -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input.fd(), kChildInput);
    posix_spawn_file_actions_adddup2(&actions, folder.fd(), kChildFolder);
    if (logFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, logFd, 1);
        posix_spawn_file_actions_adddup2(&actions, logFd, 2);
    }
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, "osslsigncode", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (logFd >= 0) {
        ::close(logFd);
    }
    if (spawned != 0) {
        err << "ferrylift-pack: " << certificate
            << ": cannot start osslsigncode to sign: " << std::strerror(spawned) << "\n";
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    bool signedOk = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!signedOk) {
        std::ifstream text(log.path());
        std::stringstream captured;
        captured << text.rdbuf();
        err << captured.str();
        err << "ferrylift-pack: " << certificate << ": osslsigncode could not sign "
            << input.shownPath().string() << "\n";
    }
    return signedOk;
}

}  // namespace ferrylift_pack
