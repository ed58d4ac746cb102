// Shift, moving sprite, crop, delete and resize of selected frames.
#include <gtest/gtest.h>

#include <climits>

#include "OpsTestSupport.h"
#include "document/Undo.h"
#include "frameops/FrameOffset.h"

namespace movigram {
namespace {

using test::describe;
using test::documentOf;
using test::pixelsOf;
using test::placedFrame;
using test::solidFrame;
using test::testPalette;

const TMyPalette palette8 = testPalette(8);

// Pixel (x, y) of a frame made by gradient() is (x + 2y) mod 8, so a cut
// shows which columns and rows remain.
std::unique_ptr<TFrame> gradient(int left, int top, int w, int h, std::string name = "frame") {
    return placedFrame(left, top, w, h, [](int x, int y) { return (x + 2 * y) % 8; }, palette8, std::move(name));
}

std::vector<std::unique_ptr<TFrame>> framesOf(std::unique_ptr<TFrame> a, std::unique_ptr<TFrame> b = nullptr,
                                              std::unique_ptr<TFrame> c = nullptr) {
    std::vector<std::unique_ptr<TFrame>> v;
    for (auto* f : {&a, &b, &c})
        if (*f) v.push_back(std::move(*f));
    return v;
}

TEST(UniteRects, NullRectanglesAddNothingButZeroSizedOnesCount) {
    const TRect a{2, 3, 10, 12};
    EXPECT_EQ(uniteRects(a, {}), a);
    EXPECT_EQ(uniteRects({}, a), a);
    EXPECT_EQ(uniteRects(a, {20, 1, 20, 1}), (TRect{2, 1, 20, 12}));
}

struct MoveCase {
    const char* what;
    TRect before;
    int dx, dy;
    TRect after;
    int firstColumnKept, firstRowKept;  // of the old image
};

class MoveRule : public ::testing::TestWithParam<MoveCase> {};

TEST_P(MoveRule, CutsWhatGoesPastTheLeftOrTopEdge) {
    const MoveCase& c = GetParam();
    auto f = gradient(c.before.left, c.before.top, c.before.width(), c.before.height());
    const TDib256 old = *f->image;
    moveFrameBy(*f, c.dx, c.dy);
    EXPECT_EQ(f->rect, c.after) << c.what;
    EXPECT_EQ(f->dirtyRect, c.after);
    ASSERT_EQ(f->image->width(), c.after.width());
    ASSERT_EQ(f->image->height(), c.after.height());
    for (int y = 0; y < f->image->height(); ++y)
        for (int x = 0; x < f->image->width(); ++x)
            ASSERT_EQ(f->image->pixel(x, y), old.pixel(x + c.firstColumnKept, y + c.firstRowKept)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MoveRule,
    ::testing::Values(MoveCase{"plain move", {10, 5, 60, 25}, 7, 3, {17, 8, 67, 28}, 0, 0},
                      MoveCase{"left edge", {10, 0, 60, 20}, -20, 0, {0, 0, 40, 20}, 10, 0},
                      MoveCase{"top edge", {0, 4, 30, 24}, 0, -10, {0, 0, 30, 14}, 0, 6},
                      MoveCase{"both edges", {3, 3, 13, 13}, -5, -4, {0, 0, 8, 9}, 2, 1},
                      MoveCase{"all gone left", {10, 0, 60, 20}, -60, 0, {0, 0, 0, 0}, 0, 0},
                      MoveCase{"all gone up", {0, 10, 30, 20}, 5, -25, {0, 0, 0, 0}, 0, 0},
                      MoveCase{"nothing clipped right", {10, 10, 20, 20}, 500, 400, {510, 410, 520, 420}, 0, 0}));

TEST(Shift, MovesSelectedFramesAndGrowsTheScreen) {
    auto doc = documentOf(framesOf(gradient(0, 0, 20, 10), gradient(2, 2, 5, 5), gradient(0, 0, 20, 10)));
    ASSERT_TRUE(shiftFrames(*doc, {1, 2}, 10, 4, "shift frames"));
    EXPECT_EQ(doc->frameList.frameAt(0)->rect, (TRect{0, 0, 20, 10}));
    EXPECT_EQ(doc->frameList.frameAt(1)->rect, (TRect{12, 6, 17, 11}));
    EXPECT_EQ(doc->frameList.frameAt(2)->rect, (TRect{10, 4, 30, 14}));
    EXPECT_EQ(doc->screenWidth, 30);
    EXPECT_EQ(doc->screenHeight, 14);
    EXPECT_TRUE(doc->modified);
    EXPECT_EQ(doc->currentFrame, doc->frameList.frameAt(1));  // the first selected frame is shown
    ASSERT_NE(doc->undo.newest(), nullptr);
    EXPECT_EQ(doc->undo.newest()->label, "shift frames");
    EXPECT_FALSE(doc->undo.newest()->deepCopy);
}

TEST(Shift, PastTheEdgeRecordsTheImagesSoThatUndoGivesThemBack) {
    auto doc = documentOf(framesOf(gradient(0, 0, 30, 20), gradient(10, 0, 20, 20)));
    const std::string before = describe(*doc);
    ASSERT_TRUE(shiftFrames(*doc, {0, 1}, -15, 0, "shift frames"));
    EXPECT_EQ(doc->frameList.frameAt(0)->rect, (TRect{0, 0, 15, 20}));
    EXPECT_EQ(doc->frameList.frameAt(1)->rect, (TRect{0, 0, 15, 20}));
    EXPECT_TRUE(doc->undo.newest()->deepCopy);
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);
}

TEST(Shift, EmptySelectionChangesAndRecordsNothing) {
    auto doc = documentOf(framesOf(gradient(0, 0, 8, 8)));
    const std::string before = describe(*doc);
    EXPECT_FALSE(shiftFrames(*doc, {}, 5, 5, "shift frames"));
    EXPECT_FALSE(shiftFrames(*doc, {4, -1}, 5, 5, "shift frames"));
    EXPECT_EQ(describe(*doc), before);
    EXPECT_TRUE(doc->undo.empty());
    EXPECT_FALSE(doc->modified);
}

TEST(Shift, OffsetsAndRectanglesStayWithinGifCoordinates) {
    auto doc = documentOf(framesOf(gradient(0, 0, 8, 8), gradient(60000, 0, 8, 8), gradient(0, 0, 8, 8)));
    const std::string before = describe(*doc);
    // Refused before any arithmetic: nothing changes, nothing is recorded.
    EXPECT_FALSE(shiftFrames(*doc, {0}, 2147483647, 0, "shift frames"));
    EXPECT_FALSE(shiftFrames(*doc, {1}, 6000, 0, "shift frames"));  // left would pass 65535
    EXPECT_FALSE(movingSprite(*doc, {0, 2}, 0, 65536, "moving sprite"));
    EXPECT_FALSE(movingSprite(*doc, {0, 1, 2}, 40000, 0, "moving sprite"));  // the third frame moves twice as far
    EXPECT_FALSE(cropFrames(*doc, {0, 1, 2}, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, true, "crop frames"));
    EXPECT_EQ(describe(*doc), before);
    EXPECT_TRUE(doc->undo.empty());
    EXPECT_TRUE(shiftFrames(*doc, {0}, 65527, 0, "shift frames"));  // the right edge lands on 65535
    EXPECT_TRUE(cropFrames(*doc, {0, 1, 2}, {0, 0, 65535, 65535}, true, "crop frames"));
}

TEST(Shift, NoFrameIsMovedPastTheLastGifCoordinate) {
    // A GIF's screen ends at 65535: a frame reaching further would be cut or
    // left out of the file without a word.  Its right or bottom edge passing
    // it refuses the whole step.
    auto doc = documentOf(framesOf(gradient(0, 0, 32, 32), gradient(10, 0, 32, 32)));
    const std::string before = describe(*doc);
    EXPECT_FALSE(movedFramesStayInGif(*doc, {0}, 65535, 0, false));
    EXPECT_FALSE(shiftFrames(*doc, {0}, 65535, 0, "shift frames"));
    EXPECT_FALSE(shiftFrames(*doc, {0, 1}, 65520, 0, "shift frames"));
    EXPECT_FALSE(movedFramesStayInGif(*doc, {1}, 0, 65504, false));
    EXPECT_FALSE(movingSprite(*doc, {0, 1}, 65494, 0, "moving sprite"));  // only the second frame moves
    EXPECT_EQ(describe(*doc), before);
    EXPECT_TRUE(doc->undo.empty());
    EXPECT_TRUE(movedFramesStayInGif(*doc, {1}, 0, 65503, false));
    EXPECT_TRUE(movedFramesStayInGif(*doc, {0, 1}, 65493, 0, true));
    EXPECT_TRUE(shiftFrames(*doc, {1}, 65493, 0, "shift frames"));
    EXPECT_EQ(doc->frameList.frameAt(1)->rect, (TRect{65503, 0, 65535, 32}));
}

TEST(Shift, TheScreenStaysWithinWhatOneImageMayHave) {
    // 60000 x 60000 would make the editor's screen 3.6 GB: refused, as a file
    // declaring it is.  Moving right alone keeps the screen small.
    auto doc = documentOf(framesOf(gradient(0, 0, 8, 8), gradient(10, 10, 8, 8)));
    const std::string before = describe(*doc);
    EXPECT_FALSE(movedScreenFits(*doc, {1}, 60000, 60000, false));
    EXPECT_FALSE(shiftFrames(*doc, {1}, 60000, 60000, "shift frames"));
    EXPECT_FALSE(movingSprite(*doc, {0, 1}, 30000, 30000, "moving sprite"));  // the second frame moves once
    EXPECT_EQ(describe(*doc), before);
    EXPECT_TRUE(doc->undo.empty());
    EXPECT_TRUE(movedScreenFits(*doc, {0, 1}, 60000, 0, true));
    EXPECT_TRUE(shiftFrames(*doc, {1}, 60000, 0, "shift frames"));
}

TEST(MovingSprite, StepsGrowByOneDeltaPerImageFrameAndRestore) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solidFrame(0, 0, 4, 4, 1, palette8));
    frames.push_back(std::make_unique<TTextFrame>(nullptr, "comment"));
    frames.push_back(solidFrame(0, 0, 4, 4, 2, palette8));
    frames.push_back(solidFrame(0, 0, 4, 4, 3, palette8));
    auto doc = documentOf(std::move(frames));
    ASSERT_TRUE(movingSprite(*doc, {0, 1, 2, 3}, 5, 0, "moving sprite"));
    EXPECT_EQ(doc->frameList.frameAt(0)->rect.left, 0);
    EXPECT_EQ(doc->frameList.frameAt(2)->rect.left, 5);
    EXPECT_EQ(doc->frameList.frameAt(3)->rect.left, 10);
    for (int i : {0, 2, 3}) EXPECT_TRUE(doc->frameList.frameAt(i)->restoreToBackground);
    EXPECT_FALSE(doc->frameList.frameAt(1)->restoreToBackground);
    EXPECT_EQ(doc->undo.newest()->label, "moving sprite");
    EXPECT_EQ(doc->screenWidth, 14);
}

