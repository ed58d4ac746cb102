#pragma once
// Puts rows of true-colour pixels onto a palette: the nearest colour, an
// ordered pattern, or error diffusion.
//
// Ordered: a pixel between two palette colours shows the nearer one or a
// second one on the 8 x 8 Bayer pattern, in the proportion that mixes to its
// colour (the second colour is the one whose line from the nearest passes
// closest to it).  The pattern is anchored to the screen, so a colour at one
// place of the screen always gives the same index, and colours the palette
// holds are never dithered.
//
// Diffusion: Floyd-Steinberg on serpentine rows, passing on `strength` per
// cent of each pixel's error.  A pixel may be fixed by the caller: a pixel
// that keeps what it showed in the frame before still passes its own error
// on but takes none, and a transparent pixel neither takes nor passes any.
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "PaletteSearch.h"
#include "RgbColor.h"
#include "document/QuantizeOptions.h"

namespace movigram {

class PaletteDitherer {
public:
    // Values of the `fixed` row given to mapRow.
    static constexpr int16_t freePixel = -1;            // dithered as usual
    static int16_t kept(int index) { return int16_t(index); }  // shows index, passes its error on
    static int16_t transparent(int value) { return int16_t(0x100 | value); }  // value, no error either way

    PaletteDitherer(const PaletteEntry* entries, int count, int skip, const QuantizeOptions& options);

    // A new picture of rows of width pixels: no error is carried over, rows
    // start again from the left.
    void startPicture(int32_t width);
    // The next row of the picture.  fixed may be null (every pixel free);
    // (screenX, screenY) is where the row's first pixel lies on the screen.
    void mapRow(const Rgb8* source, const int16_t* fixed, uint8_t* out, int32_t screenX, int32_t screenY);

    int nearest(const Rgb8& c) { return search_.nearest(c.red, c.green, c.blue); }

private:
    struct Mix {
        uint8_t first, second, share;  // second shows where the pattern is below share (0..64)
    };
    Mix mixFor(const Rgb8& c);
    void orderedRow(const Rgb8* source, const int16_t* fixed, uint8_t* out, int32_t screenX, int32_t screenY);
    void diffusionRow(const Rgb8* source, const int16_t* fixed, uint8_t* out);

    PaletteSearch search_;
    int skip_;
    DitherMethod method_;
    int strength_;
    int32_t width_ = 0;
    bool leftToRight_ = true;
    // Error carried to this row and the next, 16ths of a level, one pixel of
    // margin on both sides.
    std::vector<std::array<int32_t, 3>> thisRow_, nextRow_;
    std::unordered_map<uint32_t, Mix> mixes_;
};

}  // namespace movigram
