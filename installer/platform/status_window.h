// The always-on-top status window: a caption with the title "安装更新" and one line of status
// text. POSIX: the title and each changed status text go to standard error, one line each.
#pragma once

#include <string>

namespace platform {

constexpr int kStatusWindowWidth = 300;
constexpr int kStatusWindowHeight = 80;

struct WorkArea {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct WindowOrigin {
    int x = 0;
    int y = 0;
};

// Where the window goes: the rectangle {0, 0, 300, 80} overwritten by queryWorkArea when it
// succeeds, then ((right - 300) / 2, (bottom - 80) / 2) rounded toward zero. A failed query
// thus places the window at (0, 0).
WindowOrigin PlaceStatusWindow(bool (*queryWorkArea)(WorkArea*));

// Loads the title and class name, registers the class and creates the window, which arms the
// 500 ms tick of the event loop. False when the window cannot be created.
bool CreateStatusWindow(int showCommand);

// SetWindowTextW on the status control.
void SetStatusText(const std::u16string& text);

}  // namespace platform