TEST(Crop, WithAlignAllFramesAreCutAndMovedToTheOrigin) {
    auto doc = documentOf(framesOf(gradient(0, 0, 150, 100), gradient(20, 30, 60, 60), gradient(100, 60, 40, 30)));
    const TDib256 first = *doc->frameList.frameAt(0)->image;
    ASSERT_TRUE(cropFrames(*doc, {0, 1, 2}, {10, 20, 110, 70}, true, "crop frames"));
    EXPECT_EQ(doc->frameList.frameAt(0)->rect, (TRect{0, 0, 100, 50}));
    EXPECT_EQ(doc->frameList.frameAt(1)->rect, (TRect{10, 10, 70, 50}));
    EXPECT_EQ(doc->frameList.frameAt(2)->rect, (TRect{90, 40, 100, 50}));
    EXPECT_EQ(doc->screenWidth, 100);
    EXPECT_EQ(doc->screenHeight, 50);
    const TDib256& cut = *doc->frameList.frameAt(0)->image;
    EXPECT_EQ(cut.pixel(0, 0), first.pixel(10, 20));
    EXPECT_EQ(cut.pixel(99, 49), first.pixel(109, 69));
    EXPECT_EQ(cut.colors(), first.colors());
    EXPECT_EQ(doc->undo.newest()->label, "crop frames");
    EXPECT_TRUE(doc->undo.newest()->deepCopy);
}

