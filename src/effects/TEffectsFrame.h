#pragma once
// The base of the transition generators.  A generator is made as a copy of
// the source frame and builds, in its constructor, the whole sequence of
// new frames: it is itself the first of them, and owns the others until
// takeChain hands them all over, linked through next.
#include <cstdint>
#include <memory>

#include "EffectParams.h"
#include "document/FrameChain.h"
#include "document/TFrame.h"

namespace movigram {

class TEffectsFrame : public TFrame {
public:
    // The generated frames in generation order, the generator first, linked
    // through next (the last next is null).
    static FrameChain takeChain(std::unique_ptr<TEffectsFrame> generator);

protected:
    // A copy of source with frameTime = msPerFrame and repeat = 1.
    TEffectsFrame(const TFrame& source, const EffectParams& params);

    // Generated frame i: the generator itself for i = 0, else a new copy of
    // `from` chained behind the last one.  Named after the effect.
    TFrame& generate(int32_t i, const TFrame& from);
    TFrame& lastGenerated();

    // The picture the "to next frame" effects move towards: this frame's
    // picture with `next` drawn over it at its place, with its transparency.
    // When either frame has a local palette both are first brought onto one
    // optimised palette, which this frame then keeps.  Same size as image.
    std::unique_ptr<TDib256> makeTarget(const TFrame& next);

    // Fills the part of region inside image with the target's pixels at the
    // same places, or with the fill value when there is no target.
    void fillRegion(TDib256& into, TRect region, const TDib256* target) const;

    EffectParams params_;
    int32_t frameCount_;  // at least 1
    uint8_t fillValue_;   // the solid colour's index

private:
    FrameChain followers_;
};

}  // namespace movigram
