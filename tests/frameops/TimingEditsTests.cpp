// Speed, Cap pauses and Remove duplicate frames: times, the frames dropped
// and merged, and the pictures the animation still shows.
#include <gtest/gtest.h>

#include <numeric>

#include "OpsTestSupport.h"
#include "document/Undo.h"
#include "frameops/TimingEdits.h"

namespace movigram::test {
namespace {

// A dot moving right over a screen of colour 0: frame 0 the whole 8 x 4
// screen, then one 1 x 1 frame per step, each shown `ms`.
std::unique_ptr<Document> movingDot(int steps, int32_t ms) {
    const TMyPalette palette = testPalette(8);
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solidFrame(0, 0, 8, 4, 0, palette, "screen"));
    for (int i = 1; i <= steps; ++i) frames.push_back(solidFrame(i, 1, 1, 1, 1 + i % 7, palette));
    auto doc = documentOf(std::move(frames));
    for (int i = 0; i < doc->frameList.count(); ++i) doc->setFrameTiming(i, ms, 1);
    return doc;
}

std::vector<int32_t> delays(const Document& doc) {
    std::vector<int32_t> d;
    for (int i = 0; i < doc.frameList.count(); ++i) d.push_back(doc.frameList.frameAt(i)->displayTime());
    return d;
}

int32_t total(const Document& doc) {
    const std::vector<int32_t> d = delays(doc);
    return std::accumulate(d.begin(), d.end(), 0);
}

TEST(TimingEdits, SpeedDropsFramesThatWouldBeTooShortAndKeepsWhatTheyDrew) {
    auto doc = movingDot(5, 30);
    const std::string before = describe(*doc);
    const std::vector<uint8_t> lastPicture = pictureAt(*doc, 5), thirdPicture = pictureAt(*doc, 2);
    ASSERT_TRUE(changeSpeed(*doc, selectAll(doc->frameList), 2.0, "speed"));
    // 15 ms each would be too short: every kept frame has at least 20 ms,
    // the total is halved, and the pictures kept are the ones they were.
    EXPECT_EQ(total(*doc), 90);
    for (int32_t d : delays(*doc)) EXPECT_GE(d, shortestDelay);
    ASSERT_EQ(doc->frameList.count(), 3);
    EXPECT_EQ(pictureAt(*doc, 1), thirdPicture);
    EXPECT_EQ(pictureAt(*doc, 2), lastPicture);
    EXPECT_EQ(doc->undo.size(), 1u);
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);

    // Slower, and on part of the animation only: the others keep their times.
    ASSERT_TRUE(changeSpeed(*doc, {1, 2}, 0.5, "speed"));
    EXPECT_EQ(delays(*doc), (std::vector<int32_t>{30, 60, 60, 30, 30, 30}));
    EXPECT_FALSE(changeSpeed(*doc, {1}, 5.0, "speed"));
    EXPECT_FALSE(changeSpeed(*doc, {}, 2.0, "speed"));
}

TEST(TimingEdits, SpeedKeepsFramesItCannotMergeExactly) {
    // The dot frames restore to the background: merging two would clear
    // both rectangles where the original clears only the last.
    auto doc = movingDot(4, 30);
    for (int i = 1; i < doc->frameList.count(); ++i) doc->frameList.frameAt(i)->restoreToBackground = true;
    const std::vector<uint8_t> last = pictureAt(*doc, 4);
    ASSERT_TRUE(changeSpeed(*doc, selectAll(doc->frameList), 4.0, "speed"));
    EXPECT_EQ(doc->frameList.count(), 5);
    EXPECT_EQ(pictureAt(*doc, 4), last);
    for (int32_t d : delays(*doc)) EXPECT_GE(d, shortestDelay);
    auto local = movingDot(4, 30);
    local->frameList.frameAt(2)->localPalette = std::make_unique<TMyPalette>(testPalette(8));
    ASSERT_TRUE(changeSpeed(*local, selectAll(local->frameList), 4.0, "speed"));
    EXPECT_EQ(local->frameList.count(), 5);
    for (int32_t d : delays(*local)) EXPECT_GE(d, shortestDelay);
}

TEST(TimingEdits, CapPausesShortensOnlyTheLongerFrames) {
    auto doc = movingDot(2, 50);
    doc->setFrameTiming(1, 3000, 1);
    EXPECT_FALSE(capPauses(*doc, 5000, "cap pauses"));
    EXPECT_EQ(doc->undo.size(), 0u);
    ASSERT_TRUE(capPauses(*doc, 1000, "cap pauses"));
    EXPECT_EQ(delays(*doc), (std::vector<int32_t>{50, 1000, 50}));
    undo(*doc);
    EXPECT_EQ(delays(*doc), (std::vector<int32_t>{50, 3000, 50}));
}

TEST(TimingEdits, SetDelaysGivesTheSelectionOneTimeInOneStep) {
    auto doc = movingDot(3, 50);
    doc->setFrameTiming(2, 30, 4);
    EXPECT_FALSE(setDelays(*doc, {1, 2}, 0, "set delay"));
    EXPECT_FALSE(setDelays(*doc, {0}, 50, "set delay"));  // nothing changes
    EXPECT_EQ(doc->undo.size(), 0u);
    ASSERT_TRUE(setDelays(*doc, {1, 2}, 200, "set delay"));
    EXPECT_EQ(delays(*doc), (std::vector<int32_t>{50, 200, 200, 50}));
    EXPECT_EQ(doc->frameList.frameAt(2)->repeat, 1);
    undo(*doc);
    EXPECT_EQ(delays(*doc), (std::vector<int32_t>{50, 50, 120, 50}));
}

TEST(TimingEdits, DuplicatesAreFramesThatShowNothingNew) {
    const TMyPalette palette = testPalette(8);
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solidFrame(0, 0, 4, 4, 2, palette));
    frames.push_back(solidFrame(0, 0, 4, 4, 2, palette));  // the same picture again
    frames.push_back(solidFrame(1, 1, 1, 1, 2, palette));  // draws what is there already
    frames.push_back(solidFrame(1, 1, 1, 1, 3, palette));  // a change
    frames.push_back(solidFrame(1, 1, 1, 1, 3, palette));  // the same, on a palette of its own
    frames.back()->localPalette = std::make_unique<TMyPalette>(testPalette(8));
    auto doc = documentOf(std::move(frames));
    for (int i = 0; i < 5; ++i) doc->setFrameTiming(i, 100 + i, 1);
    const std::vector<uint8_t> last = pictureAt(*doc, 4);

    EXPECT_EQ(removeDuplicateFrames(*doc, "remove duplicate frames"), 2);
    EXPECT_EQ(delays(*doc), (std::vector<int32_t>{100 + 101 + 102, 103, 104}));
    EXPECT_EQ(pictureAt(*doc, 2), last);
    EXPECT_EQ(removeDuplicateFrames(*doc, "remove duplicate frames"), 0);
    EXPECT_EQ(doc->undo.size(), 1u);
}

}  // namespace
}  // namespace movigram::test
