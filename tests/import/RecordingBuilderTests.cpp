// Screen pictures becoming frames: one palette, only what changed, repeats
// merged, delays that follow the capture times without drifting, and the
// memory budget.  The pictures are made here; no display is needed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <vector>

#include "commands/RecordingCommands.h"
#include "import/RecordingBuilder.h"

namespace movigram {
namespace {

using namespace std::chrono_literals;

// A picture as a source gives it: 0x00RRGGBB words, rows top first.  The
// fourth byte is filled with noise, which must not count as a change.
struct TestPicture {
    int32_t width, height;
    std::vector<uint32_t> pixels;

    TestPicture(int32_t w, int32_t h, const std::function<uint32_t(int, int)>& colour) : width(w), height(h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) pixels.push_back(colour(x, y) | uint32_t(x * 7 + y) << 24);
    }
    CapturedPicture at(std::chrono::nanoseconds time) const {
        return {reinterpret_cast<const uint8_t*>(pixels.data()), width, height, size_t(width) * 4, time};
    }
};

uint32_t gradient(int x, int y) { return uint32_t((x * 9) << 16 | (y * 11) << 8 | ((x + y) * 5)); }

// The screen the frames build up, as the colours their indices show.
std::vector<uint32_t> composed(const FrameChain& frames, size_t upTo, int32_t width, int32_t height) {
    std::vector<uint32_t> screen(size_t(width) * size_t(height), 0);
    for (size_t i = 0; i <= upTo; ++i) {
        const TFrame& f = *frames[i];
        for (int32_t y = 0; y < f.rect.height(); ++y)
            for (int32_t x = 0; x < f.rect.width(); ++x) {
                const RgbQuad& q = f.image->colors()[f.image->pixel(x, y)];
                screen[size_t(f.rect.top + y) * size_t(width) + size_t(f.rect.left + x)] =
                    uint32_t(q.red << 16 | q.green << 8 | q.blue);
            }
    }
    return screen;
}

uint32_t nearestIn(const std::vector<PaletteEntry>& palette, uint32_t c) {
    PaletteSearch search(palette.data(), int(palette.size()));
    const PaletteEntry& e = palette[size_t(search.nearest(uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)))];
    return uint32_t(e.red << 16 | e.green << 8 | e.blue);
}

TEST(RecordingBuilder, RepeatsMergeAndOnlyTheChangedRectangleBecomesAFrame) {
    // Twelve colours: most of the palette is left free.
    const TestPicture still(40, 30, [](int x, int y) { return uint32_t(x / 10 * 60 << 16 | y / 10 * 80 << 8 | 20); });
    TestPicture moved = still;
    moved.pixels[5 * 40 + 3] ^= 0x808080;   // (3, 5)
    moved.pixels[12 * 40 + 20] = 0x0000FF;  // (20, 12): pure blue, not in the first picture
    RecordingBuilder builder({}, 1 << 20);
    EXPECT_EQ(builder.add(still.at(0ms)), RecordingBuilder::Added::Frame);
    EXPECT_EQ(builder.add(still.at(66ms)), RecordingBuilder::Added::Merged);
    EXPECT_EQ(builder.add(moved.at(133ms)), RecordingBuilder::Added::Frame);
    EXPECT_EQ(builder.add(moved.at(200ms)), RecordingBuilder::Added::Merged);
    builder.finish(266ms);
    const std::vector<PaletteEntry> palette = builder.palette();
    const FrameChain frames = builder.takeFrames("Recording 2");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0]->name, "Recording 2.000");
    EXPECT_EQ(frames[0]->next, frames[1].get());
    EXPECT_EQ(frames[0]->rect, (TRect{0, 0, 40, 30}));
    EXPECT_EQ(frames[1]->rect, (TRect{3, 5, 21, 13}));
    EXPECT_FALSE(frames[1]->restoreToBackground);
    // Rounded times 0, 13 and 27 hundredths.
    EXPECT_EQ(frames[0]->displayTime(), 130);
    EXPECT_EQ(frames[1]->displayTime(), 140);

    // Without dithering every pixel shows the nearest palette colour; the
    // entries the first picture left free hold pure blue.
    const std::vector<const TestPicture*> pictures{&still, &moved};
    for (size_t i = 0; i < 2; ++i) {
        const std::vector<uint32_t> screen = composed(frames, i, 40, 30);
        for (size_t p = 0; p < screen.size(); ++p)
            ASSERT_EQ(screen[p], nearestIn(palette, pictures[i]->pixels[p] & 0xFFFFFF)) << "frame " << i << " pixel " << p;
    }
    EXPECT_EQ(composed(frames, 1, 40, 30)[12 * 40 + 20], 0x0000FFu);
}

