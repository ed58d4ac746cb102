// Captions: drawn through each frame's palette, visible on the screen of
// every selected frame, one undo step.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>

#include "OpsTestSupport.h"
#include "document/Undo.h"
#include "frameops/Caption.h"
#include "frameops/TextRaster.h"

namespace movigram::test {
namespace {

// The screen after frame `index`, composed from the first frame on.
std::vector<uint8_t> screenAt(const Document& doc, int index) {
    std::vector<uint8_t> out;
    forEachScreen(doc.frameList, {doc.screenWidth, doc.screenHeight}, *doc.globalPalette, 0, 0,
                  [&](int i, const TDib256& screen) {
                      if (i == index) out = pixelsOf(screen);
                  });
    return out;
}

// Screen positions whose value differs between two pictures of a screen.
std::vector<size_t> differences(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    std::vector<size_t> out;
    for (size_t p = 0; p < a.size(); ++p)
        if (a[p] != b[p]) out.push_back(p);
    return out;
}

TEST(Caption, VisibleOnEveryScreenOfAnOptimisedAnimation) {
    // Frame 0 a dark 60 x 40 screen; frame 1 a patch in the top-left corner
    // that does not reach the caption; frame 2 a patch over the lower half,
    // white on its left part and transparent (index 0) on its right.
    const TMyPalette g = grays();
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solidFrame(0, 0, 60, 40, 2, g, "screen"));
    frames.push_back(solidFrame(0, 0, 4, 4, 9, g, "corner"));
    auto lower = placedFrame(0, 20, 60, 20, [](int x, int) { return x < 30 ? 15 : 0; }, g, "lower");
    lower->transparentIndex = 0;
    frames.push_back(std::move(lower));
    auto doc = grayDocument(std::move(frames));
    const std::string before = describe(*doc);
    std::vector<std::vector<uint8_t>> screens;
    for (int i = 0; i < 3; ++i) screens.push_back(screenAt(*doc, i));

    CaptionStyle style;
    style.size = 10;
    style.outline = 1;
    ASSERT_EQ(drawCaption(*doc, {0, 1, 2}, "Hi", style, "caption"), "");
    EXPECT_EQ(doc->undo.size(), 1u);

    // Drawn on the first screen, centred across it, in the lower half.
    const std::vector<size_t> drawn = differences(screens[0], screenAt(*doc, 0));
    ASSERT_FALSE(drawn.empty());
    size_t left = 60, right = 0;
    for (size_t p : drawn) {
        left = std::min(left, p % 60), right = std::max(right, p % 60);
        EXPECT_GE(p / 60, 20u) << p;
    }
    EXPECT_NEAR(double(left + right) / 2, 29.5, 2.0);
    // The corner patch leaves it as it was; the lower patch shows the same
    // caption where it is transparent and the caption over white where not.
    EXPECT_EQ(screenAt(*doc, 1), [&] {
        auto s = screenAt(*doc, 0);
        for (size_t p = 0; p < 4 * 60; p += 60) std::fill_n(s.begin() + long(p), 4, uint8_t(9));
        return s;
    }());
    const std::vector<uint8_t> last = screenAt(*doc, 2), first = screenAt(*doc, 0);
    bool onWhite = false;
    for (size_t p : drawn) {
        if (p % 60 >= 30) EXPECT_EQ(last[p], first[p]) << p;
        else onWhite = onWhite || last[p] != 15;
    }
    EXPECT_TRUE(onWhite || left >= 30);
    // The transparent part of the lower patch stayed transparent: the
    // caption of frame 0 shows through it.
    const TFrame& patch = *doc->frameList.frameAt(2);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 30; x < 60; ++x) EXPECT_EQ(patch.image->pixel(x, y), 0) << x << "," << y;

    const std::string after = describe(*doc);
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);
    redo(*doc);
    EXPECT_EQ(describe(*doc), after);
}

