// Gray scale.
#include <gtest/gtest.h>

#include <tuple>

#include "OpsTestSupport.h"
#include "document/Undo.h"
#include "document/DecodeLimits.h"
#include "frameops/FlipRotate.h"
#include "frameops/FrameOrder.h"
#include "frameops/FrameTiming.h"
#include "frameops/GrayScale.h"

namespace movigram {
namespace {

using namespace test;

const TMyPalette palette8 = testPalette(8);

struct GrayCase {
    RgbQuad in;
    int important;
    uint16_t mask;
    RgbQuad out;
};

TEST(Gray, ColourTableConversion) {
    const GrayCase cases[] = {
        {{0, 0, 255, 0}, 0, 0, {76, 76, 76, 0}},     // red (quads are blue, green, red)
        {{255, 0, 0, 0}, 0, 0, {28, 28, 28, 0}},     // blue
        {{0, 255, 0, 0}, 0, 0, {150, 150, 150, 0}},  // green: 0.59 * 255 = 150.45
        {{255, 255, 255, 0}, 0, 0, {255, 255, 255, 0}},
        {{0, 0, 255, 0}, 4, 1, {0, 0, 255, 0}},     // fixed entry of a small table
        {{0, 0, 255, 0}, 16, 1, {76, 76, 76, 0}},   // 16 entries: the mask no longer counts
        {{0, 0, 255, 0}, 4, 2, {76, 76, 76, 0}},    // another entry is fixed
    };
    for (const GrayCase& c : cases) {
        TDib256 image(1, 1);
        image.colors()[0] = c.in;
        image.colorsImportant = c.important;
        image.fixedColorMask = c.mask;
        grayColorTable(image);
        EXPECT_EQ(image.colors()[0], c.out) << int(c.in.red) << "," << int(c.in.green) << "," << int(c.in.blue);
    }
}

TEST(Gray, FramesGetALocalPaletteOfTheirGraysAndKeepTransparency) {
    // Entries 1 and 2 turn into the same gray; the transparent entry 3 must
    // stay apart from them.
    auto doc = documentOf([] {
        std::vector<std::unique_ptr<TFrame>> v;
        v.push_back(placedFrame(0, 0, 4, 1, [](int x, int) { return x; }, palette8));
        return v;
    }());
    TFrame& f = *doc->frameList.frameAt(0);
    f.image->colors()[1] = {0, 0, 100, 0};
    f.image->colors()[2] = {0, 0, 100, 0};
    f.image->colors()[3] = {0, 0, 100, 0};
    f.transparentIndex = 3;
    ASSERT_TRUE(grayScale(*doc, {0}, "gray scale"));
    const TFrame& g = *doc->frameList.frameAt(0);
    ASSERT_NE(g.localPalette, nullptr);
    const std::vector<uint8_t> px = pixelsOf(*g.image);
    EXPECT_EQ(px[1], px[2]);
    ASSERT_GE(g.transparentIndex, 0);
    EXPECT_EQ(px[3], g.transparentIndex);
    EXPECT_NE(px[1], g.transparentIndex);
    EXPECT_EQ(g.localPalette->entry(px[1]).red, 30);  // trunc(0.30 * 100)
    EXPECT_EQ(doc->undo.newest()->label, "gray scale");
    EXPECT_EQ(doc->undo.newest()->kind, UndoKind::WholeChanged);
}

TEST(Gray, CancelWithdrawsOnlyItsOwnRecord) {
    auto doc = namedFrames(2);
    recordGrayScale(*doc, "gray scale");
    cancelGrayScale(*doc);
    EXPECT_TRUE(doc->undo.empty());
    reverseOrder(*doc, {0, 1}, "Reverse order");
    doc->undo.setEnabled(false);
    recordGrayScale(*doc, "gray scale");
    cancelGrayScale(*doc);
    doc->undo.setEnabled(true);
    EXPECT_TRUE(doc->undo.empty());
}

}  // namespace
}  // namespace movigram
