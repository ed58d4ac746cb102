// The reading policies: how the palettes of frames read are kept.
#include <gtest/gtest.h>

#include "ColourTestSupport.h"
#include "colour/PaletteMapping.h"
#include "colour/ReadingPolicy.h"
#include "document/FrameChain.h"

namespace movigram {
namespace {

using namespace test;

const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255}, black{0, 0, 0};

TEST(ReadingPolicy, AutomaticSwitchesToOptimizedWhenTheGlobalPaletteOverflows) {
    Document doc;  // Keep + Automatic
    auto colorsFrom = [](int start) {
        std::vector<Rgb> c;
        for (int i = 0; i < 120; ++i) c.push_back({uint8_t(start + i), uint8_t(i * 2), 50});
        return c;
    };
    std::vector<uint8_t> all;
    for (int i = 0; i < 120; ++i) all.push_back(uint8_t(i));
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(colorFrame(120, 1, colorsFrom(0), all));
    frames.push_back(colorFrame(120, 1, colorsFrom(120), all));
    frames.push_back(colorFrame(120, 1, colorsFrom(240), all));  // wraps: 240 + i mod 256 are new colours
    PaletteReadingBatch batch(doc);
    batch.acceptFrame(*frames[0]);
    batch.acceptFrame(*frames[1]);
    EXPECT_EQ(batch.effectiveMode(), GlobalPaletteMode::Cumulative);
    EXPECT_EQ(doc.globalPalette->colorCount, 240);
    batch.acceptFrame(*frames[2]);
    EXPECT_EQ(batch.effectiveMode(), GlobalPaletteMode::Optimized);
    EXPECT_TRUE(frames[2]->localPalette);
    for (auto& f : frames) doc.frameList.append("f", std::move(f));
    doc.relink();
    batch.finish();
    EXPECT_LE(doc.globalPalette->colorCount, 256);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(doc.frameList.frameAt(i)->localPalette) << i;
}

TEST(ReadingPolicy, LocalPaletteModes) {
    auto withLocal = [] {
        auto f = colorFrame(2, 1, {red, green, blue}, {0, 2});
        f->localPalette = std::make_unique<TMyPalette>(paletteFromImage(*f->image));
        return f;
    };
    {
        Document doc;  // Keep: the local palette stays, compacted
        std::vector<std::unique_ptr<TFrame>> frames;
        frames.push_back(withLocal());
        readBatch(doc, std::move(frames));
        ASSERT_TRUE(doc.frameList.frameAt(0)->localPalette);
        EXPECT_EQ(doc.frameList.frameAt(0)->localPalette->colorCount, 2);
    }
    {
        Document doc;
        doc.localPaletteMode = LocalPaletteMode::Merge;
        doc.globalPaletteMode = GlobalPaletteMode::Cumulative;
        std::vector<std::unique_ptr<TFrame>> frames;
        frames.push_back(withLocal());
        readBatch(doc, std::move(frames));
        EXPECT_FALSE(doc.frameList.frameAt(0)->localPalette);
        EXPECT_EQ(doc.globalPalette->colorCount, 2);
        EXPECT_TRUE(shownColor(*doc.frameList.frameAt(0), 1, 0) == blue);
    }
    {
        Document doc;
        doc.localPaletteMode = LocalPaletteMode::Create;
        std::vector<std::unique_ptr<TFrame>> frames;
        frames.push_back(colorFrame(2, 1, {red, green, blue}, {1, 1}));
        readBatch(doc, std::move(frames));
        ASSERT_TRUE(doc.frameList.frameAt(0)->localPalette);
        EXPECT_EQ(doc.frameList.frameAt(0)->localPalette->colorCount, 1);
    }
}

TEST(ReadingPolicy, SingleImagesAndTransparentColour) {
    Document doc;
    doc.globalPaletteMode = GlobalPaletteMode::Fixed;
    doc.globalPalette = std::make_unique<TMyPalette>(std::vector<PaletteEntry>{{0, 0, 0, 0}, {255, 255, 255, 0}});
    PaletteReadingBatch batch(doc);
    auto image = colorFrame(2, 1, {{10, 10, 10}, {240, 240, 240}}, {0, 1});
    batch.acceptImage(*image);
    EXPECT_FALSE(image->localPalette);
    EXPECT_EQ(doc.globalPalette->colorCount, 2);
    EXPECT_EQ(image->image->pixel(1, 0), 1);

    auto transparent = colorFrame(2, 1, {red, {1, 2, 3}}, {0, 1});
    transparent->transparentIndex = 1;
    batch.acceptFrame(*transparent);
    doc.frameList.append("a", std::move(image));
    doc.frameList.append("b", std::move(transparent));
    doc.relink();
    batch.finish();
    EXPECT_GE(doc.transparentIndex, 0);
    EXPECT_EQ(doc.globalPalette->transparentIndex, doc.transparentIndex);
}

}  // namespace
}  // namespace movigram
