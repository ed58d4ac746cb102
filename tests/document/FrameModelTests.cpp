// The frame model: chains, composition, time units, transparency and
// comment text.
#include <gtest/gtest.h>

#include "document/Compose.h"
#include "document/FrameChain.h"
#include "document/FrameList.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using test::makeFrame;
using test::testPalette;

auto solid(int w, int h, int v) { return makeFrame(w, h, [v](int, int) { return v; }); }

FrameChain chainOf(std::vector<std::unique_ptr<TFrame>> frames) {
    FrameChain chain = std::move(frames);
    linkChain(chain);
    return chain;
}

TEST(FrameChain, OneFrameIsNeverCircular) {
    FrameList list;
    list.append("a", solid(2, 2, 0));
    TFrame* first = threadFrames(list, true);
    EXPECT_EQ(first->next, nullptr);
    list.append("b", solid(2, 2, 0));
    first = threadFrames(list, true);
    EXPECT_EQ(first->next->next, first);
    EXPECT_EQ(chainCount(first), 2);
    EXPECT_EQ(list.frameAt(1)->index, 1);
    first = threadFrames(list, false);
    EXPECT_EQ(chainLast(first), list.frameAt(1));
}

TEST(FrameChain, QueriesSkipFramesWithoutImage) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(std::make_unique<TTextFrame>(nullptr, "hi"));
    frames.push_back(solid(4, 2, 0));
    frames.push_back(solid(2, 2, 0));
    frames[1]->backgroundIndex = 5;
    frames[2]->transparentIndex = 3;
    frames[2]->moveTo({6, 7});
    FrameChain chain = chainOf(std::move(frames));
    TFrame* first = chain[0].get();
    EXPECT_EQ(chainBackground(first), 5);
    EXPECT_EQ(documentTransparent(first), 3);
    EXPECT_FALSE(sameTransparent(first));
    EXPECT_EQ(boundingSize(first), (TSize{8, 9}));
    EXPECT_EQ(nextImageFrame(first, first), chain[1].get());
    setFrameTimeAll(first, 40);
    EXPECT_EQ(chain[0]->frameTime, 1000);
    EXPECT_EQ(chain[2]->frameTime, 40);
    chain[2]->localPalette = std::make_unique<TMyPalette>(testPalette(4));
    EXPECT_EQ(documentTransparent(first), -1);  // frames with local palettes don't count
}

TEST(FrameChain, NormalizeFrameTimes) {
    struct Case {
        std::vector<int32_t> delays;
        int32_t unit;
        std::vector<int32_t> repeats;
    };
    const Case cases[] = {
        {{300, 150}, 50, {6, 3}},
        {{70, 35}, 35, {2, 1}},
        {{17, 23}, 10, {1, 2}},
        {{1000, 2000}, 1000, {1, 2}},
        {{0, 100}, 100, {0, 1}},
    };
    for (const Case& c : cases) {
        std::vector<std::unique_ptr<TFrame>> frames;
        frames.push_back(std::make_unique<TTextFrame>(nullptr, "note"));
        for (int32_t d : c.delays) {
            frames.push_back(solid(1, 1, 0));
            frames.back()->frameTime = d;
        }
        FrameChain chain = chainOf(std::move(frames));
        EXPECT_EQ(normalizeFrameTimes(chain[0].get()), c.unit);
        EXPECT_EQ(chain[0]->repeat, 0);
        for (size_t i = 0; i < c.repeats.size(); ++i) {
            EXPECT_EQ(chain[i + 1]->repeat, c.repeats[i]) << "delay " << c.delays[i];
            EXPECT_EQ(chain[i + 1]->frameTime, c.unit);
        }
    }
}

