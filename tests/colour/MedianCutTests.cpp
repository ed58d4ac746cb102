// The median cut: box rules, the optimised global palette, the true-colour
// quantiser and colour reduction of a document.
#include <gtest/gtest.h>

#include <random>

#include "ColourTestSupport.h"
#include "colour/ColorCountRules.h"
#include "colour/ColorReduction.h"
#include "colour/MedianCut.h"
#include "colour/MedianCutQuant.h"
#include "colour/OptimizedPalette.h"
#include "colour/PaletteMapping.h"
#include "document/FrameChain.h"

namespace movigram {
namespace {

using test::colorFrame;
using test::entryColor;
using test::Rgb;

// A frame whose pixels show `cells` distinct 6-bit cells, each once per row.
std::unique_ptr<TFrame> cellsFrame(int cells, int offset = 0) {
    std::vector<Rgb> colors;
    std::vector<uint8_t> pixels;
    for (int i = 0; i < std::min(cells, 256); ++i) {
        const int c = i + offset;
        colors.push_back({uint8_t((c % 8) * 32), uint8_t((c / 8 % 8) * 32), uint8_t((c / 64 % 8) * 32)});
        pixels.push_back(uint8_t(i));
    }
    return colorFrame(int(pixels.size()), 2, colors, pixels);
}

Document documentOf(std::vector<std::unique_ptr<TFrame>> frames) {
    Document doc;
    doc.globalPalette = std::make_unique<TMyPalette>();
    for (auto& f : frames) doc.frameList.append("f", std::move(f));
    doc.relink();
    return doc;
}

TEST(OptimizedPalette, CellCountBoundsTheColours) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(cellsFrame(150));
    frames.push_back(cellsFrame(150, 150));  // 300 cells in all
    Document doc = documentOf(std::move(frames));
    doc.frameList.frameAt(0)->localPalette = std::make_unique<TMyPalette>(paletteFromImage(*doc.frameList.frameAt(0)->image));
    TOptimizedPalette all(256, std::nullopt, doc.firstFrame, nullptr, true);
    ASSERT_TRUE(all.build());
    EXPECT_EQ(all.makePalette().colorCount, 256);

    Document few = documentOf([] {
        std::vector<std::unique_ptr<TFrame>> v;
        v.push_back(cellsFrame(40));
        return v;
    }());
    TOptimizedPalette forty(256, std::nullopt, few.firstFrame, nullptr, false);
    ASSERT_TRUE(forty.build());
    EXPECT_LE(forty.makePalette().colorCount, 40);
    EXPECT_EQ(forty.makePalette().colorCount, 40);  // every cell its own box
}

TEST(OptimizedPalette, ReservedColourTakesEntryZero) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(cellsFrame(100));
    Document doc = documentOf(std::move(frames));
    TOptimizedPalette builder(16, PaletteEntry{1, 2, 3, 0}, doc.firstFrame, nullptr, false);
    ASSERT_TRUE(builder.build());
    const TMyPalette p = builder.makePalette();
    EXPECT_EQ(p.colorCount, 16);
    EXPECT_EQ(builder.boxCount(), 15);
    EXPECT_EQ(p.transparentIndex, 0);
    EXPECT_TRUE(entryColor(p, 0) == (Rgb{1, 2, 3}));
}

TEST(OptimizedPalette, NoPixelsBuildsNothing) {
    FrameList list;
    list.append("c", std::make_unique<TTextFrame>(nullptr, "only a comment"));
    TOptimizedPalette builder(256, std::nullopt, threadFrames(list, false), nullptr, true);
    EXPECT_FALSE(builder.build());

    Document doc;
    doc.frameList.append("c", std::make_unique<TTextFrame>(nullptr, "only a comment"));
    doc.relink();
    EXPECT_FALSE(reduceColors(doc, 16, true));
    EXPECT_FALSE(doc.globalPalette);
    EXPECT_FALSE(doc.modified);
}

