// Composition: drawing frames onto the screen, restores, and merging.
#include <gtest/gtest.h>

#include "document/Compose.h"
#include "document/FrameChain.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using test::makeFrame;
using test::testPalette;

auto solid(int w, int h, int v) { return makeFrame(w, h, [v](int, int) { return v; }); }

TEST(Compose, ClipsFramesAndGrowsTheWorkImage) {
    auto work = solid(4, 4, 1);
    work->backgroundIndex = 9;
    auto sprite = solid(3, 3, 2);
    sprite->moveTo({-1, -1});
    composeFrame(*work, *sprite, nullptr, false);
    EXPECT_EQ(work->image->pixel(0, 0), 2);
    EXPECT_EQ(work->image->pixel(1, 1), 2);
    EXPECT_EQ(work->image->pixel(2, 2), 1);

    auto beyond = solid(2, 2, 3);
    beyond->moveTo({5, 3});
    composeFrame(*work, *beyond, nullptr, false);
    EXPECT_EQ(work->rect, (TRect{0, 0, 7, 5}));
    EXPECT_EQ(work->image->pixel(6, 4), 3);
    EXPECT_EQ(work->image->pixel(4, 0), 9);  // grown area takes the background index
    EXPECT_EQ(work->image->pixel(0, 0), 2);  // old picture kept
}

TEST(Compose, RestoreErasesExactlyTheFrameRect) {
    auto work = solid(4, 4, 1);
    auto sprite = solid(2, 2, 2);
    sprite->moveTo({2, 2});
    sprite->restoreToBackground = true;
    sprite->transparentIndex = 0;
    composeFrame(*work, *sprite, nullptr, false);
    EXPECT_EQ(work->image->pixel(3, 3), 2);
    auto next = solid(1, 1, 3);
    composeFrame(*work, *next, sprite.get(), false);
    // Rows 2..3, columns 2..3 now hold the fill colour 0, nothing else changed.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const int want = (x == 0 && y == 0) ? 3 : (x >= 2 && y >= 2) ? 0 : 1;
            EXPECT_EQ(work->image->pixel(x, y), want) << x << "," << y;
        }
    // eraseMode: a restored frame erases its own area instead of drawing.
    auto erased = solid(4, 4, 1);
    composeFrame(*erased, *sprite, nullptr, true);
    EXPECT_EQ(erased->image->pixel(3, 3), 0);
}

TEST(Compose, CompositeAtShowsTheAnimationAtAFrame) {
    FrameList list;
    list.append("bg", solid(4, 4, 1));
    auto sprite = solid(2, 2, 2);
    sprite->moveTo({1, 1});
    sprite->transparentIndex = 0;
    list.append("s", std::move(sprite));
    threadFrames(list, false);
    auto shot = compositeAt(list, 1, "shot", {4, 4}, testPalette(4));
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->name, "shot");
    EXPECT_EQ(shot->repeat, 0);
    EXPECT_EQ(shot->rect, (TRect{0, 0, 4, 4}));
    EXPECT_EQ(shot->image->pixel(0, 0), 1);
    EXPECT_EQ(shot->image->pixel(2, 2), 2);
    EXPECT_EQ(shot->transparentIndex, -1);
    EXPECT_EQ(compositeAt(list, 5, "x", {4, 4}, testPalette(4)), nullptr);

    // A corner patch and a lower band together span the screen's bounds
    // but leave the upper right to the frames before them.
    list.append("corner", solid(1, 1, 2));
    auto band = solid(4, 2, 3);
    band->moveTo({0, 2});
    list.append("band", std::move(band));
    threadFrames(list, false);
    auto later = compositeAt(list, 3, "later", {4, 4}, testPalette(4));
    EXPECT_EQ(later->image->pixel(3, 0), 1);  // the background frame's
    EXPECT_EQ(later->image->pixel(0, 0), 2);
    EXPECT_EQ(later->image->pixel(1, 1), 2);
    EXPECT_EQ(later->image->pixel(0, 3), 3);
}

TEST(Compose, MergeUnderAndOver) {
    auto background = makeFrame(4, 4, [](int x, int) { return x; });
    auto frame = makeFrame(2, 2, [](int x, int y) { return x == y ? 9 : 7; });
    frame->moveTo({1, 1});
    frame->transparentIndex = 9;
    frame->restoreToBackground = true;
    mergeUnder(*frame, *background);
    EXPECT_EQ(frame->transparentIndex, -1);
    EXPECT_FALSE(frame->restoreToBackground);
    EXPECT_EQ(test::pixelsOf(*frame->image), (std::vector<uint8_t>{1, 7, 7, 2}));

    auto over = makeFrame(2, 2, [](int x, int y) { return x == y ? 9 : 7; });
    over->moveTo({1, 1});
    over->transparentIndex = 9;
    auto bg = makeFrame(4, 4, [](int x, int) { return x; });
    mergeOver(*bg, *over);
    EXPECT_EQ(bg->rect, (TRect{0, 0, 4, 4}));
    EXPECT_EQ(over->transparentIndex, 9);  // the source frame is untouched
}

}  // namespace
}  // namespace movigram
