// Forced restart after an install that had to move files in use aside.
#pragma once

// Enables the shutdown privilege and asks for a forced reboot. Returns only when that fails,
// after logging the failing step and the system error.
void RestartSystem();
