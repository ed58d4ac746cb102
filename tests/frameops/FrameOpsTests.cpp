// Duplicate, flip and rotate, reverse order, gray scale, restore method,
// solid-colour frames, frame rate and loop count.
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

using test::describe;
using test::documentOf;
using test::pixelsOf;
using test::placedFrame;
using test::solidFrame;
using test::testPalette;

const TMyPalette palette8 = testPalette(8);

std::unique_ptr<Document> namedFrames(int count) {
    std::vector<std::unique_ptr<TFrame>> frames;
    for (int i = 0; i < count; ++i) frames.push_back(solidFrame(0, 0, 4, 3, i % 8, palette8, "f" + std::to_string(i)));
    return documentOf(std::move(frames));
}

std::vector<std::string> namesOf(const Document& doc) {
    std::vector<std::string> names;
    for (int i = 0; i < doc.frameList.count(); ++i) {
        names.push_back(doc.frameList.frameAt(i)->name);
        EXPECT_EQ(doc.frameList.textAt(i), names.back());
    }
    return names;
}

TEST(Duplicate, CopiesGoBeforeTheCurrentFrameInSelectionOrder) {
    auto doc = namedFrames(5);
    doc->frameList.select(3);
    rethread(*doc, 0);
    ASSERT_TRUE(duplicateFrames(*doc, {3, 2}, 3));
    EXPECT_EQ(namesOf(*doc), (std::vector<std::string>{"f0", "f1", "f2", "f2", "f3", "f2", "f3", "f3", "f4"}));
    EXPECT_EQ(doc->frameList.selectedIndex(), 7);  // the former current frame
    EXPECT_NE(doc->frameList.frameAt(3)->image.get(), doc->frameList.frameAt(2)->image.get());
    EXPECT_EQ(doc->undo.newest()->label, "duplicate frames");
    EXPECT_EQ(doc->undo.newest()->first, 3);
    EXPECT_EQ(doc->undo.newest()->last, 6);
    EXPECT_TRUE(doc->modified);
}

TEST(Duplicate, CountOneOrNoSelectionDoesNothing) {
    auto doc = namedFrames(3);
    EXPECT_FALSE(duplicateFrames(*doc, {0, 1}, 1));
    EXPECT_FALSE(duplicateFrames(*doc, {}, 4));
    EXPECT_EQ(doc->frameList.count(), 3);
    EXPECT_TRUE(doc->undo.empty());
}

TEST(Duplicate, CountsPastTheDecodingLimitsAreRefusedUpFront) {
    auto doc = namedFrames(3);
    // Two billion copies would fill memory long before they were made.
    EXPECT_FALSE(duplicateFrames(*doc, {0, 1}, 2147483647));
    const DecodeLimits limits = DecodeLimits::defaults();
    EXPECT_FALSE(duplicateFrames(*doc, {0}, int32_t(limits.maxFrames)));
    EXPECT_EQ(doc->frameList.count(), 3);
    EXPECT_TRUE(doc->undo.empty());
}

TEST(Duplicate, ACommentFrameStaysAComment) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(std::make_unique<TTextFrame>(nullptr, "note"));
    frames.push_back(solidFrame(0, 0, 2, 2, 1, palette8));
    auto doc = documentOf(std::move(frames));
    ASSERT_TRUE(duplicateFrames(*doc, {0}, 2));
    ASSERT_EQ(doc->frameList.count(), 3);
    auto* copy = dynamic_cast<TTextFrame*>(doc->frameList.frameAt(0));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getText(), "note");
}

TEST(FlipRotate, AnglesFollowTheRotationSense) {
    EXPECT_EQ(rotationAngle(FlipRotateOperation::Rotate90, false), 90);
    EXPECT_EQ(rotationAngle(FlipRotateOperation::Rotate180, false), 180);
    EXPECT_EQ(rotationAngle(FlipRotateOperation::Rotate270, false), 270);
    EXPECT_EQ(rotationAngle(FlipRotateOperation::Rotate90, true), 270);
    EXPECT_EQ(rotationAngle(FlipRotateOperation::Rotate180, true), 180);
    EXPECT_EQ(rotationAngle(FlipRotateOperation::Rotate270, true), 90);
    EXPECT_EQ(rotationAngle(FlipRotateOperation::Flip, true), 0);
    EXPECT_STREQ(flipRotateOperationName(FlipRotateOperation::Flip), "Flip (vertical mirror)");
}