TEST(FrameChain, SetTransparentAllClearsRestoreOnlyWhenCovering) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solid(2, 2, 0));
    frames.push_back(solid(4, 4, 0));  // covers the first
    frames.push_back(solid(2, 2, 0));  // does not cover the second
    for (auto& f : frames) {
        f->transparentIndex = 1;
        f->restoreToBackground = true;
    }
    FrameChain chain = chainOf(std::move(frames));
    setTransparentAll(chain[0].get(), -1, false);
    EXPECT_TRUE(chain[0]->restoreToBackground);
    EXPECT_FALSE(chain[1]->restoreToBackground);
    EXPECT_TRUE(chain[2]->restoreToBackground);
    for (auto& f : chain) EXPECT_EQ(f->transparentIndex, -1);

    // Giving a transparent colour restores frames that are not overlays.
    chain[1]->overlay = true;
    for (auto& f : chain) f->restoreToBackground = false;
    setTransparentAll(chain[0].get(), 2, false);
    EXPECT_TRUE(chain[0]->restoreToBackground);
    EXPECT_FALSE(chain[1]->restoreToBackground);
    EXPECT_EQ(chain[1]->transparentIndex, 2);

    // Frames with a local palette are left alone unless asked.
    chain[2]->localPalette = std::make_unique<TMyPalette>(testPalette(4));
    setTransparentAll(chain[0].get(), 3, false);
    EXPECT_EQ(chain[2]->transparentIndex, 2);
    setTransparentAll(chain[0].get(), 3, true);
    EXPECT_EQ(chain[2]->transparentIndex, 3);
}

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

TEST(Frame, CopyCropAndMove) {
    auto frame = makeFrame(4, 3, [](int x, int y) { return x + 4 * y; });
    frame->moveTo({10, 20});
    EXPECT_EQ(frame->rect, (TRect{10, 20, 14, 23}));
    EXPECT_EQ(frame->dirtyRect, frame->rect);
    frame->localPalette = std::make_unique<TMyPalette>(testPalette(3));
    frame->overlay = true;
    frame->unchanged = true;

    TFrame copy(*frame, {11, 21, 13, 23});
    EXPECT_EQ(copy.rect, (TRect{11, 21, 13, 23}));
    EXPECT_EQ(test::pixelsOf(*copy.image), (std::vector<uint8_t>{5, 6, 9, 10}));
    EXPECT_FALSE(copy.overlay);
    EXPECT_FALSE(copy.unchanged);
    ASSERT_TRUE(copy.localPalette);
    EXPECT_NE(copy.localPalette.get(), frame->localPalette.get());

    frame->crop({0, 0, 12, 100});
    EXPECT_EQ(frame->rect, (TRect{10, 20, 12, 23}));
    EXPECT_EQ(test::pixelsOf(*frame->image), (std::vector<uint8_t>{0, 1, 4, 5, 8, 9}));
    const auto before = frame->image.get();
    frame->crop({0, 0, 100, 100});  // already inside: nothing changes
    EXPECT_EQ(frame->image.get(), before);
}

TEST(Frame, BlankFrameAndBottomUpRows) {
    auto blank = TFrame::blank(5, 2, 3, testPalette(6));
    EXPECT_EQ(blank->backgroundIndex, 3);
    EXPECT_EQ(blank->image->pixel(4, 1), 3);
    EXPECT_EQ(blank->image->colorsUsed, 6);
    EXPECT_EQ(blank->image->stride(), 8);
    blank->image->setPixel(0, 0, 9);  // top row lives last in memory
    EXPECT_EQ(blank->image->bits()[8], 9);
    EXPECT_EQ(TFrame::blank(1, 1, -1, testPalette(1))->image->pixel(0, 0), 0);
}

