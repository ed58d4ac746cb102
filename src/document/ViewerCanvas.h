#pragma once
// The screen as web browsers and image viewers show a GIF: true colour with
// alpha, an area restored to the background becomes transparent (the page
// shows through), and "restore to previous" brings back what was there before
// the frame was drawn.  The program's own drawing (Compose.h) fills restored
// areas with a colour index instead; this canvas is what a file must look like
// to everybody else.
#include <cstdint>
#include <vector>

#include "TFrame.h"

namespace movigram {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

enum class Disposal : uint8_t { None = 0, Keep = 1, Background = 2, Previous = 3 };

class ViewerCanvas {
public:
    ViewerCanvas(int32_t width, int32_t height);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    const Rgba& at(int32_t x, int32_t y) const { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
    Rgba& at(int32_t x, int32_t y) { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
    const std::vector<Rgba>& pixels() const { return pixels_; }

    // The colour of frame pixel value v (the frame's local palette, else the
    // global one; entries past a palette's count are black).
    static Rgba colorOf(const TFrame& frame, const TMyPalette* global, uint8_t v);

    // Draws the frame's opaque pixels, clipped to the canvas.
    void draw(const TFrame& frame, const TMyPalette* global);
    void clear(const TRect& area);
    // Draws frame, lets the caller look at the screen, then applies disposal.
    template <typename Show>
    void step(const TFrame& frame, const TMyPalette* global, Disposal disposal, Show&& show) {
        std::vector<Rgba> saved;
        if (disposal == Disposal::Previous) saved = pixels_;
        draw(frame, global);
        show(*this);
        if (disposal == Disposal::Background) clear(frame.rect);
        if (disposal == Disposal::Previous) pixels_ = std::move(saved);
    }

    friend bool operator==(const ViewerCanvas&, const ViewerCanvas&) = default;

private:
    int32_t width_, height_;
    std::vector<Rgba> pixels_;
};

}  // namespace movigram