TEST(RecordingBuilder, DelaysFollowTheTimesWithoutDrift) {
    RecordingBuilder builder({}, 64 << 20);
    // 300 pictures at 30 per second, each different: delays of 3 or 4
    // hundredths that add up to exactly 10 s.  Two pictures within one
    // hundredth still give the first one a hundredth.
    std::vector<std::chrono::nanoseconds> times{0ns, 2ms};
    for (int k = 1; k < 300; ++k) times.push_back(std::chrono::nanoseconds(int64_t(k) * 1'000'000'000 / 30));
    for (size_t k = 0; k < times.size(); ++k) {
        const TestPicture p(8, 8, [&](int x, int y) { return uint32_t(x == int(k % 8) && y == int(k / 8 % 8)) * 0xFFFFFF; });
        ASSERT_EQ(builder.add(p.at(times[k])), RecordingBuilder::Added::Frame) << k;
    }
    builder.finish(10s);
    const FrameChain frames = builder.takeFrames("r");
    ASSERT_EQ(frames.size(), times.size());
    EXPECT_EQ(frames[0]->displayTime(), 10);
    // Each frame starts within half a hundredth of its picture's time.
    int64_t start = 0;
    for (size_t k = 0; k < frames.size(); ++k) {
        if (k >= 2) {
            EXPECT_LE(std::abs(start - times[k].count() / 1000000), 5) << k;
        }
        start += frames[k]->displayTime();
    }
    EXPECT_EQ(start, 10000);
}

TEST(RecordingBuilder, UnchangedPixelsKeepTheirIndexUnderErrorDiffusion) {
    QuantizeOptions diffusion;
    diffusion.dither = DitherMethod::Diffusion;
    RecordingBuilder builder(diffusion, 1 << 20);
    // Smooth shades the palette cannot hold exactly, so diffusion dithers.
    const auto shade = [](int x, int y) { return uint32_t((x * 3 + 1) << 16 | (y * 3 + 2) << 8 | ((x + y) * 2 + 1)); };
    const TestPicture first(64, 48, shade);
    TestPicture second = first;
    second.pixels[2 * 64 + 2] = 0xFF0000;     // two corners change: the rectangle between
    second.pixels[45 * 64 + 60] = 0x00FF00;  // them holds many unchanged pixels
    ASSERT_EQ(builder.add(first.at(0ms)), RecordingBuilder::Added::Frame);
    ASSERT_EQ(builder.add(second.at(100ms)), RecordingBuilder::Added::Frame);
    const FrameChain frames = builder.takeFrames("r");
    const TFrame& changed = *frames[1];
    ASSERT_EQ(changed.rect, (TRect{2, 2, 61, 46}));
    int unchanged = 0;
    for (int32_t y = changed.rect.top; y < changed.rect.bottom; ++y)
        for (int32_t x = changed.rect.left; x < changed.rect.right; ++x) {
            if (first.pixels[size_t(y) * 64 + size_t(x)] != second.pixels[size_t(y) * 64 + size_t(x)]) continue;
            ++unchanged;
            ASSERT_EQ(changed.image->pixel(x - 2, y - 2), frames[0]->image->pixel(x, y)) << x << "," << y;
        }
    EXPECT_GT(unchanged, 2000);
}

TEST(RecordingBuilder, TheBudgetStopsAndKeepsWhatWasMade) {
    const TestPicture a(16, 16, gradient);
    const TestPicture b(16, 16, [](int x, int y) { return gradient(x, y) ^ 0x404040; });
    // Room for the first picture and half of another.
    RecordingBuilder builder({}, 16 * 16 + 128);
    ASSERT_EQ(builder.add(a.at(0ms)), RecordingBuilder::Added::Frame);
    EXPECT_EQ(builder.add(b.at(100ms)), RecordingBuilder::Added::Full);
    EXPECT_NE(builder.message().find("memory budget"), std::string::npos);
    builder.finish(200ms);
    const FrameChain frames = builder.takeFrames("r");
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0]->displayTime(), 200);

    RecordingBuilder tiny({}, 100);
    EXPECT_EQ(tiny.add(a.at(0ms)), RecordingBuilder::Added::Full);
    EXPECT_EQ(tiny.frameCount(), 0u);
    // Pictures of another size than the first are refused.
    RecordingBuilder sized({}, 1 << 20);
    ASSERT_EQ(sized.add(a.at(0ms)), RecordingBuilder::Added::Frame);
    EXPECT_EQ(sized.add(TestPicture(8, 16, gradient).at(50ms)), RecordingBuilder::Added::Refused);
}

TEST(RecordingBuilder, ARecordingBecomesADocumentOrIsInserted) {
    RecordingBuilder builder({}, 1 << 20);
    const TestPicture a(20, 10, gradient);
    TestPicture b = a;
    b.pixels[15] = 0xFFFFFF;
    builder.add(a.at(0ms));
    builder.add(b.at(500ms));
    builder.finish(1s);
    Document doc;
    doc.loopOption = false;  // left by a file opened before
    placeRecording(doc, ReplaceDocument, builder.takeFrames("Recording 1"), "Recording 1");
    ASSERT_EQ(doc.frameList.count(), 2);
    EXPECT_EQ(doc.fileName, "Recording 1.gif");
    EXPECT_TRUE(doc.modified);
    EXPECT_TRUE(doc.loopOption);
    EXPECT_EQ(doc.screenWidth, 20);
    EXPECT_EQ(doc.screenHeight, 10);
    EXPECT_EQ(doc.frameList.frameAt(0)->displayTime(), 500);
    EXPECT_EQ(doc.frameList.frameAt(1)->rect, (TRect{15, 0, 16, 1}));

    // A second recording goes in before the selected frame.
    RecordingBuilder again({}, 1 << 20);
    again.add(b.at(0ms));
    again.finish(300ms);
    placeRecording(doc, 1, again.takeFrames("Recording 2"), "Recording 2");
    ASSERT_EQ(doc.frameList.count(), 3);
    EXPECT_EQ(doc.frameList.frameAt(1)->name, "Recording 2.000");
    EXPECT_EQ(doc.frameList.frameAt(1)->displayTime(), 300);
    EXPECT_EQ(doc.fileName, "Recording 1.gif");
}

}  // namespace
}  // namespace movigram
