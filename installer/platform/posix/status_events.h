// Between the POSIX status window and its event loop.
#pragma once

namespace platform {

// Starts the 500 ms tick (the window's creation does it, as on Windows).
void ArmTick();

// Marks the window closed; later status texts are dropped.
void DestroyStatusWindow();

}  // namespace platform
