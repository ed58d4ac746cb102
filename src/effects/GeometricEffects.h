#pragma once
// The geometric generators: each frame is the source picture with a region
// replaced by the solid colour or by the picture at the next frame, or, for
// the banner, the source picture shifted.
#include "TEffectsFrame.h"

namespace movigram {

// Effects 5 to 7, directions 0 to 3: a region that grows from one side.
class TWipeFrame : public TEffectsFrame {
public:
    TWipeFrame(const TFrame& source, const EffectParams& params, const TFrame* next);
};

// Effects 8 to 10, directions 4 and 5: a centred rectangle that grows or
// shrinks.
class TSpiralFrame : public TEffectsFrame {
public:
    TSpiralFrame(const TFrame& source, const EffectParams& params, const TFrame* next);
};

// Effects 11 to 13, directions 6 and 7: stripes that widen.
class TBlindFrame : public TEffectsFrame {
public:
    TBlindFrame(const TFrame& source, const EffectParams& params, const TFrame* next);
};

// Effects 14 to 16, directions 0 to 3: the picture scrolls in, out, or
// round with wrap-around.
class TBannerFrame : public TEffectsFrame {
public:
    TBannerFrame(const TFrame& source, const EffectParams& params);
};

// Shifts the picture by offset pixels in a working direction (0 left, 1
// right, 2 up, 3 down); the freed band takes fill, or with wrap what was
// pushed out on the other side.  Nothing happens when offset exceeds the
// picture.
void shiftPicture(TDib256& image, int32_t direction, int32_t offset, uint8_t fill, bool wrap);

}  // namespace movigram
