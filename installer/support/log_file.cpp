#include "support/log_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/directory.h"
#include "platform/known_folders.h"
#include "platform/path.h"
#include "support/guid_text.h"

namespace {

constexpr char kLineEnd[] = "\r\n";

LogFile* CreateProcessLog() {
    return new (std::nothrow) LogFile();
}

// Closes and frees the process's log at static destruction.
struct ProcessLogOwner {
    ~ProcessLogOwner() {
        LogFile* log = g_logFile;
        g_logFile = nullptr;
        delete log;
    }
};

}  // namespace

LogFile* g_logFile = CreateProcessLog();
LogFile** g_libraryLog = nullptr;

namespace {
ProcessLogOwner g_processLogOwner;
}

size_t FormatLogLine(char* out, size_t capacity, const platform::LocalTime& time, uint32_t elapsed,
                     uint32_t threadId, const char* message) {
    if (out == nullptr || capacity == 0) {
        return 0;
    }
    int head =
        std::snprintf(out, capacity, "<%d%02d%02d %02d:%02d:%02d.%03d %04u %05u> ", time.year,
                      time.month, time.day, time.hour, time.minute, time.second, time.milliseconds,
                      static_cast<unsigned>(elapsed), static_cast<unsigned>(threadId));
    if (head < 0) {
        out[0] = '\0';
        return 0;
    }
    size_t length = static_cast<size_t>(head);
    const size_t tail = sizeof kLineEnd - 1;
    if (capacity < tail + 1 || length > capacity - 1 - tail) {
        // No room for the whole decoration: keep what fits and still end with CR LF.
        length = capacity > tail + 1 ? capacity - 1 - tail : 0;
    } else {
        // Cut the message so that CR LF and the terminator still fit.
        size_t room = capacity - 1 - tail - length;
        size_t messageLength = message != nullptr ? std::strlen(message) : 0;
        if (messageLength > room) {
            messageLength = room;
        }
        std::memcpy(out + length, message, messageLength);
        length += messageLength;
    }
    if (capacity >= tail + 1) {
        std::memcpy(out + length, kLineEnd, tail);
        length += tail;
    }
    out[length] = '\0';
    return length;
}

LogFile::LogFile(const LogClock& clock) : clock_(clock), lastTick_(clock.tickCount()) {
    line_[0] = '\0';
}

LogFile::~LogFile() {
    Close();
}

bool LogFile::Open() {
    platform::LockGuard guard(lock_);
    if (file_ != nullptr) {
        return true;
    }
    return OpenAt(MakeLogFilePath());
}

bool LogFile::OpenAt(const std::string& path) {
    platform::LockGuard guard(lock_);
    if (file_ != nullptr) {
        return true;
    }
    file_ = platform::CreateFile(path, platform::kFileWriteNoSync, platform::kShareRead,
                                 platform::kCreateAlways, platform::kFileAttributeNormal);
    if (file_ == nullptr) {
        return false;
    }
    path_ = path;
    char begin[platform::kMaxPath] = {};
    std::snprintf(begin, sizeof begin, "[log begin(PID %d)]",
                  static_cast<int>(platform::CurrentProcessId()));
    WriteLine(begin);
    return true;
}

void LogFile::WriteDecoratedLocked(const char* message) {
    platform::LocalTime now = clock_.localTime();
    uint32_t tick = clock_.tickCount();
    uint32_t elapsed = tick - lastTick_;  // unsigned: wraps with the counter
    lastTick_ = tick;
    size_t length = FormatLogLine(line_, sizeof line_, now, elapsed, clock_.threadId(), message);
    if (file_ != nullptr) {
        platform::WriteFile(file_, line_, static_cast<uint32_t>(length));
    }
}

bool LogFile::WriteLine(const char* message) {
    platform::LockGuard guard(lock_);
    WriteDecoratedLocked(message != nullptr ? message : "");
    return true;
}

void LogFile::Close() {
    platform::LockGuard guard(lock_);
    if (file_ != nullptr) {
        WriteLine("[log end]");
        platform::CloseFile(file_);
        file_ = nullptr;
    }
}

bool LogPrintf(LogFile** slot, const char* format, ...) {
    if (slot == nullptr || *slot == nullptr) {
        return false;
    }
    LogFile* log = *slot;
    char message[kLogLineCapacity] = {};
    if (format != nullptr) {
        va_list args;
        va_start(args, format);
        // vsnprintf cuts a long message instead of failing the process.
        std::vsnprintf(message, sizeof message, format, args);
        va_end(args);
    }
    platform::LockGuard guard(log->lock_);
    log->WriteDecoratedLocked(message);
    return true;
}

void AppendGuidToFileName(char* buf) {
    if (buf == nullptr) {
        return;
    }
    std::string name(buf, strnlen(buf, platform::kMaxPath - 1));
    std::string extension = platform::PathFindExtension(name);
    std::string stem = platform::PathRemoveExtension(name);
    char joined[platform::kMaxPath] = {};
    std::snprintf(joined, sizeof joined, "%s %s", stem.c_str(), NewGuidString().c_str());
    std::string result =
        extension.empty() ? std::string(joined) : platform::PathAddExtension(joined, extension);
    std::snprintf(buf, platform::kMaxPath, "%s", result.c_str());
}

std::string MakeLogFilePath() {
    char name[platform::kMaxPath] = "ferrylift.log";
    AppendGuidToFileName(name);
    std::string appData = platform::GetKnownFolder(platform::KnownFolder::kRoamingAppData);
    char folder[platform::kMaxPath] = {};
    const char s = platform::kPathSeparator;
    std::snprintf(folder, sizeof folder, "%s%cCorvane%cLog%c%s", appData.c_str(), s, s, s,
                  "tideboardferrylift");
    if (!platform::PathExists(folder)) {
        platform::CreateDirectoryAll(folder);
    }
    return platform::PathAppend(folder, name);
}
