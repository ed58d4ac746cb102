// Pixelate and Blur over an area of the screen: the same pixels on every
// frame they cover, frames left alone outside it, one undo step.
#include <gtest/gtest.h>

#include <algorithm>

#include "OpsTestSupport.h"
#include "document/Undo.h"
#include "frameops/Redact.h"

namespace movigram::test {
namespace {

// A 12 x 8 screen: frame 0 a black and white checkerboard over all of it,
// frame 1 a 6 x 6 patch at (6, 2) of colour 5 with a transparent column
// (index 0) at x = 7, frame 2 the checkerboard again.
std::unique_ptr<Document> checkerAndPatch() {
    const TMyPalette g = grays();
    auto checker = [](int x, int y) { return (x + y) % 2 ? 15 : 0; };
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(placedFrame(0, 0, 12, 8, checker, g, "a"));
    auto patch = placedFrame(6, 2, 6, 6, [](int x, int) { return x == 1 ? 0 : 5; }, g, "b");
    patch->transparentIndex = 0;
    frames.push_back(std::move(patch));
    frames.push_back(placedFrame(0, 0, 12, 8, checker, g, "c"));
    return grayDocument(std::move(frames));
}

uint8_t shownAt(const Document& doc, int index, int x, int y) {
    return pictureAt(doc, index)[size_t(y * doc.screenWidth + x)];
}

TEST(Redact, AreaPartlyOutsideAFrameIsTheSameOnEverySelectedFrame) {
    for (const bool blur : {false, true}) {
        SCOPED_TRACE(blur ? "blur" : "pixelate");
        auto doc = checkerAndPatch();
        const std::string before = describe(*doc);
        const std::vector<uint8_t> lastScreen = pictureAt(*doc, 2);
        const std::vector<uint8_t> patchBefore = pixelsOf(*doc->frameList.frameAt(1)->image);
        // From (4, 0) to past the screen's right edge: frame 1 covers part of it.
        const TRect area{4, 0, 20, 6};
        ASSERT_TRUE(blur ? blurArea(*doc, {0, 1}, area, 2, "blur") : pixelateArea(*doc, {0, 1}, area, 4, "pixelate"));
        EXPECT_EQ(doc->undo.size(), 1u);

        // The screens of both frames agree inside the area, and show no
        // checkerboard there any more (black and white average to gray).
        for (int y = 0; y < 6; ++y)
            for (int x = 4; x < 12; ++x) {
                EXPECT_EQ(shownAt(*doc, 0, x, y), shownAt(*doc, 1, x, y)) << x << "," << y;
                const uint8_t v = shownAt(*doc, 0, x, y);
                EXPECT_TRUE(v > 0 && v < 15) << x << "," << y << " is " << int(v);
            }
        // Outside it nothing changed: the rest of frame 0, frame 1's rows
        // below the area, all of frame 2.
        EXPECT_EQ(shownAt(*doc, 0, 3, 1), 0);
        EXPECT_EQ(shownAt(*doc, 0, 4, 7), 15);
        const std::vector<uint8_t> patchAfter = pixelsOf(*doc->frameList.frameAt(1)->image);
        for (size_t p = 4 * 6; p < patchAfter.size(); ++p) EXPECT_EQ(patchAfter[p], patchBefore[p]) << p;
        EXPECT_EQ(pictureAt(*doc, 2), lastScreen);
        // The patch's transparent column still lets frame 0 show through:
        // the redacted colour is there already.
        EXPECT_EQ(patchAfter[1], 0);

        const std::string after = describe(*doc);
        undo(*doc);
        EXPECT_EQ(describe(*doc), before);
        redo(*doc);
        EXPECT_EQ(describe(*doc), after);
    }
}

TEST(Redact, PixelateCellsAlignToTheAreaAndBlurIsSmooth) {
    // Left half black, right half white; a cell straddling the border is one
    // gray, the cells on either side keep their colour.
    const TMyPalette g = grays();
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(placedFrame(0, 0, 12, 4, [](int x, int) { return x < 6 ? 0 : 15; }, g));
    auto doc = grayDocument(std::move(frames));
    ASSERT_TRUE(pixelateArea(*doc, {0}, {1, 0, 13, 4}, 4, "pixelate"));
    const std::vector<uint8_t> cells = pictureAt(*doc, 0);
    EXPECT_EQ(cells[0], 0);   // outside the area
    EXPECT_EQ(cells[1], 0);   // cell 1..4: all black
    EXPECT_EQ(cells[5], 11);  // cell 5..8: one black, three white pixels, 191 on average
    EXPECT_EQ(cells[5], cells[8]);
    EXPECT_EQ(cells[9], 15);  // cell 9..12, cut by the screen: all white
    undo(*doc);

    ASSERT_TRUE(blurArea(*doc, {0}, {0, 0, 12, 4}, 2, "blur"));
    const std::vector<uint8_t> smooth = pictureAt(*doc, 0);
    // A ramp from black to white across the border, never going back.
    for (int x = 1; x < 12; ++x) EXPECT_GE(smooth[size_t(x)], smooth[size_t(x - 1)]);
    EXPECT_EQ(smooth[0], 0);
    EXPECT_LT(smooth[4], 8);
    EXPECT_GT(smooth[7], 8);
}

TEST(Redact, EachFrameIsSeenInItsOwnColours) {
    // A white screen, then a 2 x 4 patch on a local palette of the grays
    // reversed, whose index 15 is black.  One cell over both screens: 2 of
    // 16 pixels are black on one of the two, so the mean is near white, not
    // the middle gray the white screen read through the patch's colours
    // would give.
    const TMyPalette g = grays();
    std::vector<PaletteEntry> reversed(g.entries().begin(), g.entries().begin() + 16);
    std::reverse(reversed.begin(), reversed.end());
    const TMyPalette local(reversed);
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solidFrame(0, 0, 8, 4, 15, g, "white"));
    auto patch = solidFrame(0, 0, 2, 4, 15, local, "black");
    patch->localPalette = std::make_unique<TMyPalette>(local);
    frames.push_back(std::move(patch));
    auto doc = grayDocument(std::move(frames));
    ASSERT_TRUE(pixelateArea(*doc, {0, 1}, {0, 0, 8, 4}, 8, "pixelate"));
    EXPECT_EQ(doc->frameList.frameAt(0)->image->pixel(5, 1), 13);  // 223 of 255
    EXPECT_EQ(doc->frameList.frameAt(1)->image->pixel(0, 0), 15 - 13);
}

TEST(Redact, NothingRecordedWhenTheAreaMissesTheFramesOrTheSizeIsWrong) {
    auto doc = checkerAndPatch();
    EXPECT_FALSE(pixelateArea(*doc, {1}, {0, 0, 4, 8}, 4, "pixelate"));  // frame 1 starts at x = 6
    EXPECT_FALSE(blurArea(*doc, {0}, {20, 20, 30, 30}, 2, "blur"));        // off the screen
    EXPECT_FALSE(pixelateArea(*doc, {0}, {0, 0, 4, 4}, 1, "pixelate"));
    EXPECT_FALSE(blurArea(*doc, {0}, {0, 0, 4, 4}, largestBlurRadius + 1, "blur"));
    EXPECT_EQ(doc->undo.size(), 0u);
}

}  // namespace
}  // namespace movigram::test
