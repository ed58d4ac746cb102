#pragma once
// What the edits that paint over the picture share (redaction, captions):
// the screen a frame leaves, read as colours over an area, and colours
// painted back into a frame's pixels through its palette.
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "colour/PaletteSearch.h"
#include "colour/RgbColor.h"
#include "document/Document.h"

namespace movigram {

// Colours over an area of the screen, row by row from the top; shown is 0
// where the screen shows nothing (transparent) or where a painting leaves
// the pixel alone.
struct ScreenArea {
    TRect area;
    std::vector<Rgb8> colors;
    std::vector<uint8_t> shown;

    explicit ScreenArea(const TRect& r = {});
    size_t at(int32_t x, int32_t y) const { return size_t(y - area.top) * size_t(area.width()) + size_t(x - area.left); }
};

// The screens the animation shows after each frame, composed in colour
// from the first frame on (frames asked for in ascending order): each
// frame's pixels in the colours of its own table, restored areas as the
// program restores them, nothing shown where the screen is transparent.
class ScreenWalk {
public:
    explicit ScreenWalk(const Document& doc);
    // The screen after frame `index`, over area.
    ScreenArea after(int index, const TRect& area);
    // Frame `index`, the last one asked for, was painted: the screen takes
    // its new pixels.
    void redraw(int index);

private:
    void draw(const TFrame& frame, const TFrame* previous);

    const Document& doc_;
    ScreenArea screen_;
    const TFrame* lastDrawn_ = nullptr;   // the last frame drawn
    const TFrame* beforeLast_ = nullptr;  // and the one drawn before it
    int next_ = 0;                        // the first frame not drawn yet
};

// The screen rectangle a frame's image covers.
TRect frameArea(const TFrame& frame);

// Puts colours into frames through their palettes.  Each shown pixel of the
// picture inside the frame gets the nearest entry of the frame's palette
// (its local one, else the global one), so the same colours on the same
// palette give the same pixels on every frame.  A transparent pixel stays
// transparent when the screen under it already shows that entry's colour: a
// frame that let an earlier one show through still does, and the optimiser
// still sees nothing new there.  A frame's transparent index is never
// painted: where it is the nearest entry, the next nearest goes in.
class PalettePainter {
public:
    explicit PalettePainter(Document& doc) : doc_(doc) {}
    // under: the screen after the frame as it is now (ScreenWalk), over at
    // least the part of the picture the frame covers.  True when a pixel
    // of the frame changed.
    bool paint(int index, const ScreenArea& picture, const ScreenArea& under);

private:
    PaletteSearch& searchFor(const TFrame& frame, int skip);

    Document& doc_;
    std::map<std::pair<const void*, int>, std::unique_ptr<PaletteSearch>> searches_;
    std::vector<std::unique_ptr<TMyPalette>> tablePalettes_;
};

}  // namespace movigram
