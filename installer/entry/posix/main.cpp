// The POSIX program: no command line, everything happens in RunFerrylift.
#include "sequence/startup.h"

int main() {
    // SW_SHOWNORMAL; the terminal status line has no show state.
    return RunFerrylift(1);
}
