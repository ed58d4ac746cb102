// Files that restore to the previous picture are rewritten on reading; a
// browser must still show exactly the same screens.
#include <gtest/gtest.h>

#include <random>

#include "document/GifReader.h"
#include "document/ViewerCanvas.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using test::GifBuilder;

struct FrameSpec {
    int left, top, width, height;
    std::vector<uint8_t> pixels;
    int transparent = -1;
    int disposal = 0;
    int localColors = 0;  // a local table of the first test colours
};

constexpr int screenSize = 6;

std::vector<uint8_t> fill(int w, int h, uint8_t v) { return std::vector<uint8_t>(size_t(w) * h, v); }

test::Bytes buildGif(const std::vector<FrameSpec>& specs) {
    GifBuilder gif(screenSize, screenSize, 8);
    for (const FrameSpec& s : specs)
        gif.control(10, s.transparent, s.disposal).image(s.left, s.top, s.width, s.height, s.pixels, s.localColors);
    return gif.trailer().bytes();
}

using Screens = std::vector<std::vector<Rgba>>;

// What a browser shows for the frames as specified.
Screens expectedScreens(const std::vector<FrameSpec>& specs, const TMyPalette& palette) {
    ViewerCanvas canvas(screenSize, screenSize);
    Screens screens;
    for (const FrameSpec& s : specs) {
        auto frame = test::makeFrame(s.width, s.height, [&](int x, int y) { return s.pixels[size_t(y * s.width + x)]; });
        frame->moveTo({s.left, s.top});
        frame->transparentIndex = s.transparent;
        if (s.localColors) frame->localPalette = std::make_unique<TMyPalette>(test::testPalette(s.localColors));
        canvas.step(*frame, &palette, Disposal(s.disposal), [&](const ViewerCanvas& c) { screens.push_back(c.pixels()); });
    }
    return screens;
}

// What a browser shows for the frames the reader made.
Screens screensOfRead(const GifReadOutput& gif) {
    ViewerCanvas canvas(screenSize, screenSize);
    Screens screens;
    for (const auto& frame : gif.frames) {
        if (!frame->hasImage()) continue;
        canvas.step(*frame, &*gif.globalPalette, frame->restoreToBackground ? Disposal::Background : Disposal::None,
                    [&](const ViewerCanvas& c) { screens.push_back(c.pixels()); });
    }
    return screens;
}

void expectSameScreens(const std::vector<FrameSpec>& specs) {
    const auto gif = readGifMemory(buildGif(specs), "prev.gif");
    ASSERT_EQ(gif.result, GifOk);
    ASSERT_TRUE(gif.globalPalette);
    const Screens want = expectedScreens(specs, *gif.globalPalette);
    const Screens got = screensOfRead(gif);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "screen " << i;
}

TEST(RestorePrevious, SpriteOverBackgroundIsRepainted) {
    expectSameScreens({
        {0, 0, 6, 6, fill(6, 6, 1)},
        {0, 0, 2, 2, fill(2, 2, 2), -1, 3},
        {3, 3, 2, 2, fill(2, 2, 3)},
    });
}

TEST(RestorePrevious, AreaThatWasEmptyBecomesEmptyAgain) {
    // Nothing was drawn before the first sprite, so its area must turn
    // transparent again: only restoring to the background can do that.
    const std::vector<FrameSpec> specs{
        {0, 0, 2, 2, fill(2, 2, 2), -1, 3},
        {4, 4, 2, 2, fill(2, 2, 3)},
    };
    expectSameScreens(specs);
    const auto gif = readGifMemory(buildGif(specs), "prev.gif");
    EXPECT_TRUE(gif.frames[0]->restoreToBackground);
}

TEST(RestorePrevious, NothingChangesWithoutRestoreToPrevious) {
    const std::vector<FrameSpec> specs{
        {0, 0, 6, 6, fill(6, 6, 1)},
        {1, 1, 2, 2, fill(2, 2, 2), 0, 2},
        {2, 2, 2, 2, fill(2, 2, 3)},
    };
    const auto gif = readGifMemory(buildGif(specs), "plain.gif");
    EXPECT_EQ(gif.frames[2]->rect, (TRect{2, 2, 4, 4}));
    expectSameScreens(specs);
}

TEST(RestorePrevious, LastFrameRestoringToPreviousNeedsNothing) {
    const auto gif = readGifMemory(buildGif({{0, 0, 6, 6, fill(6, 6, 1)}, {0, 0, 2, 2, fill(2, 2, 2), -1, 3}}), "x.gif");
    EXPECT_FALSE(gif.frames[1]->restoreToBackground);
    EXPECT_EQ(gif.frames[1]->rect, (TRect{0, 0, 2, 2}));
}

TEST(RestorePrevious, RandomAnimationsLookTheSame) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 300; ++round) {
        std::vector<FrameSpec> specs;
        const int frames = 2 + int(rng() % 6);
        for (int i = 0; i < frames; ++i) {
            FrameSpec s;
            s.width = 1 + int(rng() % screenSize);
            s.height = 1 + int(rng() % screenSize);
            s.left = int(rng() % unsigned(screenSize - s.width + 1));
            s.top = int(rng() % unsigned(screenSize - s.height + 1));
            // Some frames carry a small local table, so repainting them needs
            // colours their table lacks.
            s.localColors = rng() % 3 == 0 ? 2 : 0;
            const unsigned colors = s.localColors ? unsigned(s.localColors) : 8u;
            s.transparent = rng() % 2 ? int(rng() % colors) : -1;
            s.disposal = int(rng() % 4);
            for (int p = 0; p < s.width * s.height; ++p) s.pixels.push_back(uint8_t(rng() % colors));
            specs.push_back(std::move(s));
        }
        SCOPED_TRACE("round " + std::to_string(round));
        expectSameScreens(specs);
        if (::testing::Test::HasFailure()) break;
    }
}

}  // namespace
}  // namespace movigram
