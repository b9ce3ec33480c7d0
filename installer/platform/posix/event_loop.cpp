#include "platform/event_loop.h"

#include <chrono>
#include <deque>
#include <thread>
#include <utility>

#include "platform/posix/status_events.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

enum class Event { kClose };

struct LoopState {
    std::function<void()> onTick;
    bool tickArmed = false;
    Clock::time_point nextTick;
    std::deque<Event> queue;
    bool quit = false;
};

LoopState& State() {
    static LoopState state;
    return state;
}

// The close request destroys the window, which ends the loop.
void Dispatch(Event event) {
    if (event == Event::kClose) {
        DestroyStatusWindow();
        State().quit = true;
    }
}

}  // namespace

void ArmTick() {
    LoopState& state = State();
    state.tickArmed = true;
    state.nextTick = Clock::now() + std::chrono::milliseconds(kTickIntervalMs);
}

void SetTickHandler(std::function<void()> onTick) {
    State().onTick = std::move(onTick);
}

int RunEventLoop() {
    LoopState& state = State();
    while (!state.quit) {
        if (!state.queue.empty()) {
            const Event event = state.queue.front();
            state.queue.pop_front();
            Dispatch(event);
            continue;
        }
        if (!state.tickArmed) {
            // Nothing can arrive any more: waiting would never end.
            break;
        }
        std::this_thread::sleep_until(state.nextTick);
        // Ticks missed while the handler ran are not made up for, as with a window timer.
        state.nextTick = Clock::now() + std::chrono::milliseconds(kTickIntervalMs);
        if (state.onTick) {
            state.onTick();
        }
    }
    return 0;
}

void StopTick() {
    State().tickArmed = false;
}

void FlushPendingMessages() {
    LoopState& state = State();
    while (!state.queue.empty() && !state.quit) {
        const Event event = state.queue.front();
        state.queue.pop_front();
        Dispatch(event);
    }
}

void RequestClose() {
    State().queue.push_back(Event::kClose);
}

}  // namespace platform
