#include "WorkScreen.h"

#include <algorithm>
#include <cstring>

#include "document/Compose.h"

namespace movigram {

WorkScreen::WorkScreen(int32_t width, int32_t height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      values_(size_t(width_) * size_t(height_), 0),
      known_(size_t(width_) * size_t(height_), 0) {}

void WorkScreen::drawAndDispose(const TFrame& frame) {
    if (!frame.image) return;
    const TRect area = frame.rect.intersected(rect());
    if (area.isEmpty()) return;
    if (frame.restoreToBackground) {
        const uint8_t fill = uint8_t(fillColorOf(frame));
        for (int32_t y = area.top; y < area.bottom; ++y) {
            std::memset(&values_[at(area.left, y)], fill, size_t(area.width()));
            std::memset(&known_[at(area.left, y)], 0, size_t(area.width()));
        }
        return;
    }
    const int key = frame.transparentIndex;
    const uint8_t isKnown = frame.localPalette ? 0 : 1;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        const uint8_t* in = frame.image->row(y - frame.rect.top) + (area.left - frame.rect.left);
        uint8_t* value = &values_[at(area.left, y)];
        uint8_t* mark = &known_[at(area.left, y)];
        if (key < 0) {
            // An opaque frame covers its rows.
            std::memcpy(value, in, size_t(area.width()));
            std::memset(mark, isKnown, size_t(area.width()));
            continue;
        }
        for (int32_t x = 0; x < area.width(); ++x) {
            if (in[x] == key) continue;
            value[x] = in[x];
            mark[x] = isKnown;
        }
    }
}

}  // namespace movigram
