// Restore method, frame rate and loop count.
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

TEST(RestoreMethod, WorkingValuesApplyToImageFramesOnly) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solidFrame(0, 0, 4, 4, 1, palette8));
    frames.push_back(std::make_unique<TTextFrame>(nullptr, "note"));
    frames.push_back(solidFrame(0, 0, 4, 4, 2, palette8));
    frames.back()->transparentIndex = 2;
    frames.back()->restoreToBackground = true;
    auto doc = documentOf(std::move(frames));
    EXPECT_EQ(restoreWorkingValues(*doc), (std::vector<int32_t>{0, -1, 1}));

    ASSERT_TRUE(setRestoreMethod(*doc, {0, 1}, true, "restore method"));
    EXPECT_TRUE(doc->frameList.frameAt(0)->restoreToBackground);
    EXPECT_FALSE(doc->frameList.frameAt(1)->restoreToBackground);
    EXPECT_TRUE(doc->frameList.frameAt(2)->restoreToBackground);
    EXPECT_EQ(doc->undo.newest()->indices, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(doc->undo.newest()->label, "restore method");

    ASSERT_TRUE(setRestoreMethod(*doc, {2}, false, "restore method"));
    EXPECT_FALSE(doc->frameList.frameAt(2)->restoreToBackground);
    EXPECT_TRUE(doc->frameList.frameAt(2)->overlay);
    EXPECT_FALSE(doc->frameList.frameAt(0)->overlay);  // not transparent
    EXPECT_FALSE(applyRestoreMethods(*doc, {1}, "restore method"));
}

TEST(FrameRate, RepeatsOfTheSelectionAndOneTimeForAll) {
    auto doc = namedFrames(3);
    ASSERT_TRUE(setFrameRate(*doc, 50, "frame rate", {1}, 4));
    EXPECT_EQ(doc->frameTime, 50);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(doc->frameList.frameAt(i)->frameTime, 50);
    EXPECT_EQ(doc->frameList.frameAt(1)->repeat, 4);
    EXPECT_EQ(doc->frameList.frameAt(0)->repeat, 1);
    EXPECT_EQ(doc->undo.newest()->kind, UndoKind::TimingChanged);
    EXPECT_EQ(doc->undo.newest()->label, "frame rate");
    EXPECT_FALSE(setFrameRate(*doc, 0, "frame rate"));
    EXPECT_FALSE(setFrameRate(*doc, 100, "frame rate", {0}, -1));
}

TEST(FrameRate, UndoGivesBackEveryFramesDisplayTime) {
    auto doc = namedFrames(3);
    const std::string before = describe(*doc);
    const int32_t unit = doc->frameTime;
    ASSERT_TRUE(setFrameRate(*doc, 40, "frame rate", {0, 2}, 3));
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
