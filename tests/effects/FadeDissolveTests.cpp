// The fade and dissolve generators: frame counts, names, timing and exact pixels.
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

const TMyPalette palette8 = testPalette(8);

TEST(Fade, ColoursMoveFromTheSolidColourTowardsTheSource) {
    auto source = placedFrame(0, 0, 4, 1, [](int x, int) { return x; }, palette8);
    source->image->colors()[0] = {100, 100, 100, 0};
    EffectParams p = params(FadeIn, 3);
    p.solidColor = rgbValue(200, 200, 200);
    FrameChain chain = run<TFadeInOutFrame>(*source, p);
    ASSERT_EQ(chain.size(), 3u);
    const int expected[] = {200, 167, 134};  // 200 - 100 / 3 rounds toward zero
    for (int i = 0; i < 3; ++i) {
        const TFrame& f = *chain[size_t(i)];
        EXPECT_EQ(f.localPalette->entry(0).red, expected[i]);
        EXPECT_EQ(f.image->colors()[0].blue, expected[i]);
        EXPECT_EQ(f.localPalette->colorCount, 4);  // pixels 0 to 3
        EXPECT_EQ(f.localPalette->transparentIndex, -1);
        for (int j = 4; j < 256; ++j) ASSERT_EQ(f.localPalette->entry(j), PaletteEntry{}) << j;
        EXPECT_EQ(pixelsOf(*f.image), pixelsOf(*source->image));
        EXPECT_EQ(f.frameTime, 70);
        EXPECT_EQ(f.repeat, 1);
        EXPECT_EQ(f.next, i < 2 ? chain[size_t(i) + 1].get() : nullptr);
    }
    EXPECT_EQ(namesOf(chain), (std::vector<std::string>{"FadeIn-01", "FadeIn-02", "FadeIn-03"}));
}

TEST(Fade, OneFrameIsAllSolidAndFadeOutIsNumberedBackwards) {
    auto source = placedFrame(0, 0, 3, 2, [](int x, int y) { return x + y; }, palette8);
    EffectParams p = params(FadeOut, 1);
    p.solidColor = rgbValue(10, 20, 30);
    FrameChain one = run<TFadeInOutFrame>(*source, p);
    ASSERT_EQ(one.size(), 1u);
    for (int j = 0; j < one[0]->localPalette->colorCount; ++j)
        EXPECT_EQ(one[0]->localPalette->entry(j), (PaletteEntry{10, 20, 30, 0}));
    p.frameCount = 3;
    EXPECT_EQ(namesOf(run<TFadeInOutFrame>(*source, p)),
              (std::vector<std::string>{"FadeOut-03", "FadeOut-02", "FadeOut-01"}));
}

TEST(Dissolve, ToSolidGrowsAndEndsSolid) {
    for (int cell : {1, 3}) {
        auto source = solidFrame(0, 0, 37, 23, 1, palette8);
        EffectParams p = params(DissolveToSolid, 4);
        p.cellWidth = p.cellHeight = cell;
        FrameChain chain = run<TDissolveFrame>(*source, p, nullptr, 12345u);
        ASSERT_EQ(chain.size(), 4u);
        size_t previous = 0;
        for (size_t j = 0; j < 4; ++j) {
            const std::vector<uint8_t> px = pixelsOf(*chain[j]->image);
            const size_t solidCount = size_t(std::count(px.begin(), px.end(), solid));
            EXPECT_GE(solidCount, previous) << "cell " << cell << " frame " << j;
            if (j > 0) {
                // No pixel that became solid reverts.
                const std::vector<uint8_t> before = pixelsOf(*chain[j - 1]->image);
                for (size_t k = 0; k < px.size(); ++k)
                    if (before[k] == solid) {
                        ASSERT_EQ(px[k], solid);
                    }
            }
            previous = solidCount;
        }
        const std::vector<uint8_t> first = pixelsOf(*chain[0]->image);
        EXPECT_GT(std::count(first.begin(), first.end(), 1), 0) << "cell " << cell;
        const std::vector<uint8_t> last = pixelsOf(*chain[3]->image);
        EXPECT_EQ(last, std::vector<uint8_t>(last.size(), solid));
        EXPECT_EQ(namesOf(chain), (std::vector<std::string>{"Dissolve-01", "Dissolve-02", "Dissolve-03",
                                                            "Dissolve-04"}));
    }
}

TEST(Dissolve, CellsCoverTheImageInWholeBlocks) {
    // Cells of 8 x 8 on 20 x 10: 3 columns (8, 8 and 4 wide) and 2 rows (8
    // and 2 high); each cell is wholly taken or wholly left.
    auto source = solidFrame(0, 0, 20, 10, 1, palette8);
    EffectParams p = params(DissolveToSolid, 6);
    p.cellWidth = p.cellHeight = 8;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        FrameChain chain = run<TDissolveFrame>(*source, p, nullptr, seed);
        for (size_t j = 0; j + 1 < chain.size(); ++j) {
            const TDib256& image = *chain[j]->image;
            for (int top : {0, 8})
                for (int left : {0, 8, 16}) {
                    const uint8_t v = image.pixel(left, top);
                    for (int y = top; y < std::min(top + 8, 10); ++y)
                        for (int x = left; x < std::min(left + 8, 20); ++x)
                            ASSERT_EQ(image.pixel(x, y), v) << seed << " cell " << left << "," << top;
                }
        }
    }
}

TEST(Dissolve, SeedDecidesThePattern) {
    auto source = solidFrame(0, 0, 40, 30, 1, palette8);
    const EffectParams p = params(DissolveToSolid, 3);
    auto patternOf = [&](uint32_t seed) { return pixelsOf(*run<TDissolveFrame>(*source, p, nullptr, seed)[0]->image); };
    EXPECT_EQ(patternOf(1), patternOf(1));
    EXPECT_NE(patternOf(1), patternOf(2));
}

TEST(Dissolve, ToNextFrameTakesOnlyWhatTheNextFrameChanges) {
    auto source = solidFrame(0, 0, 30, 30, 1, palette8);
    auto next = solidFrame(10, 10, 5, 5, 6, palette8);
    FrameChain chain = run<TDissolveFrame>(*source, params(DissolveToNext, 4), next.get(), 99u);
    int taken = 0;
    for (const auto& f : chain)
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x) {
                const bool inside = x >= 10 && x < 15 && y >= 10 && y < 15;
                const uint8_t v = f->image->pixel(x, y);
                if (!inside) {
                    ASSERT_EQ(v, 1);
                } else {
                    ASSERT_TRUE(v == 1 || v == 6);
                }
                taken += v == 6;
            }
    EXPECT_GT(taken, 0);
}

}  // namespace
}  // namespace movigram
