// The one-thread event loop of the status window: a repeating 500 ms tick that can be stopped,
// draining of pending events, and a close request handled after the current event.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

constexpr uint32_t kTickIntervalMs = 500;

// Called for every tick; set before CreateStatusWindow arms the tick.
void SetTickHandler(std::function<void()> onTick);

// Runs until the window is closed; returns the quit code (0).
int RunEventLoop();

// KillTimer(window, 1).
void StopTick();

// Removes and dispatches every pending event without waiting; returns when none is left.
void FlushPendingMessages();

// PostMessage(WM_CLOSE): the window closes once the current event has been handled.
void RequestClose();

}  // namespace platform
