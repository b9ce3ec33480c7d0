#include "signing.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "files.h"

extern char** environ;

namespace ferrylift_pack {

bool SignPackage(const std::string& input, const std::string& output,
                 const std::string& certificate, const std::string& passwordFile,
                 std::ostream& err) {
    std::vector<std::string> args = {"osslsigncode", "sign", "-pkcs12", certificate};
    if (!passwordFile.empty()) {
        args.insert(args.end(), {"-readpass", passwordFile});
    }
    args.insert(args.end(),
                {"-n", "Tideboard update", "-h", "sha256", "-in", input, "-out", output});
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    // osslsigncode's own output goes to a scratch file and on to err, so that the caller's
    // streams carry it in order.
    TempFile log;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (log.valid()) {
        posix_spawn_file_actions_addopen(&actions, 1, log.path().c_str(), O_WRONLY | O_TRUNC, 0);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, "osslsigncode", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
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
        err << "ferrylift-pack: " << certificate << ": osslsigncode could not sign " << input
            << "\n";
    }
    return signedOk;
}

}  // namespace ferrylift_pack