TEST(Frame, ExpandUnpacksLowDepths) {
    // 1-bit, 10 pixels wide: two bytes a row padded to four; bottom-up.
    const uint8_t bits1[] = {0b10110000, 0b01000000, 0, 0, 0b11111111, 0b11000000, 0, 0};
    auto image = TDib256::expand(10, 2, 1, bits1, {}, 2, 2);
    EXPECT_EQ(image->pixel(0, 1), 1);
    EXPECT_EQ(image->pixel(1, 1), 0);
    EXPECT_EQ(image->pixel(9, 1), 1);
    EXPECT_EQ(image->pixel(8, 1), 0);
    EXPECT_EQ(image->pixel(9, 0), 1);
    EXPECT_EQ(image->colorsUsed, 2);
    const uint8_t bits4[] = {0x12, 0x30, 0, 0};
    auto four = TDib256::expand(3, 1, 4, bits4, {}, 16, 0);
    EXPECT_EQ(test::pixelsOf(*four), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(test::pixelsOf(*TDib256::expand(2, 1, 24, bits4, {}, 0, 0)), (std::vector<uint8_t>{0, 0}));
}

TEST(CommentText, BlocksAndName) {
    TTextFrame comment(nullptr, std::string(600, 'a'));
    ASSERT_EQ(comment.blocks().size(), 3u);
    EXPECT_EQ(comment.blocks()[0].text.size(), 255u);
    EXPECT_EQ(comment.blocks()[1].text.size(), 255u);
    EXPECT_EQ(comment.blocks()[2].text.size(), 90u);
    EXPECT_EQ(comment.textLength(), 600u);

    TTextFrame hello(nullptr, "Hello\r\nWorld and more text than fits in the name");
    EXPECT_EQ(hello.name, "// Hello  World and more tex...");  // 25 bytes of text
    EXPECT_EQ(hello.name.size(), 28u + 3u);

    TTextFrame shortText(nullptr, "Hello\r\nWorld");
    EXPECT_EQ(shortText.name, "// Hello  World...");
    shortText.appendText(" again");
    EXPECT_EQ(shortText.name, "// Hello  World...");  // only the first text names the frame
    EXPECT_EQ(shortText.getText(), "Hello\r\nWorld again");

    TTextFrame empty;
    EXPECT_EQ(empty.repeat, 0);
    EXPECT_TRUE(empty.isComment);
}

TEST(CommentText, CopiesShareBlocksAndMeasureUsesTheWindow) {
    TTextFrame original(nullptr, "shared");
    {
        auto copy = original.clone();
        EXPECT_EQ(original.shareCount(), 2);
        EXPECT_TRUE(copy->isComment);
        EXPECT_EQ(static_cast<TTextFrame&>(*copy).getText(), "shared");
    }
    EXPECT_EQ(original.shareCount(), 1);

    struct FakeWindow : TextMeasurer {
        TSize clientSize() const override { return {300, 200}; }
        int32_t textHeight(std::string_view text, int32_t boxWidth) const override {
            lastWidth = boxWidth;
            return int32_t(std::count(text.begin(), text.end(), '\n') + 1) * 16;
        }
        mutable int32_t lastWidth = 0;
    } window;
    TTextFrame measured(&window, "one\ntwo");
    EXPECT_EQ(measured.textWidth, 300);
    EXPECT_EQ(measured.textHeight, 2 * 16 + 20);
    EXPECT_EQ(window.lastWidth, 280);
}

TEST(FrameListOps, InsertTakeAndSelection) {
    struct Recorder : FrameListObserver {
        std::vector<std::string> events;
        void itemsInserted(int first, int) override { events.push_back("+" + std::to_string(first)); }
        void itemsRemoved(int first, int) override { events.push_back("-" + std::to_string(first)); }
        void selectionChanged(int index) override { events.push_back("s" + std::to_string(index)); }
    } recorder;
    FrameList list;
    list.setObserver(&recorder);
    list.append("a", solid(1, 1, 0));
    list.append("c", solid(1, 1, 2));
    list.select(1);
    EXPECT_EQ(list.insert(1, "b", solid(1, 1, 1)), 1);
    EXPECT_EQ(list.selectedIndex(), 2);  // the selected frame keeps its selection
    EXPECT_EQ(list.textAt(1), "b");
    EXPECT_EQ(list.insert(99, "d", solid(1, 1, 3)), 3);
    auto taken = list.take(2);
    EXPECT_EQ(taken->image->pixel(0, 0), 2);
    EXPECT_EQ(list.selectedIndex(), -1);
    EXPECT_EQ(list.frameAt(7), nullptr);
    EXPECT_EQ(list.indexOf(list.frameAt(2)), 2);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"+0", "+1", "s1", "+1", "+3", "-2"}));
}

}  // namespace
}  // namespace movigram
