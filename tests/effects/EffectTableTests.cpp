// The effect table: one entry per effect, and the names of generated frames.
#include <gtest/gtest.h>

#include <set>

#include "effects/EffectTable.h"
#include "effects/FadeDissolve.h"
#include "effects/GeometricEffects.h"
#include "frameops/OpsTestSupport.h"

namespace movigram {
namespace {

using test::pixelsOf;
using test::placedFrame;
using test::solidFrame;
using test::testPalette;

constexpr int solid = 5;

template <typename Generator, typename... Args>
FrameChain run(Args&&... args) {
    return TEffectsFrame::takeChain(std::make_unique<Generator>(std::forward<Args>(args)...));
}

TEST(EffectTable, EveryEffectHasOneEntryAndTheReversedOnesReadUpward) {
    // Exactly the fade out and the "from solid color" effects (with the
    // banner scroll in) are inserted in reverse order.
    std::set<int> reversed;
    for (int e = 0; e < EffectCount; ++e) {
        const int flags = effectInfo(e)->flags;
        EXPECT_NE(bool(flags & EffectBefore), bool(flags & EffectAfter)) << e;
        if (flags & EffectInsertReversed) reversed.insert(e);
    }
    EXPECT_EQ(reversed, (std::set<int>{FadeOut, DissolveFromSolid, WipeFromSolid, SpiralFromSolid, BlindFromSolid,
                                       BannerScrollIn}));
}

}  // namespace
}  // namespace movigram
