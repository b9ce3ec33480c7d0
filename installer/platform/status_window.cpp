#include "platform/status_window.h"

namespace platform {

WindowOrigin PlaceStatusWindow(bool (*queryWorkArea)(WorkArea*)) {
    WorkArea area{0, 0, kStatusWindowWidth, kStatusWindowHeight};
    WorkArea queried;
    if (queryWorkArea != nullptr && queryWorkArea(&queried)) {
        area = queried;
    }
    // Only the right and bottom edges count; C++ division rounds toward zero.
    return WindowOrigin{(area.right - kStatusWindowWidth) / 2,
                        (area.bottom - kStatusWindowHeight) / 2};
}

}  // namespace platform
