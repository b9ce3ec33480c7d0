// The program's start-up: log, single-instance lock, status window and its event loop.
#pragma once

// True when this process holds the single-instance lock file, which stays open for the run.
bool CanRun();

// Everything the entry point does; the exit code is 0 on every path.
int RunFerrylift(int showCommand);
