// The six generators: frame counts, names, timing and exact pixels.
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

const TMyPalette palette8 = testPalette(8);
constexpr int solid = 5;

EffectParams params(int effect, int count, int direction = 0) {
    EffectParams p;
    p.effect = effect;
    p.frameCount = count;
    p.direction = direction;
    p.solidIndex = solid;
    p.msPerFrame = 70;
    return p;
}

template <typename Generator, typename... Args>
FrameChain run(Args&&... args) {
    return TEffectsFrame::takeChain(std::make_unique<Generator>(std::forward<Args>(args)...));
}

std::vector<std::string> namesOf(const FrameChain& chain) {
    std::vector<std::string> names;
    for (const auto& f : chain) names.push_back(f->name);
    return names;
}

// Row 0 as a string: '#' for the solid colour, '.' for anything else.
std::string rowPattern(const TFrame& f, int y = 0) {
    std::string s;
    for (int x = 0; x < f.image->width(); ++x) s += f.image->pixel(x, y) == solid ? '#' : '.';
    return s;
}
std::string columnPattern(const TFrame& f, int x = 0) {
    std::string s;
    for (int y = 0; y < f.image->height(); ++y) s += f.image->pixel(x, y) == solid ? '#' : '.';
    return s;
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

TEST(Wipe, ToSolidFromTheLeft) {
    auto source = solidFrame(0, 0, 10, 2, 1, palette8);
    FrameChain chain = run<TWipeFrame>(*source, params(WipeToSolid, 4, LeftToRight), nullptr);
    std::vector<std::string> rows;
    for (const auto& f : chain) rows.push_back(rowPattern(*f));
    EXPECT_EQ(rows, (std::vector<std::string>{"##........", "#####.....", "#######...", "##########"}));
}

TEST(Wipe, FromSolidGrowsFromTheOtherSide) {
    auto source = solidFrame(0, 0, 10, 2, 1, palette8);
    FrameChain chain = run<TWipeFrame>(*source, params(WipeFromSolid, 4, LeftToRight), nullptr);
    std::vector<std::string> rows;
    for (const auto& f : chain) rows.push_back(rowPattern(*f));
    EXPECT_EQ(rows, (std::vector<std::string>{"........##", ".....#####", "...#######", "##########"}));
    EXPECT_EQ(namesOf(chain), (std::vector<std::string>{"Wipe-04", "Wipe-03", "Wipe-02", "Wipe-01"}));
}

TEST(Wipe, ToNextFrameStopsOneStepShort) {
    auto source = solidFrame(0, 0, 10, 5, 1, palette8);
    auto next = solidFrame(0, 0, 10, 5, solid, palette8);
    FrameChain chain = run<TWipeFrame>(*source, params(WipeToNext, 4, BottomToTop), next.get());
    std::vector<std::string> columns;
    for (const auto& f : chain) columns.push_back(columnPattern(*f));
    EXPECT_EQ(columns, (std::vector<std::string>{"....#", "...##", "..###", ".####"}));
    chain = run<TWipeFrame>(*source, params(WipeToNext, 4, LeftToRight), next.get());
    EXPECT_EQ(rowPattern(*chain[3]), "########..");
}

TEST(Spiral, OutsideInToSolidLeavesTheOddMiddle) {
    auto source = solidFrame(0, 0, 11, 7, 1, palette8);
    FrameChain chain = run<TSpiralFrame>(*source, params(SpiralToSolid, 2, OutsideIn), nullptr);
    ASSERT_EQ(chain.size(), 2u);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 11; ++x) {
            EXPECT_EQ(chain[0]->image->pixel(x, y) == 1, x >= 2 && x < 9 && y >= 1 && y < 6) << x << "," << y;
            EXPECT_EQ(chain[1]->image->pixel(x, y) == 1, x == 5 && y == 3) << x << "," << y;
        }
}

TEST(Spiral, InsideOutGrowsFromTheCentreToTheWholeFrame) {
    auto source = solidFrame(0, 0, 11, 7, 1, palette8);
    FrameChain chain = run<TSpiralFrame>(*source, params(SpiralToSolid, 3, InsideOut), nullptr);
    // Frame 0: 11 / 3 = 3 columns and 7 / 3 = 2 rows, margins (4, 2).
    EXPECT_EQ(rowPattern(*chain[0], 3), "....###....");
    EXPECT_EQ(columnPattern(*chain[0], 5), "..###..");
    const std::vector<uint8_t> last = pixelsOf(*chain[2]->image);
    EXPECT_EQ(last, std::vector<uint8_t>(last.size(), solid));
    // "from solid color" runs the other way round, inserted reversed.
    chain = run<TSpiralFrame>(*source, params(SpiralFromSolid, 3, InsideOut), nullptr);
    EXPECT_EQ(rowPattern(*chain[0], 3), "#.........#");
}

