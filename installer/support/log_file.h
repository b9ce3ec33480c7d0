// The per-run log file: one decorated line per event, written straight through to the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file.h"
#include "platform/lock.h"
#include "platform/system.h"

#if defined(__MINGW32__)
#define FERRYLIFT_PRINTF(format_index, first_arg) \
    __attribute__((format(gnu_printf, format_index, first_arg)))
#elif defined(__GNUC__)
#define FERRYLIFT_PRINTF(format_index, first_arg) \
    __attribute__((format(printf, format_index, first_arg)))
#else
#define FERRYLIFT_PRINTF(format_index, first_arg)
#endif

// Capacity of a formatted message and of a decorated line, terminator included. Longer texts
// are cut to fit.
constexpr size_t kLogLineCapacity = 2048;

// Where the decoration takes its time, counter and thread id from (tests put in their own).
struct LogClock {
    platform::LocalTime (*localTime)() = platform::GetLocalTime;
    uint32_t (*tickCount)() = platform::TickCount;
    uint32_t (*threadId)() = platform::CurrentThreadId;
};

class LogFile {
public:
    explicit LogFile(const LogClock& clock = LogClock());
    ~LogFile();  // Close()
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Creates this run's file (MakeLogFilePath) and writes "[log begin(PID n)]". A second call
    // while open returns true and writes nothing.
    bool Open();
    // Open() at a given path instead of this run's path.
    bool OpenAt(const std::string& path);

    // Decorates one finished message and writes it with one write call. Always true; lines
    // handed in while no file is open are dropped.
    bool WriteLine(const char* message);

    // Writes "[log end]" and closes the file; nothing when no file is open.
    void Close();

    bool IsOpen() const { return file_ != nullptr; }
    // Full path of the open file; kept after Close.
    const std::string& path() const { return path_; }

private:
    friend bool LogPrintf(LogFile** slot, const char* format, ...);
    void WriteDecoratedLocked(const char* message);

    platform::FileHandle file_ = nullptr;
    std::string path_;
    platform::RecursiveLock lock_;
    LogClock clock_;
    uint32_t lastTick_;
    char line_[kLogLineCapacity];
};

// "<yyyymmdd hh:mm:ss.mmm eeee ttttt> message\r\n" into out (capacity bytes, zero-terminated).
// A message too long for the line is cut so that CR LF still ends it. Returns the length
// written without the terminator.
size_t FormatLogLine(char* out, size_t capacity, const platform::LocalTime& time, uint32_t elapsed,
                     uint32_t threadId, const char* message);

// The process's log object (null when it could not be created, and after exit).
extern LogFile* g_logFile;
// The log hook of the support library: &g_logFile once the entry point has opened the log,
// null before. Support code logs only through it.
extern LogFile** g_libraryLog;

// Formats one printf-style message (cut to kLogLineCapacity - 1 chars) and writes it as one
// decorated line. False only when slot is null or holds no log object. Texts are narrow ANSI:
// pass Chinese literals through Utf8ToAnsi.
bool LogPrintf(LogFile** slot, const char* format, ...) FERRYLIFT_PRINTF(2, 3);

// Builds this run's log path, roaming app data + Corvane/Log/tideboardferrylift/ +
// "ferrylift {GUID}.log", and creates its folder.
std::string MakeLogFilePath();

// Puts one blank and a new braced GUID before the extension of the file name in buf, a
// zero-terminated buffer of platform::kMaxPath chars ("ferrylift.log" becomes
// "ferrylift {...}.log"). The result is cut to fit the buffer.
void AppendGuidToFileName(char* buf);
