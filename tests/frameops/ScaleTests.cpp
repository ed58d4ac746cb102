// Scale: resampled pixels, frame placement, transparency, the one undo
// step, and still pixels kept still by the shared palette.
#include <gtest/gtest.h>

#include "OpsTestSupport.h"
#include "document/Undo.h"
#include "frameops/Scale.h"

namespace movigram::test {
namespace {

constexpr int black = 0, white = 1, red = 2, clear = 3;

TMyPalette fourColours() {
    TMyPalette p({{0, 0, 0, 0}, {255, 255, 255, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}});
    return p;
}

std::unique_ptr<Document> docOf(std::vector<std::unique_ptr<TFrame>> frames) {
    auto doc = documentOf(std::move(frames), 4);
    *doc->globalPalette = fourColours();
    return doc;
}

RgbQuad colourAt(const TFrame& f, int x, int y) { return f.image->colors()[f.image->pixel(x, y)]; }
bool isClear(const TFrame& f, int x, int y) { return f.image->pixel(x, y) == f.transparentIndex; }

TEST(Scale, ParsesRequestsAndKeepsTheAspectRatio) {
    const TSize screen{640, 480};
    EXPECT_EQ(scaledSize(screen, *parseScaleRequest("50%")), (TSize{320, 240}));
    EXPECT_EQ(scaledSize(screen, *parseScaleRequest("320x0")), (TSize{320, 240}));
    EXPECT_EQ(scaledSize(screen, *parseScaleRequest("0x120")), (TSize{160, 120}));
    EXPECT_EQ(scaledSize(screen, *parseScaleRequest("100x100")), (TSize{100, 100}));
    EXPECT_EQ(scaledSize({3, 1}, *parseScaleRequest("1%")), (TSize{1, 1}));  // never below a pixel
    EXPECT_FALSE(scaledSize(screen, *parseScaleRequest("20000%")));           // over 65535
    for (const char* bad : {"", "50", "%", "-5%", "0%", "0x0", "x5", "5x", "65536x1", "1x-1", "5x5x5", "a%"})
        EXPECT_FALSE(parseScaleRequest(bad)) << bad;
}

TEST(Scale, HalfAveragesInLinearLightAndTransparencyNeedsAMajority) {
    const TMyPalette p = fourColours();
    std::vector<std::unique_ptr<TFrame>> frames;
    // Columns 0-3: 2x2 blocks of black and white; 4-5: one-pixel stripes;
    // 6-7: half transparent, half red.
    frames.push_back(placedFrame(0, 0, 8, 4, [](int x, int y) {
        if (x < 4) return ((x / 2) + (y / 2)) % 2 ? white : black;
        if (x < 6) return x % 2 ? white : black;
        return y % 2 ? clear : red;
    }, p));
    frames.back()->transparentIndex = clear;
    auto doc = docOf(std::move(frames));
    ASSERT_TRUE(scaleAnimation(*doc, 4, 2, "scale"));

    const TFrame& f = *doc->frameList.frameAt(0);
    ASSERT_EQ(f.image->width(), 4);
    ASSERT_EQ(f.image->height(), 2);
    EXPECT_EQ(doc->screenWidth, 4);
    EXPECT_EQ(colourAt(f, 0, 0), (RgbQuad{0, 0, 0, 0}));
    EXPECT_EQ(colourAt(f, 1, 0), (RgbQuad{255, 255, 255, 0}));
    EXPECT_EQ(colourAt(f, 0, 1), (RgbQuad{255, 255, 255, 0}));
    // Half black, half white is the sRGB level of half the light (188), not 128.
    EXPECT_NEAR(colourAt(f, 2, 0).green, 188, 4);
    // Two of four covered pixels transparent is not more than half.
    EXPECT_FALSE(isClear(f, 3, 0));
    EXPECT_EQ(colourAt(f, 3, 0), (RgbQuad{0, 0, 255, 0}));
}

TEST(Scale, DoubleInterpolatesEdgesAndTransparency) {
    const TMyPalette p = fourColours();
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(placedFrame(0, 0, 4, 2, [](int x, int) { return x < 2 ? black : white; }, p));
    frames.push_back(placedFrame(0, 0, 4, 2, [](int x, int) { return x < 2 ? clear : white; }, p));
    frames.back()->transparentIndex = clear;
    auto doc = docOf(std::move(frames));
    ASSERT_TRUE(scaleAnimation(*doc, 8, 4, "scale"));

    const TFrame& f = *doc->frameList.frameAt(0);
    ASSERT_EQ(f.image->width(), 8);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(colourAt(f, x, y), (RgbQuad{0, 0, 0, 0})) << x;
        for (int x = 5; x < 8; ++x) EXPECT_EQ(colourAt(f, x, y), (RgbQuad{255, 255, 255, 0})) << x;
    }
    const int left = colourAt(f, 3, 0).green, right = colourAt(f, 4, 0).green;
    EXPECT_LT(0, left);
    EXPECT_LT(left, right);
    EXPECT_LT(right, 255);

