#pragma once
// The screen a frame is drawn onto during a rethread, as colour indices of
// the global palette, with a mark telling which pixels are known.  A pixel is
// unknown before anything was drawn on it, after its area was restored to
// the background (a viewer shows the page there, the program a fill colour),
// and when a frame with a local palette drew it (its index means another
// colour).  Unknown pixels always count as changed, so the optimiser never
// leaves out a pixel that some viewer would show differently.
#include <cstdint>
#include <vector>

#include "document/TFrame.h"

namespace movigram {

class WorkScreen {
public:
    WorkScreen(int32_t width, int32_t height);

    TRect rect() const { return {0, 0, width_, height_}; }
    bool known(int32_t x, int32_t y) const { return known_[at(x, y)] != 0; }
    uint8_t value(int32_t x, int32_t y) const { return values_[at(x, y)]; }
    const uint8_t* valueRow(int32_t y) const { return values_.data() + size_t(y) * size_t(width_); }
    const uint8_t* knownRow(int32_t y) const { return known_.data() + size_t(y) * size_t(width_); }
    // True when the frame's pixel at screen (x, y) would change what the
    // screen shows there (the position must lie inside the screen).
    bool differs(const TFrame& frame, int32_t x, int32_t y) const {
        return !known(x, y) || frame.image->pixel(x - frame.rect.left, y - frame.rect.top) != value(x, y);
    }

    // The screen after the frame was shown and disposed of: drawn, or its
    // rectangle cleared when it restores to the background.
    void drawAndDispose(const TFrame& frame);

private:
    size_t at(int32_t x, int32_t y) const { return size_t(y) * size_t(width_) + size_t(x); }
    int32_t width_, height_;
    std::vector<uint8_t> values_;
    std::vector<uint8_t> known_;
};

}  // namespace movigram
