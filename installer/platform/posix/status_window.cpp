#include "platform/status_window.h"

#include <cstdio>

#include "platform/posix/status_events.h"
#include "platform/text.h"

namespace platform {
namespace {

struct WindowState {
    bool open = false;
    std::u16string text;
};

WindowState& Window() {
    static WindowState window;
    return window;
}

void WriteLine(const std::u16string& text) {
    const std::string line = WideToMultiByte(CodePage::kUtf8, text);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace

bool CreateStatusWindow(int) {
    WindowState& window = Window();
    window.open = true;
    window.text.clear();
    WriteLine(u"[安装更新]");
    ArmTick();
    return true;
}

void DestroyStatusWindow() {
    Window().open = false;
}

// One line per change: the waiting request repeats every tick but is shown once.
void SetStatusText(const std::u16string& text) {
    WindowState& window = Window();
    if (!window.open || text == window.text) {
        return;
    }
    window.text = text;
    WriteLine(text);
}

}  // namespace platform
