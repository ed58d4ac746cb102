#pragma once
// The fade, which changes only palettes, and the dissolve, which changes
// pixels chosen at random.
#include <cstdint>
#include <optional>

#include "TEffectsFrame.h"

namespace movigram {

// Effects 0 and 1: frame i has the source's pixels and a local palette i/N
// of the way from the solid RGB colour to the source's colours.
class TFadeInOutFrame : public TEffectsFrame {
public:
    TFadeInOutFrame(const TFrame& source, const EffectParams& params);
};

// Effects 2 to 4: each frame takes a growing random share of the pixels (or
// cells) of the solid colour, or of the picture at the next frame when next
// is given.  The seed defaults to the current time.
class TDissolveFrame : public TEffectsFrame {
public:
    TDissolveFrame(const TFrame& source, const EffectParams& params, const TFrame* next,
                   std::optional<uint32_t> seed = std::nullopt);
};

}  // namespace movigram