TEST(MedianCut, BoxChoiceAndAxisTies) {
    // Two clusters with the same count: box 0 (the lower-numbered box after
    // the first split) is split first.  A cube of 0..10 red x 0..10 green
    // splits on red.
    ColorHistogram h;
    for (int r = 0; r <= 10; ++r)
        for (int g = 0; g <= 10; ++g) h.at(r, g, 0) = 1;
    MedianCut square(h, 121, 2);
    square.cut();
    ASSERT_EQ(square.boxCount(), 2);
    EXPECT_EQ(square.boxes()[0].min[0], 0);
    EXPECT_LT(square.boxes()[0].max[0], 10);  // cut across red
    EXPECT_EQ(square.boxes()[0].max[1], 10);   // green untouched
    EXPECT_EQ(square.boxes()[1].max[0], 10);

    ColorHistogram pairs;
    pairs.at(0, 0, 0) = 5;
    pairs.at(0, 0, 2) = 5;
    pairs.at(40, 0, 0) = 5;
    pairs.at(40, 0, 2) = 5;
    MedianCut cut(pairs, 20, 3);
    cut.cut();
    ASSERT_EQ(cut.boxCount(), 3);
    // First split on red gives boxes {red 0} and {red 40} with 10 each; the
    // tie goes to box 0, which splits on blue.
    EXPECT_EQ(cut.boxes()[0].max[2], 0);
    EXPECT_EQ(cut.boxes()[2].min[2], 2);
    EXPECT_EQ(cut.boxes()[2].min[0], 0);
}

TEST(MedianCut, SplitNeverLeavesTheUpperBoxEmpty) {
    ColorHistogram h;
    h.at(0, 0, 0) = 1;
    h.at(5, 0, 0) = 100;  // the running sum passes half only at the last slice
    MedianCut cut(h, 101, 2);
    cut.cut();
    ASSERT_EQ(cut.boxCount(), 2);
    EXPECT_EQ(cut.boxes()[0].pixelCount, 1u);
    EXPECT_EQ(cut.boxes()[1].pixelCount, 100u);
}

TEST(MedianCut, ALowerPartOfExactlyHalfIsNotYetPastTheMedian) {
    // Slices of 4, 1 and 3 pixels: the running sum reaches half (4) at the
    // first slice but first exceeds it at the second, where the box splits.
    ColorHistogram h;
    h.at(0, 0, 0) = 4;
    h.at(1, 0, 0) = 1;
    h.at(2, 0, 0) = 3;
    MedianCut cut(h, 8, 2);
    cut.cut();
    ASSERT_EQ(cut.boxCount(), 2);
    EXPECT_EQ(cut.boxes()[0].max[0], 1);
    EXPECT_EQ(cut.boxes()[0].pixelCount, 5u);
    EXPECT_EQ(cut.boxes()[1].min[0], 2);
    EXPECT_EQ(cut.boxes()[1].pixelCount, 3u);
}

TEST(MedianCut, ScalingAndLuminanceOrder) {
    EXPECT_EQ(MedianCut::scale(63), 255);
    EXPECT_EQ(MedianCut::scale(62), 248);
    EXPECT_EQ(MedianCut::scale(0), 0);
    ColorHistogram h;
    h.at(63, 63, 63) = 3;
    h.at(0, 0, 10) = 3;
    h.at(20, 0, 0) = 3;
    MedianCut cut(h, 9, 3);
    cut.cut();
    cut.finish();
    ASSERT_EQ(cut.boxCount(), 3);
    EXPECT_EQ(cut.paletteColors()[0], (Rgb6{0, 0, 10}));   // key 110
    EXPECT_EQ(cut.paletteColors()[1], (Rgb6{20, 0, 0}));   // key 600
    EXPECT_EQ(cut.paletteColors()[2], (Rgb6{63, 63, 63}));
}

TEST(MedianCutQuant, TenColoursKeepTheirOwnEntries) {
    const Rgb colors[10] = {{250, 0, 0}, {0, 250, 0}, {0, 0, 250}, {10, 10, 10}, {200, 200, 200},
                            {100, 50, 0}, {0, 100, 50}, {50, 0, 100}, {255, 255, 0}, {128, 128, 128}};
    const uint32_t w = 37, h = 5;
    const size_t stride = MedianCutQuant::sourceStrideFor(w, 24);
    std::vector<uint8_t> bgr(stride * h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const Rgb& c = colors[(x + y) % 10];
            uint8_t* p = &bgr[y * stride + x * 3];
            p[0] = c.b, p[1] = c.g, p[2] = c.r;
        }
    MedianCutQuant quant(256, w, h, bgr.data(), 24);
    ASSERT_TRUE(quant.build());
    EXPECT_EQ(quant.colorCount(), 10);
    auto image = quant.makeImage();
    int lastKey = -1;
    for (int i = 0; i < 10; ++i) {
        const RgbQuad& q = image->colors()[size_t(i)];
        const int key = (q.red >> 2) * 30 + (q.green >> 2) * 59 + (q.blue >> 2) * 11;
        EXPECT_GE(key, lastKey);
        lastKey = key;
    }
    EXPECT_EQ(image->colors()[10], (RgbQuad{0, 0, 0, 0}));
    // Memory row y of the output is memory row y of the source.
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const RgbQuad& q = image->colors()[image->bits()[y * size_t(image->stride()) + x]];
            const Rgb& c = colors[(x + y) % 10];
            EXPECT_EQ(q.red, MedianCut::scale(c.r >> 2));
            EXPECT_EQ(q.green, MedianCut::scale(c.g >> 2));
            EXPECT_EQ(q.blue, MedianCut::scale(c.b >> 2));
        }
}

