// rethread and its steps: dirty rectangles, split, merging, the chain.
#include <gtest/gtest.h>

#include "save/Optimiser.h"
#include "save/WorkScreen.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using test::makeFrame;

auto solid(int w, int h, int v) { return makeFrame(w, h, [v](int, int) { return v; }); }

Document documentOf(std::vector<std::unique_ptr<TFrame>> frames) {
    Document doc;
    doc.globalPalette = std::make_unique<TMyPalette>(test::testPalette(16));
    for (auto& f : frames) {
        std::string name = f->name;
        doc.frameList.append(std::move(name), std::move(f));
    }
    rethread(doc, 0);
    return doc;
}

TEST(Rethread, IdenticalFramesMergeWithRepeatsAdded) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solid(8, 8, 3));
    frames.push_back(solid(8, 8, 3));
    frames[0]->frameTime = frames[1]->frameTime = 50;
    frames[0]->repeat = 2;
    frames[1]->repeat = 3;
    Document doc = documentOf(std::move(frames));
    rethread(doc, 1);
    EXPECT_TRUE(doc.frameList.frameAt(1)->unchanged);
    EXPECT_TRUE(doc.frameList.frameAt(1)->dirtyRect.isEmpty());
    rethread(doc, 2);
    ASSERT_EQ(doc.frameList.count(), 1);
    EXPECT_EQ(doc.frameList.frameAt(0)->repeat, 5);
    EXPECT_EQ(doc.frameList.frameAt(0)->frameTime, 50);
}

TEST(Rethread, MergingDifferentUnitsAndTheLimit) {
    std::vector<std::unique_ptr<TFrame>> frames;
    for (int i = 0; i < 2; ++i) frames.push_back(solid(4, 4, 1));
    frames[0]->frameTime = 30;
    frames[1]->frameTime = 70;
    Document doc = documentOf(std::move(frames));
    rethread(doc, 2);
    ASSERT_EQ(doc.frameList.count(), 1);
    EXPECT_EQ(doc.frameList.frameAt(0)->frameTime, 100);
    EXPECT_EQ(doc.frameList.frameAt(0)->repeat, 1);

    std::vector<std::unique_ptr<TFrame>> longOnes;
    for (int i = 0; i < 2; ++i) {
        longOnes.push_back(solid(4, 4, 1));
        longOnes.back()->frameTime = 400000;
    }
    Document stays = documentOf(std::move(longOnes));
    rethread(stays, 2);
    EXPECT_EQ(stays.frameList.count(), 2);
    // The frame that stays keeps its time with one pixel that changes nothing.
    EXPECT_EQ(stays.frameList.frameAt(1)->dirtyRect, (TRect{0, 0, 1, 1}));
}

TEST(Rethread, NoMergeAfterARestoredFrame) {
    // The second frame is erased after it shows, so the third (which draws
    // nothing new) shows a different screen and must keep its own time.
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solid(8, 8, 1));
    frames.push_back(solid(2, 2, 2));
    frames.push_back(makeFrame(8, 8, [](int x, int y) { return x < 2 && y < 2 ? 2 : 1; }));
    frames[1]->restoreToBackground = true;
    frames[2]->transparentIndex = 2;
    Document doc = documentOf(std::move(frames));
    rethread(doc, 2);
    EXPECT_EQ(doc.frameList.count(), 3);
}

TEST(Rethread, OnePixelDifferenceAndEdges) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solid(100, 100, 1));
    frames.push_back(makeFrame(100, 100, [](int x, int y) { return x == 10 && y == 20 ? 2 : 1; }));
    frames.push_back(makeFrame(100, 100, [](int x, int y) { return (x == 10 && y == 20) || (x == 99 && y == 99) ? 2 : 1; }));
    Document doc = documentOf(std::move(frames));
    rethread(doc, 1);
    EXPECT_EQ(doc.frameList.frameAt(1)->dirtyRect, (TRect{10, 20, 12, 22}));
    EXPECT_EQ(doc.frameList.frameAt(2)->dirtyRect, (TRect{99, 99, 100, 100}));
    EXPECT_EQ(doc.frameList.frameAt(0)->dirtyRect, (TRect{0, 0, 100, 100}));
    EXPECT_TRUE(doc.dirtyRectsUpToDate);
}

TEST(Rethread, SplitsAroundAnUnchangedBand) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solid(100, 100, 1));
    frames.push_back(makeFrame(100, 100, [](int x, int y) { return (y < 10 || y >= 90) && x % 7 == 0 ? 2 : 1; }));
    frames[1]->name = "second";
    Document doc = documentOf(std::move(frames));
    doc.splitDirty = true;
    rethread(doc, 2);
    ASSERT_EQ(doc.frameList.count(), 3);
    const TFrame& a = *doc.frameList.frameAt(1);
    const TFrame& b = *doc.frameList.frameAt(2);
    EXPECT_EQ(a.rect, (TRect{0, 0, 100, 10}));
    EXPECT_EQ(b.rect, (TRect{0, 90, 100, 100}));
    EXPECT_EQ(a.displayTime(), 0);
    EXPECT_EQ(b.displayTime(), 1000);
    EXPECT_EQ(doc.frameList.textAt(1), "second");
    EXPECT_EQ(a.next, &b);
    EXPECT_EQ(doc.frameList.frameAt(0)->next, &a);
}

