#include "ViewerCanvas.h"

#include <algorithm>

namespace movigram {

ViewerCanvas::ViewerCanvas(int32_t width, int32_t height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), pixels_(size_t(width_) * size_t(height_)) {}

Rgba ViewerCanvas::colorOf(const TFrame& frame, const TMyPalette* global, uint8_t v) {
    const TMyPalette* palette = frame.localPalette ? frame.localPalette.get() : global;
    if (!palette || v >= palette->colorCount) return {0, 0, 0, 255};
    const PaletteEntry& e = palette->entry(v);
    return {e.red, e.green, e.blue, 255};
}

void ViewerCanvas::draw(const TFrame& frame, const TMyPalette* global) {
    if (!frame.image) return;
    const TRect area = frame.rect.intersected({0, 0, width_, height_});
    if (area.isEmpty()) return;
    Rgba lookup[256];
    for (int v = 0; v < 256; ++v) lookup[v] = colorOf(frame, global, uint8_t(v));
    const int key = frame.transparentIndex;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        const uint8_t* in = frame.image->row(y - frame.rect.top) + (area.left - frame.rect.left);
        Rgba* out = &at(area.left, y);
        for (int32_t x = 0; x < area.width(); ++x)
            if (in[x] != key) out[x] = lookup[in[x]];
    }
}

void ViewerCanvas::clear(const TRect& area) {
    const TRect r = area.intersected({0, 0, width_, height_});
    for (int32_t y = r.top; y < r.bottom; ++y) std::fill_n(&at(r.left, y), r.width(), Rgba{});
}

}  // namespace movigram