TEST(MedianCutQuant, SixteenBitPixels) {
    // 0x7FFF is white in 5-5-5: 6-bit (62, 62, 62), shown as 248.
    const uint8_t pixels[4] = {0xFF, 0x7F, 0x1F, 0x00};  // white, then pure blue 31
    MedianCutQuant quant(256, 2, 1, pixels, 16);
    ASSERT_TRUE(quant.build());
    auto image = quant.makeImage();
    const RgbQuad& white = image->colors()[image->bits()[0]];
    EXPECT_EQ(white, (RgbQuad{248, 248, 248, 0}));
    const RgbQuad& blue = image->colors()[image->bits()[1]];
    EXPECT_EQ(blue, (RgbQuad{248, 0, 0, 0}));
}

TEST(MedianCutQuant, EveryPixelGetsTheColourOfItsBox) {
    std::mt19937 rng(99);
    const uint32_t w = 160, h = 120;
    const size_t stride = MedianCutQuant::sourceStrideFor(w, 24);
    std::vector<uint8_t> bgr(stride * h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = &bgr[y * stride + x * 3];
            p[0] = uint8_t(x + rng() % 40), p[1] = uint8_t(y * 2 + rng() % 40), p[2] = uint8_t((x ^ y) + rng() % 9);
        }
    // The same cut computed independently gives the boxes.
    ColorHistogram hist;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* p = &bgr[y * stride + x * 3];
            ++hist.at(p[2] >> 2, p[1] >> 2, p[0] >> 2);
        }
    MedianCut cut(hist, w * h, 256);
    cut.cut();
    cut.finish();

    MedianCutQuant quant(256, w, h, bgr.data(), 24);
    ASSERT_TRUE(quant.build());
    auto image = quant.makeImage();
    EXPECT_EQ(quant.colorCount(), 256);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* p = &bgr[y * stride + x * 3];
            const int r = p[2] >> 2, g = p[1] >> 2, b = p[0] >> 2;
            const int index = image->bits()[y * size_t(image->stride()) + x];
            const ColorBox& box = cut.sortedBoxes()[size_t(index)];
            ASSERT_TRUE(r >= box.min[0] && r <= box.max[0] && g >= box.min[1] && g <= box.max[1] && b >= box.min[2] &&
                        b <= box.max[2])
                << "pixel " << x << "," << y << " outside box " << index;
        }
}

TEST(ReduceColors, ReservesTheTransparentColourAndRemaps) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(cellsFrame(60));
    frames.push_back(cellsFrame(60, 60));
    Document doc = documentOf(std::move(frames));
    // Put both frames on one global palette first.
    for (int i = 0; i < 2; ++i) mapToPalette(*doc.frameList.frameAt(i)->image, *doc.globalPalette, false, false);
    doc.frameList.frameAt(0)->transparentIndex = 5;
    const PaletteEntry transparent = doc.globalPalette->entry(5);
    ASSERT_TRUE(reduceColors(doc, 16, true));
    EXPECT_EQ(doc.globalPalette->colorCount, 16);
    EXPECT_EQ(doc.globalPalette->entry(0), transparent);
    EXPECT_EQ(doc.frameList.frameAt(0)->transparentIndex, 0);
    EXPECT_EQ(doc.transparentIndex, 0);
    EXPECT_TRUE(doc.modified);
    EXPECT_FALSE(doc.optimizable);
    for (int i = 0; i < 2; ++i) EXPECT_LT(*std::max_element(doc.frameList.frameAt(i)->image->bits(), doc.frameList.frameAt(i)->image->bits() + 60), 16);
}

TEST(ReduceColors, LocalPalettesStayUnlessCollapsed) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(cellsFrame(50));
    frames.push_back(cellsFrame(30, 100));
    Document doc = documentOf(std::move(frames));
    mapToPalette(*doc.frameList.frameAt(0)->image, *doc.globalPalette, false, false);
    TFrame& local = *doc.frameList.frameAt(1);
    local.localPalette = std::make_unique<TMyPalette>(paletteFromImage(*local.image));
    const auto pixelsBefore = std::vector<uint8_t>(local.image->bits(), local.image->bits() + local.image->byteSize());
    reduceToPowerOfTwo(doc);  // 50 colours -> 32
    EXPECT_EQ(doc.globalPalette->colorCount, 32);
    ASSERT_TRUE(local.localPalette);
    EXPECT_EQ(std::vector<uint8_t>(local.image->bits(), local.image->bits() + local.image->byteSize()), pixelsBefore);
    reduceColors(doc, 8, true);
    EXPECT_FALSE(local.localPalette);
}