TEST(Caption, UsesTheLocalPaletteOfAFrameThatHasOne) {
    // Two black screens; the second on a local palette of black, red and
    // blue.  A red caption: red on the second, its nearest gray on the first.
    const TMyPalette g = grays();
    const TMyPalette local(std::vector<PaletteEntry>{{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}});
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solidFrame(0, 0, 50, 24, 0, g, "global"));
    auto own = solidFrame(0, 0, 50, 24, 0, local, "local");
    own->localPalette = std::make_unique<TMyPalette>(local);
    frames.push_back(std::move(own));
    auto doc = grayDocument(std::move(frames));

    CaptionStyle style;
    style.color = {255, 0, 0};
    style.outline = 0;
    style.size = 14;
    style.left = style.top = 2;
    ASSERT_EQ(drawCaption(*doc, {0, 1}, "Red", style, "caption"), "");
    std::set<uint8_t> globalValues, localValues;
    for (uint8_t v : pixelsOf(*doc->frameList.frameAt(0)->image)) globalValues.insert(v);
    for (uint8_t v : pixelsOf(*doc->frameList.frameAt(1)->image)) localValues.insert(v);
    EXPECT_TRUE(localValues.count(1)) << "red of the local palette";
    EXPECT_FALSE(localValues.count(2)) << "no blue in a red caption";
    for (uint8_t v : localValues) EXPECT_LT(v, 3);
    EXPECT_GT(globalValues.size(), 1u);
    EXPECT_FALSE(globalValues.count(15)) << "pure red is no closer to white than to the grays between";
    // Only the gray palette is too far from red to go unmentioned.
    EXPECT_EQ(distantNearest(local, {255, 0, 0}), std::nullopt);
    EXPECT_EQ(distantNearest(local, {230, 20, 10}), std::nullopt);
    EXPECT_EQ(distantNearest(g, {255, 0, 0}), (Rgb8{85, 85, 85}));
}

TEST(Caption, TheOutlineGrowsTheLettersByItsWidth) {
    // The box of what each mask covers: the outline's reaches `width`
    // further on every side, and the box leaves it room.
    auto box = [](const std::vector<uint8_t>& m, int32_t w) {
        TRect r{INT32_MAX, INT32_MAX, -1, -1};
        for (size_t p = 0; p < m.size(); ++p)
            if (m[p]) r = {std::min(r.left, int32_t(p % size_t(w))), std::min(r.top, int32_t(p / size_t(w))),
                           std::max(r.right, int32_t(p % size_t(w)) + 1), std::max(r.bottom, int32_t(p / size_t(w)) + 1)};
        return r;
    };
    for (int width : {0, 1, 3}) {
        const TextRasterResult r = rasterizeText("IL\nx", "DejaVu Sans", 20, width);
        ASSERT_EQ(r.error, "");
        const TextMask& m = r.mask;
        const TRect text = box(m.text, m.width);
        ASSERT_FALSE(text.isEmpty());
        if (width == 0) {
            EXPECT_EQ(std::count(m.outline.begin(), m.outline.end(), 0), long(m.outline.size()));
            continue;
        }
        for (size_t p = 0; p < m.text.size(); ++p) ASSERT_GE(m.outline[p], m.text[p]);
        EXPECT_EQ(box(m.outline, m.width), (TRect{text.left - width, text.top - width, text.right + width,
                                                  text.bottom + width}));
        EXPECT_GE(text.left - width, 0);
        EXPECT_LE(text.right + width, m.width);
    }
}

TEST(Caption, RefusedWithNothingRecorded) {
    auto doc = grayDocument([] {
        std::vector<std::unique_ptr<TFrame>> frames;
        frames.push_back(solidFrame(0, 0, 40, 20, 0, grays()));
        frames.push_back(solidFrame(30, 0, 10, 5, 3, grays()));
        return frames;
    }());
    CaptionStyle style;
    EXPECT_NE(drawCaption(*doc, {0}, " \n ", style, "caption"), "");
    style.size = largestCaptionSize + 1;
    EXPECT_NE(drawCaption(*doc, {0}, "text", style, "caption"), "");
    style.size = 10;
    style.left = 0, style.top = 10;
    EXPECT_EQ(drawCaption(*doc, {1}, "x", style, "caption"), "the caption falls outside the selected frames");
    style.left = style.top = 100;
    EXPECT_NE(drawCaption(*doc, {0}, "x", style, "caption"), "");
    EXPECT_EQ(doc->undo.size(), 0u);
}

}  // namespace
}  // namespace movigram::test
