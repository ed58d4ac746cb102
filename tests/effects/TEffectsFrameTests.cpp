// What every generator shares.
#include <gtest/gtest.h>

#include <set>

#include "effects/EffectTable.h"
#include "effects/FadeDissolve.h"
#include "effects/GeometricEffects.h"
#include "GeneratorTestSupport.h"
#include "frameops/OpsTestSupport.h"

namespace movigram {
namespace {

using namespace test;

TEST(Generators, EmptyImageGivesFramesWithoutChanges) {
    auto source = std::make_unique<TFrame>("empty", std::make_unique<TDib256>(0, 0));
    EXPECT_EQ(run<TDissolveFrame>(*source, params(DissolveToSolid, 3), nullptr, 1u).size(), 3u);
    EXPECT_EQ(run<TWipeFrame>(*source, params(WipeToSolid, 2), nullptr).size(), 2u);
    EXPECT_EQ(run<TBannerFrame>(*source, params(BannerRotate, 2)).size(), 2u);
}

}  // namespace
}  // namespace movigram