TEST(Rethread, ChainLoopAndSelection) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solid(4, 4, 1));
    Document doc = documentOf(std::move(frames));
    doc.loopOption = true;
    rethread(doc, 0);
    EXPECT_EQ(doc.firstFrame->next, nullptr);
    EXPECT_EQ(doc.currentFrame, doc.firstFrame);
    doc.frameList.append("b", solid(6, 2, 1));
    doc.frameList.select(1);
    rethread(doc, 0);
    EXPECT_EQ(doc.frameList.frameAt(1)->next, doc.firstFrame);
    EXPECT_EQ(doc.currentFrame, doc.frameList.frameAt(1));
    EXPECT_EQ(doc.screenWidth, 6);
    EXPECT_EQ(doc.screenHeight, 4);
}

TEST(Rethread, FrameMovedToTheFrontIsWrittenWhole) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solid(10, 10, 1));
    frames.push_back(makeFrame(10, 10, [](int x, int) { return x == 5 ? 2 : 1; }));
    Document doc = documentOf(std::move(frames));
    rethread(doc, 1);
    EXPECT_NE(doc.frameList.frameAt(1)->dirtyRect, (TRect{0, 0, 10, 10}));
    auto moved = doc.frameList.take(1);
    doc.frameList.insert(0, "moved", std::move(moved));
    rethread(doc, 1);
    EXPECT_EQ(doc.frameList.frameAt(0)->dirtyRect, (TRect{0, 0, 10, 10}));
}

TEST(Rethread, AreasRestoredToTheBackgroundAreRedrawn) {
    // The program fills the erased sprite area with colour 1, the same value
    // the next frame has there; a browser shows the page instead, so the next
    // frame must draw it.
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solid(10, 10, 1));
    frames.push_back(solid(4, 4, 2));
    frames[1]->moveTo({3, 3});
    frames[1]->restoreToBackground = true;
    frames.push_back(solid(10, 10, 1));
    frames[0]->backgroundIndex = frames[1]->backgroundIndex = frames[2]->backgroundIndex = 1;
    Document doc = documentOf(std::move(frames));
    rethread(doc, 1);
    EXPECT_TRUE(doc.frameList.frameAt(2)->dirtyRect.contains({3, 3, 7, 7}));
    // And the restored frame itself is written whole, so all of it is erased.
    EXPECT_EQ(doc.frameList.frameAt(1)->dirtyRect, (TRect{3, 3, 7, 7}));
}

TEST(Rethread, TransparentMaskAddsAColourAndClearsRepeatedPixels) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(makeFrame(8, 8, [](int x, int) { return x; }));
    frames.push_back(makeFrame(8, 8, [](int x, int y) { return y == 4 ? 9 : x; }));
    Document doc = documentOf(std::move(frames));
    doc.transparentMaskOption = true;
    const int colors = doc.globalPalette->colorCount;
    rethread(doc, 1);
    rethread(doc, 2);
    EXPECT_EQ(doc.transparentIndex, colors);
    EXPECT_EQ(doc.globalPalette->colorCount, colors + 1);
    EXPECT_EQ(doc.globalPalette->entry(colors), (PaletteEntry{255, 255, 255, 0}));
    const TFrame& f = *doc.frameList.frameAt(1);
    EXPECT_EQ(f.transparentIndex, colors);
    EXPECT_EQ(f.image->pixel(3, 4), 9);
}

TEST(Rethread, MaskLeavesFramesThatShowTheTransparentValue) {
    // The document's transparent index 5 is a visible colour of the second
    // frame where it changes the screen: masking would make it vanish.
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solid(6, 6, 1));
    frames.push_back(makeFrame(6, 6, [](int x, int) { return x == 2 ? 5 : 1; }));
    Document doc = documentOf(std::move(frames));
    doc.transparentMaskOption = true;
    doc.transparentIndex = 5;
    rethread(doc, 2);
    EXPECT_EQ(doc.frameList.frameAt(1)->transparentIndex, -1);
    EXPECT_EQ(doc.frameList.frameAt(1)->image->pixel(2, 0), 5);
}

TEST(Rethread, HugeScreensAreWrittenWhole) {
    // A frame placed far out makes a screen of billions of pixels; the
    // optimiser keeps no picture of it and leaves every frame whole.
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solid(4, 4, 1));
    frames.push_back(solid(2, 2, 1));
    frames[1]->moveTo({65000, 65000});
    frames.push_back(solid(4, 4, 1));
    Document doc = documentOf(std::move(frames));
    rethread(doc, 2);
    ASSERT_EQ(doc.frameList.count(), 3);
    EXPECT_EQ(doc.frameList.frameAt(2)->dirtyRect, (TRect{0, 0, 4, 4}));
    EXPECT_EQ(doc.screenWidth, 65002);
}

}  // namespace
}  // namespace movigram
