#include <windows.h>

#include <mmsystem.h>

#include "platform/system.h"

namespace platform {

LocalTime GetLocalTime() {
    SYSTEMTIME st = {};
    ::GetLocalTime(&st);
    LocalTime result;
    result.year = st.wYear;
    result.month = st.wMonth;
    result.dayOfWeek = st.wDayOfWeek;
    result.day = st.wDay;
    result.hour = st.wHour;
    result.minute = st.wMinute;
    result.second = st.wSecond;
    result.milliseconds = st.wMilliseconds;
    return result;
}

uint32_t TickCount() {
    return static_cast<uint32_t>(::timeGetTime());
}

void Sleep(uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

uint32_t CurrentThreadId() {
    return static_cast<uint32_t>(::GetCurrentThreadId());
}

uint32_t CurrentProcessId() {
    return static_cast<uint32_t>(::GetCurrentProcessId());
}

}  // namespace platform
