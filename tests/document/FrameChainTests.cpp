// The chain of frames: links, queries, time units and transparency.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace movigram
