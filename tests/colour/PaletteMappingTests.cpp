// mapToPalette and the compaction of local palettes.
#include <gtest/gtest.h>

#include "ColourTestSupport.h"
#include "colour/PaletteMapping.h"
#include "document/FrameChain.h"

namespace movigram {
namespace {

using namespace test;

const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255}, black{0, 0, 0};

TEST(MapToPalette, CumulativeIsFirstComeFirstServed) {
    Document doc;
    doc.globalPaletteMode = GlobalPaletteMode::Cumulative;
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(colorFrame(2, 1, {red, green}, {0, 1}));
    frames.push_back(colorFrame(2, 1, {green, blue}, {0, 1}));
    readBatch(doc, std::move(frames));
    const TMyPalette& p = *doc.globalPalette;
    ASSERT_EQ(p.colorCount, 3);
    EXPECT_TRUE(entryColor(p, 0) == red);
    EXPECT_TRUE(entryColor(p, 1) == green);
    EXPECT_TRUE(entryColor(p, 2) == blue);
    EXPECT_EQ(doc.frameList.frameAt(1)->image->pixel(0, 0), 1);
    EXPECT_EQ(doc.frameList.frameAt(1)->image->pixel(1, 0), 2);
    EXPECT_TRUE(shownColor(*doc.frameList.frameAt(1), 1, 0) == blue);
}

TEST(MapToPalette, RunsOfEveryValueAreMappedAndCounted) {
    // Rows of 21 pixels: runs of eight alike (also of the highest and the
    // lowest index) next to single pixels, so runs start anywhere in a word.
    std::vector<Rgb> colours(256, black);
    colours[255] = white;
    colours[3] = red;
    colours[0] = blue;
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 9; ++i) pixels.push_back(255);
    for (int i = 0; i < 9; ++i) pixels.push_back(3);
    for (int i = 0; i < 12; ++i) pixels.push_back(0);
    pixels.push_back(3);
    auto frame = colorFrame(21, 3, colours, pixels);
    TMyPalette palette;
    EXPECT_TRUE(mapToPalette(*frame->image, palette, false, false));
    ASSERT_EQ(palette.colorCount, 3);  // blue, red, white in index order
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 21; ++x) {
            const Rgb want = colours[pixels[size_t(y * 21 + x) % pixels.size()]];
            EXPECT_TRUE(shownColor(*frame, x, y) == want) << x << "," << y;
        }
}

TEST(MapToPalette, FullPaletteMatchesColoursItHolds) {
    std::vector<PaletteEntry> entries;
    for (int i = 0; i < 256; ++i) entries.push_back({uint8_t(i), 0, 0, 0});
    entries[7] = {10, 200, 10, 0};
    entries[9] = {10, 200, 10, 0};  // a duplicate later in the palette
    TMyPalette palette(entries);
    // A colour the full palette holds is found, not approximated: a file
    // whose colours exactly fill the palette needs no rebuild.
    auto frame = colorFrame(1, 1, {{10, 200, 10}}, {0});
    EXPECT_TRUE(mapToPalette(*frame->image, palette, false, true));
    EXPECT_TRUE(mapToPalette(*frame->image, palette, false, false));
    EXPECT_EQ(palette.colorCount, 256);
    EXPECT_EQ(frame->image->pixel(0, 0), 7);
    auto other = colorFrame(1, 1, {{11, 200, 10}}, {0});
    EXPECT_FALSE(mapToPalette(*other->image, palette, false, false));  // approximated
    EXPECT_EQ(other->image->pixel(0, 0), 7);
}

TEST(MapToPalette, FixedUsesNearestAndReportsSuccess) {
    std::vector<PaletteEntry> entries;
    for (int i = 0; i < 16; ++i) entries.push_back({uint8_t(i * 17), uint8_t(i * 17), uint8_t(i * 17), 0});
    TMyPalette palette(entries);
    auto frame = colorFrame(2, 1, {{40, 40, 40}, {250, 240, 255}}, {0, 1});
    EXPECT_TRUE(mapToPalette(*frame->image, palette, true, false));
    EXPECT_EQ(palette.colorCount, 16);
    EXPECT_EQ(frame->image->pixel(0, 0), 2);   // 34 is nearest to 40
    EXPECT_EQ(frame->image->pixel(1, 0), 15);
    EXPECT_TRUE(shownColor(*frame, 0, 0) == (Rgb{34, 34, 34}));

    // A fixed palette of one colour takes new colours like a cumulative one.
    TMyPalette one(std::vector<PaletteEntry>{{1, 2, 3, 0}});
    auto other = colorFrame(1, 1, {red}, {0});
    EXPECT_TRUE(mapToPalette(*other->image, one, true, false));
    EXPECT_EQ(one.colorCount, 2);
}

