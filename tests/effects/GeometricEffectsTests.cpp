// The wipe, spiral, blind and banner generators: frame counts, names and exact
// pixels.
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

}  // namespace
}  // namespace movigram