    // Pixel 3 is about four fifths over transparent pixels, pixel 4 one fifth.
    const TFrame& g = *doc->frameList.frameAt(1);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(isClear(g, x, 0), x < 4) << x;
    EXPECT_EQ(colourAt(g, 4, 0), (RgbQuad{255, 255, 255, 0}));
}

TEST(Scale, FramesKeepTheirPlacesAndOneUndoGivesTheOriginalBack) {
    const TMyPalette p = fourColours();
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solidFrame(0, 0, 3, 4, black, p, "left"));
    frames.push_back(solidFrame(3, 0, 3, 4, white, p, "right"));
    frames.push_back(solidFrame(4, 2, 2, 2, red, p, "corner"));
    frames.back()->restoreToBackground = true;
    auto doc = docOf(std::move(frames));
    const std::string before = describe(*doc);

    ASSERT_TRUE(scaleAnimation(*doc, 3, 2, "scale"));
    const TFrame& left = *doc->frameList.frameAt(0);
    const TFrame& right = *doc->frameList.frameAt(1);
    const TFrame& corner = *doc->frameList.frameAt(2);
    EXPECT_EQ(left.rect.right, right.rect.left);  // 1.5 rounds once, for both
    EXPECT_EQ((TRect{2, 0, 3, 2}), right.rect);
    EXPECT_EQ((TRect{2, 1, 3, 2}), corner.rect);
    EXPECT_TRUE(corner.restoreToBackground);
    EXPECT_EQ(corner.dirtyRect, corner.rect);
    EXPECT_EQ(corner.image->width(), 1);
    EXPECT_EQ(colourAt(corner, 0, 0), (RgbQuad{0, 0, 255, 0}));
    EXPECT_EQ((TSize{doc->screenWidth, doc->screenHeight}), (TSize{3, 2}));

    EXPECT_EQ(doc->undo.size(), 1u);
    EXPECT_EQ(doc->undo.newest()->label, "scale");
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);
}

TEST(Scale, RefusesSizesOverTheLimitsAndRecordsNothing) {
    const TMyPalette p = fourColours();
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solidFrame(0, 0, 4, 4, white, p));
    auto doc = docOf(std::move(frames));
    const std::string before = describe(*doc);
    EXPECT_FALSE(scaleAnimation(*doc, 65535, 65535, "scale"));
    EXPECT_FALSE(scaleAnimation(*doc, 0, 4, "scale"));
    EXPECT_FALSE(scaleAnimation(*doc, 65536, 4, "scale"));
    EXPECT_FALSE(doc->undo.canUndo());
    EXPECT_EQ(describe(*doc), before);
}

TEST(Scale, StillPixelsKeepTheirIndexWithErrorDiffusion) {
    // Many colours, so that the result needs the quantiser and dithering.
    std::vector<PaletteEntry> colours;
    std::mt19937 random(7);
    for (int i = 0; i < 256; ++i) colours.push_back({uint8_t(random()), uint8_t(random()), uint8_t(random()), 0});
    const TMyPalette p(colours);
    std::vector<uint8_t> picture(48 * 48);
    for (auto& v : picture) v = uint8_t(random());
    auto still = [&](int x, int y) { return picture[size_t(y * 48 + x)]; };
    auto moved = [&](int x, int y) { return x >= 8 && x < 16 && y >= 8 && y < 16 ? 255 - still(x, y) : still(x, y); };
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(placedFrame(0, 0, 48, 48, still, p));
    frames.push_back(placedFrame(0, 0, 48, 48, moved, p));
    auto doc = documentOf(std::move(frames), 256);
    *doc->globalPalette = p;
    doc->quantize.dither = DitherMethod::Diffusion;
    ASSERT_TRUE(scaleAnimation(*doc, 36, 36, "scale"));

    const TDib256& a = *doc->frameList.frameAt(0)->image;
    const TDib256& b = *doc->frameList.frameAt(1)->image;
    int differing = 0;
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 36; ++x) {
            // Output pixels whose source area touches the changed square.
            const bool touched = x >= 5 && x < 13 && y >= 5 && y < 13;
            if (touched) differing += a.pixel(x, y) != b.pixel(x, y);
            else EXPECT_EQ(a.pixel(x, y), b.pixel(x, y)) << x << "," << y;
        }
    EXPECT_GT(differing, 0);
}

}  // namespace
}  // namespace movigram::test
