// Duplicate, reverse order, moving frames in the list and solid-colour frames.
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
    ASSERT_TRUE(duplicateFrames(*doc, {3, 2}, 3, "duplicate frames"));
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
    EXPECT_FALSE(duplicateFrames(*doc, {0, 1}, 1, "duplicate frames"));
    EXPECT_FALSE(duplicateFrames(*doc, {}, 4, "duplicate frames"));
    EXPECT_EQ(doc->frameList.count(), 3);
    EXPECT_TRUE(doc->undo.empty());
}

TEST(Duplicate, CountsPastTheDecodingLimitsAreRefusedUpFront) {
    auto doc = namedFrames(3);
    // Two billion copies would fill memory long before they were made.
    EXPECT_FALSE(duplicateFrames(*doc, {0, 1}, 2147483647, "duplicate frames"));
    const DecodeLimits limits = DecodeLimits::defaults();
    EXPECT_FALSE(duplicateFrames(*doc, {0}, int32_t(limits.maxFrames), "duplicate frames"));
    EXPECT_EQ(doc->frameList.count(), 3);
    EXPECT_TRUE(doc->undo.empty());
}

TEST(Duplicate, ACommentFrameStaysAComment) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(std::make_unique<TTextFrame>(nullptr, "note"));
    frames.push_back(solidFrame(0, 0, 2, 2, 1, palette8));
    auto doc = documentOf(std::move(frames));
    ASSERT_TRUE(duplicateFrames(*doc, {0}, 2, "duplicate frames"));
    ASSERT_EQ(doc->frameList.count(), 3);
    auto* copy = dynamic_cast<TTextFrame*>(doc->frameList.frameAt(0));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getText(), "note");
}

TEST(Reverse, SelectedPositionsKeepTheirPlaces) {
    auto doc = namedFrames(8);
    ASSERT_TRUE(reverseOrder(*doc, {6, 1, 4}, "Reverse order"));
    EXPECT_EQ(namesOf(*doc), (std::vector<std::string>{"f0", "f6", "f2", "f3", "f4", "f5", "f1", "f7"}));
    EXPECT_EQ(doc->frameList.selectedIndex(), 1);
    EXPECT_EQ(doc->undo.newest()->kind, UndoKind::OrderReversed);
    EXPECT_EQ(doc->undo.newest()->label, "Reverse order");
    undo(*doc);
    EXPECT_EQ(namesOf(*doc), (std::vector<std::string>{"f0", "f1", "f2", "f3", "f4", "f5", "f6", "f7"}));
}

TEST(Reverse, OneFrameChangesAndRecordsNothing) {
    auto doc = namedFrames(3);
    EXPECT_FALSE(reverseOrder(*doc, {1}, "Reverse order"));
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

TEST(SolidColor, FullScreenFrameBeforeTheCurrentOneBecomesCurrent) {
    auto doc = documentOf([] {
        std::vector<std::unique_ptr<TFrame>> v;
        v.push_back(solidFrame(0, 0, 30, 20, 1, palette8));
        v.push_back(solidFrame(5, 5, 10, 10, 2, palette8));
        return v;
    }());
    doc->frameList.select(1);
    rethread(*doc, 0);
    ASSERT_TRUE(insertSolidColor(*doc, 6, "insert solid frame"));
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
    EXPECT_FALSE(insertSolidColor(*doc, 256, "insert solid frame"));
}

}  // namespace
}  // namespace movigram