TEST(ReduceColors, ColoursThatFitAreKeptExactly) {
    // Three colours of one 6-bit cell, which the cut alone would merge.
    const std::vector<Rgb> colors{{255, 129, 129}, {255, 128, 128}, {254, 130, 131}, {0, 0, 0}};
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(colorFrame(3, 1, colors, {0, 1, 2}));
    frames.push_back(colorFrame(2, 1, colors, {2, 3}));
    frames[1]->localPalette = std::make_unique<TMyPalette>(paletteFromImage(*frames[1]->image));
    Document doc = documentOf(std::move(frames));
    mapToPalette(*doc.frameList.frameAt(0)->image, *doc.globalPalette, false, false);
    ASSERT_TRUE(reduceColors(doc, 256, true));
    ASSERT_EQ(doc.globalPalette->colorCount, 4);
    EXPECT_TRUE(entryColor(*doc.globalPalette, 0) == colors[3]);  // dark to light
    for (int x = 0; x < 3; ++x) EXPECT_TRUE(test::shownColor(*doc.frameList.frameAt(0), x, 0) == colors[size_t(x)]);
    EXPECT_TRUE(test::shownColor(*doc.frameList.frameAt(1), 0, 0) == colors[2]);

    // More colours than asked for are merged by the cut, on 6-bit cells.
    ASSERT_TRUE(reduceColors(doc, 2, true));
    ASSERT_EQ(doc.globalPalette->colorCount, 2);
    EXPECT_TRUE(entryColor(*doc.globalPalette, 1) == (Rgb{255, 128, 128}));
}

TEST(ReduceColors, PowerOfTwoTable) {
    struct Case {
        int colors, after;
    };
    for (Case c : {Case{8, 8}, Case{16, 16}, Case{256, 256}, Case{200, 128}, Case{9, 8}, Case{31, 16}, Case{3, 3}}) {
        std::vector<std::unique_ptr<TFrame>> frames;
        frames.push_back(cellsFrame(c.colors));
        Document doc = documentOf(std::move(frames));
        mapToPalette(*doc.frameList.frameAt(0)->image, *doc.globalPalette, false, false);
        ASSERT_EQ(doc.globalPalette->colorCount, c.colors);
        reduceToPowerOfTwo(doc);
        EXPECT_EQ(doc.globalPalette->colorCount, c.after) << c.colors;
    }
}

TEST(ColorCountRules, ProposalStepsAndTypedCounts) {
    Document doc;
    EXPECT_EQ(initialColorCount(proposedColorCount(doc)), 128);  // no palette: 256
    doc.globalPalette = std::make_unique<TMyPalette>(std::vector<PaletteEntry>(3));
    EXPECT_EQ(initialColorCount(proposedColorCount(doc)), 2);
    EXPECT_EQ(initialColorCount(100), 64);
    EXPECT_EQ(initialColorCount(64), 32);
    EXPECT_EQ(initialColorCount(2), 2);
    doc.frameList.append("f", cellsFrame(4));
    doc.frameList.frameAt(0)->localPalette = std::make_unique<TMyPalette>();
    EXPECT_EQ(proposedColorCount(doc), 512);
    EXPECT_EQ(initialColorCount(512), 256);

    EXPECT_EQ(stepPowerOfTwo(64, +1), 128);
    EXPECT_EQ(stepPowerOfTwo(64, -1), 32);
    EXPECT_EQ(stepPowerOfTwo(256, +1), 256);
    EXPECT_EQ(stepPowerOfTwo(2, -1), 2);
    EXPECT_EQ(stepPowerOfTwo(100, +1), 128);
    EXPECT_EQ(stepPowerOfTwo(100, -1), 64);

    EXPECT_EQ(parseColorCount("  64"), 64);
    EXPECT_EQ(parseColorCount("1,28"), 128);
    EXPECT_EQ(parseColorCount("a1,2b8"), 128);
    EXPECT_EQ(parseColorCount("32 colors"), 32);
    EXPECT_EQ(parseColorCount("1000"), 256);
    EXPECT_EQ(parseColorCount("-5"), 2);
    EXPECT_EQ(parseColorCount("abc"), 2);
}

}  // namespace
}  // namespace movigram
