// Video import through a small AVI written here: frame times from the rate,
// frame names, the pixel depths, and the result codes with the frames kept.
#include <gtest/gtest.h>

#include "ImportTestFiles.h"
#include "import/ImageReaders.h"
#include "import/VideoReader.h"

namespace movigram {
namespace {

using namespace test;

TEST(VideoReader, FrameTimeIsTruncated) {
    struct Case {
        int64_t rate, scale;
        int32_t ms;
    };
    const Case cases[] = {{15, 1, 66},  {30000, 1001, 33}, {20, 1, 50}, {25, 1, 40}, {1, 1, 1000},
                          {2, 3, 1500}, {5000, 1, 1},      {0, 1, 0},   {15, 0, 0}};
    for (const Case& c : cases) EXPECT_EQ(frameTimeFromRate(c.rate, c.scale), c.ms) << c.rate << "/" << c.scale;
}

// Frame i: the top half shows colour i, the bottom half another.  Channels
// are multiples of 4 below 252, which the quantiser's 6-bit cells keep
// exactly.
Rgb8 topColor(int i) { return {uint8_t(40 + i * 20), uint8_t(200 - i * 12), 128}; }
Rgb8 bottomColor(int i) {
    const Rgb8 c = topColor(i);
    return {uint8_t(248 - c.red), uint8_t(248 - c.green), uint8_t(248 - c.blue)};
}

AviSpec trueColorVideo(int frames, int bitCount, uint32_t rate, uint32_t scale) {
    AviSpec layout;
    layout.width = 6, layout.height = 4, layout.bitCount = bitCount, layout.rate = rate, layout.scale = scale;
    for (int i = 0; i < frames; ++i)
        layout.frames.push_back(packPixelRows(6, 4, bitCount / 8, [&](int, int y) {
            const Rgb8 c = y < 2 ? topColor(i) : bottomColor(i);
            return uint32_t(c.blue | c.green << 8 | c.red << 16);
        }));
    return layout;
}

TEST(VideoReader, TwentyFourBitFramesAreNamedTimedAndQuantised) {
    ScratchDir dir;
    const std::string path = dir.write("clip.avi", aviFile(trueColorVideo(10, 24, 15, 1)));
    std::vector<int> progress;
    VideoReadOptions options;
    ProgressFunction record([&](int p) { progress.push_back(p); });
    options.progress = &record;
    VideoReadOutput out = readVideo(path, options);
    ASSERT_EQ(out.result, VideoOk);
    ASSERT_EQ(out.frames.size(), 10u);
    EXPECT_EQ(out.frameTime, 66);
    for (size_t i = 0; i < 10; ++i) {
        const TFrame& f = *out.frames[i];
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, ".%03zu", i);
        EXPECT_EQ(f.name, path + suffix);
        EXPECT_EQ(f.frameTime, 66);
        EXPECT_EQ(f.next, i + 1 < 10 ? out.frames[i + 1].get() : nullptr);
        ASSERT_TRUE(f.image);
        EXPECT_EQ(colorAt(*f.image, 3, 0), topColor(int(i))) << i;
        EXPECT_EQ(colorAt(*f.image, 3, 3), bottomColor(int(i))) << i;
    }
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

TEST(VideoReader, HighQualityGivesOnePaletteAndStillPixelsStay) {
    // A smooth background of many colours with a block moving across it.
    AviSpec layout;
    layout.width = 32, layout.height = 16;
    auto inBlock = [](int frame, int x, int y) { return x >= frame * 6 && x < frame * 6 + 5 && y >= 4 && y < 9; };
    for (int f = 0; f < 4; ++f)
        layout.frames.push_back(packPixelRows(32, 16, 3, [&](int x, int y) {
            const Rgb8 c = inBlock(f, x, y) ? Rgb8{240, 20, 20} : Rgb8{uint8_t(x * 8), uint8_t(y * 16), uint8_t(255 - x * 4)};
            return uint32_t(c.blue | c.green << 8 | c.red << 16);
        }));
    ScratchDir dir;
    const std::string path = dir.write("still.avi", aviFile(layout));
    VideoReadOptions options;
    options.quantize = {Quantizer::HighQuality, DitherMethod::Diffusion, 100};
    const VideoReadOutput out = readVideo(path, options);
    ASSERT_EQ(out.result, VideoOk);
    ASSERT_EQ(out.frames.size(), 4u);
    for (size_t f = 1; f < 4; ++f) {
        const TDib256& now = *out.frames[f]->image;
        const TDib256& before = *out.frames[f - 1]->image;
        EXPECT_EQ(now.colors(), before.colors()) << f;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x)
                if (!inBlock(int(f), x, y) && !inBlock(int(f) - 1, x, y)) {
                    ASSERT_EQ(now.pixel(x, y), before.pixel(x, y)) << "frame " << f << " at " << x << "," << y;
                }
    }
}

TEST(VideoReader, PalettisedVideoKeepsItsPalette) {
    AviSpec layout;
    layout.width = 5, layout.height = 3, layout.bitCount = 8, layout.rate = 30000, layout.scale = 1001;
    for (int i = 0; i < 256; ++i) layout.palette.push_back({uint8_t(i), uint8_t(i * 3), uint8_t(255 - i)});
    auto value = [](int x, int y) { return x * 50 + y; };
    layout.frames.push_back(packIndexedRows(5, 3, 8, value));
    layout.frames.push_back(packIndexedRows(5, 3, 8, [](int, int) { return 7; }));
    ScratchDir dir;
    VideoReadOutput out = readVideo(dir.write("pal.avi", aviFile(layout)));
    ASSERT_EQ(out.result, VideoOk);
    ASSERT_EQ(out.frames.size(), 2u);
    EXPECT_EQ(out.frameTime, 33);
    const TDib256& image = *out.frames[0]->image;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(image.pixel(x, y), value(x, y));
            EXPECT_EQ(colorAt(image, x, y), layout.palette[size_t(value(x, y))]);
        }
}