TEST(FlipRotate, RotateRightTransposesTheRectAndRecordsTheInverse) {
    auto doc = documentOf([] {
        std::vector<std::unique_ptr<TFrame>> v;
        v.push_back(placedFrame(5, 10, 40, 30, [](int x, int y) { return (x + y) % 8; }, palette8));
        return v;
    }());
    const TDib256 old = *doc->frameList.frameAt(0)->image;
    const std::string before = describe(*doc);
    ASSERT_TRUE(flipRotateFrames(*doc, {0}, FlipRotateOperation::Rotate90, false));
    const TFrame& f = *doc->frameList.frameAt(0);
    EXPECT_EQ(f.rect, (TRect{10, 5, 40, 45}));
    ASSERT_EQ(f.image->width(), 30);
    ASSERT_EQ(f.image->height(), 40);
    // Clockwise: the old bottom-left corner is now the top-left one.
    EXPECT_EQ(f.image->pixel(0, 0), old.pixel(0, 29));
    EXPECT_EQ(f.image->pixel(29, 0), old.pixel(0, 0));
    EXPECT_EQ(doc->screenWidth, 40);
    EXPECT_EQ(doc->screenHeight, 45);
    EXPECT_EQ(doc->undo.newest()->kind, UndoKind::Rotated270);
    EXPECT_EQ(doc->undo.newest()->label, "rotate frames");
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);
}

TEST(FlipRotate, EmptySelectionStillRecords) {
    auto doc = namedFrames(2);
    ASSERT_TRUE(flipRotateFrames(*doc, {}, FlipRotateOperation::Mirror, false));
    ASSERT_EQ(doc->undo.size(), 1u);
    EXPECT_EQ(doc->undo.newest()->kind, UndoKind::Mirrored);
    EXPECT_TRUE(doc->undo.newest()->indices.empty());
    EXPECT_FALSE(flipRotateFrames(*doc, {0}, FlipRotateOperation(7), false));
}

TEST(Reverse, SelectedPositionsKeepTheirPlaces) {
    auto doc = namedFrames(8);
    ASSERT_TRUE(reverseOrder(*doc, {6, 1, 4}));
    EXPECT_EQ(namesOf(*doc), (std::vector<std::string>{"f0", "f6", "f2", "f3", "f4", "f5", "f1", "f7"}));
    EXPECT_EQ(doc->frameList.selectedIndex(), 1);
    EXPECT_EQ(doc->undo.newest()->kind, UndoKind::OrderReversed);
    EXPECT_EQ(doc->undo.newest()->label, "Reverse order");
    undo(*doc);
    EXPECT_EQ(namesOf(*doc), (std::vector<std::string>{"f0", "f1", "f2", "f3", "f4", "f5", "f6", "f7"}));
}

TEST(Reverse, OneFrameChangesAndRecordsNothing) {
    auto doc = namedFrames(3);
    EXPECT_FALSE(reverseOrder(*doc, {1}));
    EXPECT_TRUE(doc->undo.empty());
}

// Dragging lines of the frame list: both directions, a block, and Undo
// putting every frame back in its place with the same frame current.
TEST(MoveFrames, BlocksMoveBothWaysAndUndoPutsThemBack) {
    struct Case {
        int first, count, destination;
        std::vector<std::string> after;
        int selected;
    };
    const std::vector<Case> cases = {
        {1, 1, 4, {"f0", "f2", "f3", "f1", "f4"}, 3},
        {3, 1, 0, {"f3", "f0", "f1", "f2", "f4"}, 0},
        {0, 2, 5, {"f2", "f3", "f4", "f0", "f1"}, 3},
        {3, 2, 1, {"f0", "f3", "f4", "f1", "f2"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first * 100 + c.destination);
        auto doc = namedFrames(5);
        doc->frameList.select(2);
        doc->relink();
        const std::string before = describe(*doc);
        ASSERT_TRUE(moveFrames(*doc, c.first, c.count, c.destination));
        EXPECT_EQ(namesOf(*doc), c.after);
        EXPECT_EQ(doc->frameList.selectedIndex(), c.selected);
        EXPECT_EQ(doc->currentFrame, doc->frameList.frameAt(c.selected));
        EXPECT_EQ(doc->firstFrame->name, c.after.front());
        EXPECT_TRUE(doc->modified);
        EXPECT_EQ(doc->undo.newest()->label, "move frames");
        undo(*doc);
        EXPECT_EQ(describe(*doc), before);
        EXPECT_EQ(doc->currentFrame->name, doc->frameList.frameAt(c.first)->name);
    }
}

TEST(MoveFrames, MovesThatChangeNothingRecordNothing) {
    auto doc = namedFrames(4);
    for (auto [first, count, destination] : {std::tuple{1, 1, 1}, {1, 1, 2}, {0, 2, 2}, {3, 2, 0}, {-1, 1, 2}, {0, 0, 3}, {0, 1, 5}})
        EXPECT_FALSE(moveFrames(*doc, first, count, destination)) << first << " " << count << " " << destination;
    EXPECT_TRUE(doc->undo.empty());
    EXPECT_FALSE(doc->modified);
}

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
    ASSERT_TRUE(grayScale(*doc, {0}));
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
    recordGrayScale(*doc);
    cancelGrayScale(*doc);
    EXPECT_TRUE(doc->undo.empty());
    reverseOrder(*doc, {0, 1});
    doc->undo.setEnabled(false);
    recordGrayScale(*doc);
    cancelGrayScale(*doc);
    doc->undo.setEnabled(true);
    EXPECT_TRUE(doc->undo.empty());
}