TEST(Blind, VerticalStripesWiden) {
    auto source = solidFrame(0, 0, 7, 3, 1, palette8);
    FrameChain chain = run<TBlindFrame>(*source, params(BlindToSolid, 3, Vertical), nullptr);
    std::vector<std::string> rows;
    for (const auto& f : chain) rows.push_back(rowPattern(*f, 2));
    EXPECT_EQ(rows, (std::vector<std::string>{"#..#..#", "##.##.#", "#######"}));
    auto next = solidFrame(0, 0, 7, 9, solid, palette8);
    auto tall = solidFrame(0, 0, 7, 9, 1, palette8);
    chain = run<TBlindFrame>(*tall, params(BlindToNext, 2, Horizontal), next.get());
    EXPECT_EQ(columnPattern(*chain[1], 4), "##.##.##.");
}

TEST(Banner, ScrollOutMovesTheOtherWayOverTheSolidColour) {
    auto source = placedFrame(0, 0, 100, 2, [](int x, int) { return x % 2 ? 1 : 2; }, palette8);
    FrameChain chain = run<TBannerFrame>(*source, params(BannerScrollOut, 3, LeftToRight));
    const int offsets[] = {25, 50, 75};
    for (int k = 0; k < 3; ++k) {
        const TDib256& image = *chain[size_t(k)]->image;
        const int o = offsets[k];
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(image.pixel(x, 1), x < o ? solid : source->image->pixel(x - o, 1)) << k << " x " << x;
    }
    EXPECT_EQ(namesOf(chain), (std::vector<std::string>{"Banner-01", "Banner-02", "Banner-03"}));
}

TEST(Banner, RotateWrapsTheRowsRound) {
    auto source = placedFrame(0, 0, 3, 40, [](int, int y) { return y % 7; }, palette8);
    FrameChain chain = run<TBannerFrame>(*source, params(BannerRotate, 3, TopToBottom));
    for (int k = 0; k < 3; ++k)
        for (int y = 0; y < 40; ++y)
            ASSERT_EQ(chain[size_t(k)]->image->pixel(1, y), ((y - 10 * (k + 1) + 40) % 40) % 7) << k << " y " << y;
}

TEST(Banner, ScrollInNamesRunDownFromTheFirstGeneratedFrame) {
    auto source = solidFrame(0, 0, 8, 8, 1, palette8);
    FrameChain chain = run<TBannerFrame>(*source, params(BannerScrollIn, 3, RightToLeft));
    EXPECT_EQ(namesOf(chain), (std::vector<std::string>{"Banner-02", "Banner-01", "Banner-00"}));
    // Working direction 1 moves right: the freed band is on the left.
    EXPECT_EQ(rowPattern(*chain[0]), "##......");
}

TEST(ShiftPicture, OffsetsBeyondThePictureChangeNothing) {
    TDib256 image(4, 4);
    image.fill(3);
    const std::vector<uint8_t> before = pixelsOf(image);
    shiftPicture(image, 0, 5, 9, false);
    shiftPicture(image, 2, 5, 9, false);
    EXPECT_EQ(pixelsOf(image), before);
    shiftPicture(image, 0, 4, 9, false);
    EXPECT_EQ(pixelsOf(image), std::vector<uint8_t>(16, 9));
}

TEST(Generators, EmptyImageGivesFramesWithoutChanges) {
    auto source = std::make_unique<TFrame>("empty", std::make_unique<TDib256>(0, 0));
    EXPECT_EQ(run<TDissolveFrame>(*source, params(DissolveToSolid, 3), nullptr, 1u).size(), 3u);
    EXPECT_EQ(run<TWipeFrame>(*source, params(WipeToSolid, 2), nullptr).size(), 2u);
    EXPECT_EQ(run<TBannerFrame>(*source, params(BannerRotate, 2)).size(), 2u);
}

}  // namespace
}  // namespace movigram