TEST(Crop, AFrameOutsideTheRectangleBecomesEmptyAndStaysAtTheOrigin) {
    auto doc = documentOf(framesOf(gradient(0, 0, 50, 50), gradient(40, 40, 10, 10)));
    ASSERT_TRUE(cropFrames(*doc, {0, 1}, {5, 5, 20, 20}, true, "crop frames"));
    const TFrame& gone = *doc->frameList.frameAt(1);
    EXPECT_EQ(gone.rect, (TRect{}));
    EXPECT_EQ(gone.image->width(), 0);
    EXPECT_EQ(gone.image->height(), 0);
    EXPECT_EQ(doc->frameList.frameAt(0)->rect, (TRect{0, 0, 15, 15}));
}

TEST(Crop, ARectangleWithoutWidthOrHeightEmptiesTheFrame) {
    for (const TRect r : {TRect{5, 2, 5, 9}, TRect{1, 4, 8, 4}}) {
        auto f = gradient(0, 0, 10, 10);
        cropFrameTo(*f, r);
        EXPECT_EQ(f->rect, (TRect{}));
        EXPECT_EQ(f->image->width(), 0);
        EXPECT_EQ(f->image->height(), 0);
    }
}

TEST(Crop, AlignIsIgnoredUnlessEveryImageFrameIsSelected) {
    auto doc = documentOf(framesOf(gradient(0, 0, 50, 50), gradient(0, 0, 50, 50)));
    ASSERT_TRUE(cropFrames(*doc, {1}, {10, 10, 30, 30}, true, "crop frames"));
    EXPECT_EQ(doc->frameList.frameAt(1)->rect, (TRect{10, 10, 30, 30}));
    EXPECT_EQ(doc->frameList.frameAt(0)->rect, (TRect{0, 0, 50, 50}));
}

