#pragma once
// The windows of an X server a person may pick to record: the top-level
// windows the window manager lists, in stacking order, or the root's mapped
// children where no window manager runs.  Each with the area of the screen
// it covers and its title.
#include <cstdint>
#include <string>
#include <vector>

#include "ScreenSource.h"

namespace movigram::capture {

struct ScreenWindow {
    uint32_t id = 0;
    Region rect;  // in screen pixels, clipped to the screen
    std::string title;
};

// Topmost first; empty, with a one-line reason in `error`, when the
// display cannot be opened.  display: as for $DISPLAY; empty for $DISPLAY.
std::vector<ScreenWindow> listWindows(const std::string& display, std::string& error);

}  // namespace movigram::capture