TEST(VideoReader, SixteenAndThirtyTwoBitFrames) {
    AviSpec sixteen;
    sixteen.width = 4, sixteen.height = 2, sixteen.bitCount = 16;
    sixteen.frames.push_back(packPixelRows(4, 2, 2, [](int x, int) { return x < 2 ? 0x7FFFu : 0x7C00u; }));
    ScratchDir dir;
    VideoReadOutput a = readVideo(dir.write("555.avi", aviFile(sixteen)));
    ASSERT_EQ(a.result, VideoOk);
    ASSERT_EQ(a.frames.size(), 1u);
    // 5-bit 31 counts as 6-bit 62, shown as 248.
    EXPECT_EQ(colorAt(*a.frames[0]->image, 0, 0), (Rgb8{248, 248, 248}));
    EXPECT_EQ(colorAt(*a.frames[0]->image, 3, 1), (Rgb8{248, 0, 0}));

    VideoReadOutput b = readVideo(dir.write("rgb32.avi", aviFile(trueColorVideo(3, 32, 10, 1))));
    ASSERT_EQ(b.result, VideoOk);
    ASSERT_EQ(b.frames.size(), 3u);
    EXPECT_EQ(b.frameTime, 100);
    EXPECT_EQ(colorAt(*b.frames[2]->image, 0, 0), topColor(2));
}

TEST(VideoReader, ResultCodesAndTheFramesKept) {
    ScratchDir dir;
    AviSpec unknown = trueColorVideo(2, 24, 15, 1);
    unknown.compression = 0x58585858;  // "XXXX"
    VideoReadOutput compressed = readVideo(dir.write("xxxx.avi", aviFile(unknown)));
    EXPECT_EQ(compressed.result, VideoUnsupportedCompression);
    EXPECT_TRUE(compressed.frames.empty());
    EXPECT_EQ(videoResultMessage(compressed.result, "x"), "Unsupported compression method");

    // Through the reader table, which adds the caption and message.
    AviSpec shortFile = trueColorVideo(4, 24, 15, 1);
    shortFile.declaredFrames = 10;
    ImportedFile cut = readImageFile(dir.write("Short.AVI", aviFile(shortFile)));
    EXPECT_EQ(cut.kind, ImportKind::Video);
    EXPECT_EQ(cut.result, ImportUnexpectedEnd);
    EXPECT_EQ(cut.caption, "File error");
    EXPECT_EQ(cut.message, "Unexpected End of File");
    EXPECT_EQ(cut.frames.size(), 4u);

    const std::string missing = dir.path("missing.avi");
    VideoReadOutput none = readVideo(missing);
    EXPECT_EQ(none.result, VideoCannotOpen);
    EXPECT_EQ(videoResultMessage(none.result, missing), "Cannot open file \"" + missing + "\"");

    const std::string garbage = dir.write("garbage.avi", Bytes(4000, 0x5A));
    EXPECT_EQ(readVideo(garbage).result, VideoCorrupt);
    EXPECT_EQ(videoResultMessage(VideoCorrupt, garbage),
              "File \"" + garbage + "\" \nis not GIF format or is corrupted");

    VideoReadOptions options;
    options.limits.maxFrames = 3;
    VideoReadOutput capped = readVideo(dir.write("long.avi", aviFile(trueColorVideo(6, 24, 15, 1))), options);
    EXPECT_EQ(capped.result, VideoNoMemory);
    EXPECT_EQ(capped.frames.size(), 3u);
}

}  // namespace
}  // namespace movigram
