#pragma once
// Puts the frames of an animation on one palette with dithering, frame by
// frame in chain order, so that what does not change on the screen does not
// change in the output either.
//
// The ordered pattern is anchored to the screen, so a colour at one place
// gives the same index in every frame.  Error diffusion keeps a picture of
// the screen as the source shows it and as the output shows it: a pixel
// whose colour equals the source screen's colour at its place keeps the
// output screen's index there (and passes its error on but takes none), so
// a still background does not shimmer while something moves over it.
// Transparent pixels show the screen below and stay transparent; an area a
// frame restores to the background is forgotten.  (A screen too large to
// hold, frames spread far apart, is not followed.)
#include <cstdint>
#include <memory>
#include <vector>

#include "PaletteDitherer.h"
#include "document/TFrame.h"

namespace movigram {

class ChainDitherer {
public:
    // The screen is the bounding box of the chain's image frames.
    ChainDitherer(TFrame* first, const TMyPalette& palette, const QuantizeOptions& options);

    // Puts the frame's image on the palette: pixels, colour table, and the
    // transparent index (the palette's own transparent entry when it has
    // one; else an entry none of the frame's visible pixels use).  Visible
    // pixels never take the palette's transparent entry when the frame has
    // transparent pixels of its own.
    void remap(TFrame& frame);
    // A frame that keeps its own palette: its pixels change the screen, but
    // its indices mean nothing on this palette.
    void pass(const TFrame& frame);

private:
    // The screen position of pixel (x, y) of a frame, or -1 off the screen.
    int64_t at(const TFrame& frame, int32_t x, int32_t y) const;
    void afterFrame(const TFrame& frame);

    const TMyPalette& palette_;
    QuantizeOptions options_;
    PaletteDitherer plain_;
    std::unique_ptr<PaletteDitherer> skipping_;  // avoids the transparent entry
    bool tracking_;                              // error diffusion follows the screen
    int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    // 0xRRGGBB with bit 24 set where the source screen is known.
    std::vector<uint32_t> source_;
    std::vector<int16_t> output_;  // -1 where unknown
};

}  // namespace movigram