TEST(Delete, OneRecordRemovesHighestFirstAndUndoRestoresThePositions) {
    std::vector<std::unique_ptr<TFrame>> frames;
    for (int i = 0; i < 9; ++i) frames.push_back(solidFrame(0, 0, 3, 3, i % 8, palette8, "f" + std::to_string(i)));
    auto doc = documentOf(std::move(frames));
    const std::string before = describe(*doc);
    ASSERT_TRUE(deleteFrames(*doc, {7, 2, 5}, "delete frames"));
    ASSERT_EQ(doc->frameList.count(), 6);
    std::vector<std::string> names;
    for (int i = 0; i < 6; ++i) names.push_back(doc->frameList.frameAt(i)->name);
    EXPECT_EQ(names, (std::vector<std::string>{"f0", "f1", "f3", "f4", "f6", "f8"}));
    ASSERT_EQ(doc->undo.size(), 1u);
    EXPECT_EQ(doc->undo.newest()->indices, (std::vector<int32_t>{2, 5, 7}));
    EXPECT_EQ(doc->undo.newest()->label, "delete frames");
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);
}

TEST(Delete, EveryFrameLeavesAnEmptyDocument) {
    auto doc = documentOf(framesOf(gradient(0, 0, 4, 4), gradient(0, 0, 4, 4)));
    ASSERT_TRUE(deleteFrames(*doc, {0, 1}, "delete frames"));
    EXPECT_TRUE(doc->frameList.empty());
    EXPECT_EQ(doc->currentFrame, nullptr);
    EXPECT_EQ(doc->firstFrame, nullptr);
}

TEST(Resize, KeepsEvenlySpreadPixels) {
    auto source = gradient(0, 0, 9, 6);
    auto half = resampleImage(*source->image, 3, 2);
    // Columns 1, 4, 7 and rows 1, 4: the middle of each 3 x 3 block.
    EXPECT_EQ(test::pixelsOf(*half), (std::vector<uint8_t>{3, 6, 1, 1, 4, 7}));
    auto same = resampleImage(*source->image, 9, 6);
    EXPECT_EQ(pixelsOf(*same), pixelsOf(*source->image));
}

TEST(Resize, ScalesTheSelectionRectangleAndNeverEnlarges) {
    auto doc = documentOf(framesOf(gradient(0, 0, 40, 20), gradient(20, 10, 20, 10), gradient(0, 0, 40, 20)));
    ASSERT_TRUE(resizeFrames(*doc, {0, 1}, 20, 10, "resize frames"));
    EXPECT_EQ(doc->frameList.frameAt(0)->rect, (TRect{0, 0, 20, 10}));
    EXPECT_EQ(doc->frameList.frameAt(0)->image->width(), 20);
    EXPECT_EQ(doc->frameList.frameAt(1)->rect, (TRect{10, 5, 20, 10}));
    EXPECT_EQ(doc->frameList.frameAt(1)->image->height(), 5);
    EXPECT_EQ(doc->frameList.frameAt(2)->rect, (TRect{0, 0, 40, 20}));
    EXPECT_EQ(doc->undo.newest()->label, "resize frames");

    ASSERT_TRUE(resizeFrames(*doc, {2}, 400, 15, "resize frames"));
    EXPECT_EQ(doc->frameList.frameAt(2)->rect, (TRect{0, 0, 40, 15}));
    EXPECT_FALSE(resizeFrames(*doc, {2}, 0, 15, "resize frames"));
}

}  // namespace
}  // namespace movigram
