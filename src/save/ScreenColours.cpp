#include "ScreenColours.h"

#include "document/Compose.h"
#include "document/ViewerCanvas.h"

namespace movigram::screen {

FrameColours frameColours(const TFrame& frame, const TMyPalette* global, ColourIds& ids) {
    FrameColours colours;
    for (int v = 0; v < 256; ++v) {
        const Rgba c = ViewerCanvas::colorOf(frame, global, uint8_t(v));
        colours.idOfValue[size_t(v)] = ids.idOf(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
    }
    colours.fillId = colours.idOfValue[size_t(uint8_t(fillColorOf(frame)))];
    return colours;
}

}  // namespace movigram::screen
