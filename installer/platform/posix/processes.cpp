#include "platform/processes.h"

#include <dirent.h>

#include <fstream>
#include <iterator>

#include "platform/error.h"
#include "platform/text.h"

namespace platform {
namespace {

bool IsProcessEntry(const char* name) {
    if (*name == '\0') {
        return false;
    }
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
    }
    return true;
}

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::string();
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// comm ends with a line feed.
std::string CommName(const std::string& dir) {
    std::string comm = ReadSmallFile(dir + "/comm");
    if (!comm.empty() && comm.back() == '\n') {
        comm.pop_back();
    }
    return comm;
}

// The last component of the first argument (argv[0] ends at the first zero byte).
std::string ArgumentName(const std::string& dir) {
    std::string cmdline = ReadSmallFile(dir + "/cmdline");
    const size_t end = cmdline.find('\0');
    if (end != std::string::npos) {
        cmdline.resize(end);
    }
    const size_t slash = cmdline.rfind('/');
    return slash == std::string::npos ? cmdline : cmdline.substr(slash + 1);
}

}  // namespace

bool ForEachProcess(const ProcessVisitor& visit) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        SetLastErrorFromErrno();
        return false;
    }
    bool more = true;
    while (more) {
        const dirent* entry = readdir(proc);
        if (entry == nullptr) {
            break;
        }
        if (!IsProcessEntry(entry->d_name)) {
            continue;
        }
        const uint32_t pid = static_cast<uint32_t>(std::stoul(entry->d_name));
        const std::string dir = std::string("/proc/") + entry->d_name;
        // A process that ended meanwhile has nothing left to read.
        const std::string comm = CommName(dir);
        if (!comm.empty()) {
            more = visit(MultiByteToWide(CodePage::kAnsi, comm), pid);
        }
        if (more) {
            const std::string argument = ArgumentName(dir);
            if (!argument.empty() && argument != comm) {
                more = visit(MultiByteToWide(CodePage::kAnsi, argument), pid);
            }
        }
    }
    closedir(proc);
    return true;
}

}  // namespace platform
