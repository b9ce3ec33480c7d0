// The Windows program: graphical subsystem, no command line.
#include <windows.h>

#include "sequence/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    return RunFerrylift(showCommand);
}