TEST(RestoreMethod, WorkingValuesApplyToImageFramesOnly) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solidFrame(0, 0, 4, 4, 1, palette8));
    frames.push_back(std::make_unique<TTextFrame>(nullptr, "note"));
    frames.push_back(solidFrame(0, 0, 4, 4, 2, palette8));
    frames.back()->transparentIndex = 2;
    frames.back()->restoreToBackground = true;
    auto doc = documentOf(std::move(frames));
    EXPECT_EQ(restoreWorkingValues(*doc), (std::vector<int32_t>{0, -1, 1}));

    ASSERT_TRUE(setRestoreMethod(*doc, {0, 1}, true));
    EXPECT_TRUE(doc->frameList.frameAt(0)->restoreToBackground);
    EXPECT_FALSE(doc->frameList.frameAt(1)->restoreToBackground);
    EXPECT_TRUE(doc->frameList.frameAt(2)->restoreToBackground);
    EXPECT_EQ(doc->undo.newest()->indices, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(doc->undo.newest()->label, "restore method");

    ASSERT_TRUE(setRestoreMethod(*doc, {2}, false));
    EXPECT_FALSE(doc->frameList.frameAt(2)->restoreToBackground);
    EXPECT_TRUE(doc->frameList.frameAt(2)->overlay);
    EXPECT_FALSE(doc->frameList.frameAt(0)->overlay);  // not transparent
    EXPECT_FALSE(applyRestoreMethods(*doc, {1}));
}

TEST(SolidColor, FullScreenFrameBeforeTheCurrentOneBecomesCurrent) {
    auto doc = documentOf([] {
        std::vector<std::unique_ptr<TFrame>> v;
        v.push_back(solidFrame(0, 0, 30, 20, 1, palette8));
        v.push_back(solidFrame(5, 5, 10, 10, 2, palette8));
        return v;
    }());
    doc->frameList.select(1);
    rethread(*doc, 0);
    ASSERT_TRUE(insertSolidColor(*doc, 6));
    ASSERT_EQ(doc->frameList.count(), 3);
    const TFrame& s = *doc->frameList.frameAt(1);
    EXPECT_EQ(s.name, "Solid color");
    EXPECT_EQ(s.rect, (TRect{0, 0, 30, 20}));
    EXPECT_EQ(s.backgroundIndex, 6);
    EXPECT_EQ(s.transparentIndex, -1);
    EXPECT_EQ(s.frameTime * s.repeat, 1000);
    EXPECT_EQ(s.localPalette, nullptr);
    EXPECT_EQ(pixelsOf(*s.image), std::vector<uint8_t>(600, 6));
    EXPECT_EQ(s.image->colors(), palette8.toColorTable());
    EXPECT_EQ(doc->currentFrame, &s);
    EXPECT_EQ(doc->undo.newest()->label, "insert solid frame");
    EXPECT_FALSE(insertSolidColor(*doc, 256));
}

TEST(FrameRate, RepeatsOfTheSelectionAndOneTimeForAll) {
    auto doc = namedFrames(3);
    ASSERT_TRUE(setFrameRate(*doc, 50, {1}, 4));
    EXPECT_EQ(doc->frameTime, 50);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(doc->frameList.frameAt(i)->frameTime, 50);
    EXPECT_EQ(doc->frameList.frameAt(1)->repeat, 4);
    EXPECT_EQ(doc->frameList.frameAt(0)->repeat, 1);
    EXPECT_EQ(doc->undo.newest()->kind, UndoKind::TimingChanged);
    EXPECT_EQ(doc->undo.newest()->label, "frame rate");
    EXPECT_FALSE(setFrameRate(*doc, 0));
    EXPECT_FALSE(setFrameRate(*doc, 100, {0}, -1));
}

TEST(FrameRate, UndoGivesBackEveryFramesDisplayTime) {
    auto doc = namedFrames(3);
    const std::string before = describe(*doc);
    const int32_t unit = doc->frameTime;
    ASSERT_TRUE(setFrameRate(*doc, 40, {0, 2}, 3));
    undo(*doc);
    EXPECT_EQ(doc->frameTime, unit);
    EXPECT_EQ(describe(*doc), before);
}

TEST(LoopCount, CountsOtherThanOneSwitchLoopingOn) {
    struct Case {
        int count;
        bool loopAfter;
    };
    for (const Case c : {Case{0, true}, Case{5, true}, Case{1, false}}) {
        auto doc = namedFrames(2);
        doc->loopOption = false;
        rethread(*doc, 0);
        ASSERT_TRUE(setLoopCount(*doc, c.count));
        EXPECT_EQ(doc->loopCount, c.count);
        EXPECT_EQ(doc->loopOption, c.loopAfter) << c.count;
        EXPECT_EQ(doc->frameList.frameAt(1)->next != nullptr, c.loopAfter);
        EXPECT_TRUE(doc->modified);
        EXPECT_TRUE(doc->undo.empty());
    }
    auto doc = namedFrames(1);
    EXPECT_FALSE(setLoopCount(*doc, 70000));
}

}  // namespace
}  // namespace movigram
