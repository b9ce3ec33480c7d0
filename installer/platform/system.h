// Time, ids and waiting.
#pragma once

#include <cstdint>

namespace platform {

// GetLocalTime's SYSTEMTIME.
struct LocalTime {
    int year = 0;
    int month = 0;      // 1..12
    int dayOfWeek = 0;  // 0 = Sunday
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

LocalTime GetLocalTime();

// timeGetTime: milliseconds on a 32-bit counter that wraps around; POSIX: the monotonic clock.
uint32_t TickCount();

// Sleep(milliseconds).
void Sleep(uint32_t milliseconds);

// GetCurrentThreadId / GetCurrentProcessId; POSIX: gettid and getpid.
uint32_t CurrentThreadId();
uint32_t CurrentProcessId();

}  // namespace platform