TEST(MapToPalette, TestOnlyChangesNothing) {
    TMyPalette palette(std::vector<PaletteEntry>{{255, 0, 0, 0}});
    auto frame = colorFrame(2, 1, {green, red}, {0, 1});
    frame->image->colorMap = std::make_unique<std::array<uint8_t, 256>>();
    (*frame->image->colorMap)[0] = 42;
    EXPECT_TRUE(mapToPalette(*frame->image, palette, false, true));
    EXPECT_EQ(palette.colorCount, 1);
    EXPECT_EQ(frame->image->pixel(0, 0), 0);
    EXPECT_EQ((*frame->image->colorMap)[0], 42);
}

TEST(MapToPalette, TransparentIndexMovesOffVisibleColours) {
    // The frame's transparent colour (index 1) is white, which is also a
    // visible colour already in the palette at entry 0.
    TMyPalette palette(std::vector<PaletteEntry>{{255, 255, 255, 0}, {0, 0, 0, 0}, {0, 255, 0, 0}});
    auto frame = colorFrame(3, 1, {white, white, black}, {0, 1, 2});
    frame->image->transparentIndex = 1;
    mapToPalette(*frame->image, palette, false, false);
    const auto& map = *frame->image->colorMap;
    EXPECT_EQ(map[0], 0);
    EXPECT_EQ(map[2], 1);
    EXPECT_EQ(map[1], 2);  // the first entry not used by visible colours
    EXPECT_EQ(frame->image->pixel(1, 0), 2);

    // All entries taken: a new entry is appended for it.
    TMyPalette tight(std::vector<PaletteEntry>{{255, 255, 255, 0}});
    auto again = colorFrame(2, 1, {white, white}, {0, 1});
    again->image->transparentIndex = 1;
    mapToPalette(*again->image, tight, false, false);
    EXPECT_EQ(tight.colorCount, 2);
    EXPECT_EQ((*again->image->colorMap)[1], 1);
}

TEST(MapToPalette, VisibleColoursNeverLandOnThePalettesTransparentEntry) {
    // The palette's transparent entry 0 is white; a transparent frame with
    // visible white pixels keeps them visible.
    TMyPalette palette(std::vector<PaletteEntry>{{255, 255, 255, 0}, {255, 0, 0, 0}});
    palette.transparentIndex = 0;
    auto frame = colorFrame(2, 1, {white, red, {9, 9, 9}}, {0, 1});
    frame->image->transparentIndex = 2;
    mapToPalette(*frame->image, palette, true, false);
    EXPECT_EQ((*frame->image->colorMap)[2], 0);
    EXPECT_NE(frame->image->pixel(0, 0), 0);
}

TEST(CompactLocalPalette, KeepsUsedColoursInOrder) {
    std::vector<Rgb> colors;
    for (int i = 0; i < 256; ++i) colors.push_back({uint8_t(i), uint8_t(255 - i), 7});
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 20; ++i) pixels.push_back(uint8_t(200 - i * 10));  // 20 colours, descending indices
    auto frame = colorFrame(20, 1, colors, pixels);
    frame->localPalette = std::make_unique<TMyPalette>(paletteFromImage(*frame->image));
    frame->transparentIndex = 150;
    compactLocalPalette(*frame);
    ASSERT_EQ(frame->localPalette->colorCount, 20);
    // In the order of the old pixel values: 10, 20, ..., 200.
    for (int k = 0; k < 20; ++k) EXPECT_TRUE(entryColor(*frame->localPalette, k) == colors[size_t(10 + 10 * k)]);
    EXPECT_EQ(frame->transparentIndex, 14);
    for (int x = 0; x < 20; ++x) EXPECT_TRUE(shownColor(*frame, x, 0) == colors[pixels[size_t(x)]]);

    // An unused transparent index keeps its own slot instead of sharing one
    // with a visible colour.
    auto unused = colorFrame(2, 1, colors, {3, 4});
    unused->localPalette = std::make_unique<TMyPalette>(paletteFromImage(*unused->image));
    unused->transparentIndex = 0;
    compactLocalPalette(*unused);
    EXPECT_EQ(unused->localPalette->colorCount, 3);
    EXPECT_NE(unused->image->pixel(0, 0), unused->transparentIndex);
    EXPECT_NE(unused->image->pixel(1, 0), unused->transparentIndex);
}

}  // namespace
}  // namespace movigram
