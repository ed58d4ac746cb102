// Reading GIF files: blocks, extensions, tables, result codes and limits.
#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include "document/GifReader.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using test::Bytes;
using test::GifBuilder;

GifReadOutput read(const GifBuilder& gif, const GifReadOptions& options = {}) {
    return readGifMemory(gif.bytes(), "anim.gif", options);
}

const std::vector<uint8_t> fourPixels{0, 1, 2, 3};

TEST(GifReader, LoopValues) {
    struct Case {
        int value;
        int32_t count;
    };
    for (Case c : {Case{0, 0}, Case{4, 5}, Case{1, 2}, Case{65535, 65536}}) {
        const auto out = read(GifBuilder(2, 2).loop(c.value).image(0, 0, 2, 2, fourPixels).trailer());
        EXPECT_EQ(out.result, GifOk);
        EXPECT_TRUE(out.loopFound);
        EXPECT_EQ(out.loopCount, c.count) << "loop value " << c.value;
    }
    const auto none = read(GifBuilder(2, 2).image(0, 0, 2, 2, fourPixels).trailer());
    EXPECT_FALSE(none.loopFound);
    EXPECT_EQ(none.loopCount, 0);
}

TEST(GifReader, FramesAreNamedAfterTheFileAndPlaced) {
    const auto out = read(GifBuilder(8, 8)
                              .control(7)
                              .image(1, 2, 2, 2, fourPixels)
                              .image(3, 4, 2, 2, {3, 2, 1, 0})
                              .trailer());
    ASSERT_EQ(out.frames.size(), 2u);
    EXPECT_EQ(out.frames[0]->name, "anim.gif.000");
    EXPECT_EQ(out.frames[1]->name, "anim.gif.001");
    EXPECT_EQ(out.frames[0]->rect, (TRect{1, 2, 3, 4}));
    EXPECT_EQ(out.frames[1]->rect, (TRect{3, 4, 5, 6}));
    EXPECT_EQ(out.frames[0]->frameTime, 70);
    EXPECT_EQ(out.frames[1]->frameTime, 1000);  // no control extension: defaults
    EXPECT_EQ(test::pixelsOf(*out.frames[0]->image), fourPixels);
    EXPECT_EQ(out.frames[0]->next, out.frames[1].get());
    EXPECT_EQ(out.frames[1]->next, nullptr);
}

TEST(GifReader, SkipsPlainTextAndUnknownExtensions) {
    const auto out = read(GifBuilder(2, 2)
                              .image(0, 0, 2, 2, fourPixels)
                              .plainText()
                              .raw({0x21, 0x77, 2, 9, 9, 0})
                              .image(0, 0, 2, 2, {1, 1, 1, 1})
                              .trailer());
    EXPECT_EQ(out.result, GifOk);
    ASSERT_EQ(out.frames.size(), 2u);
    EXPECT_EQ(test::pixelsOf(*out.frames[1]->image), (std::vector<uint8_t>{1, 1, 1, 1}));
}

TEST(GifReader, ControlExtensionOfWrongSizeStopsWithFramesKept) {
    const auto out = read(GifBuilder(2, 2)
                              .image(0, 0, 2, 2, fourPixels)
                              .control(10, -1, 0, 5)
                              .image(0, 0, 2, 2, fourPixels)
                              .trailer());
    EXPECT_EQ(out.result, GifCorrupt);
    EXPECT_EQ(out.frames.size(), 1u);
}

TEST(GifReader, SecondControlExtensionWins) {
    const auto out = read(GifBuilder(2, 2).control(10, 1).control(20, -1, 2).image(0, 0, 2, 2, fourPixels)
                              .image(0, 0, 2, 2, fourPixels).trailer());
    ASSERT_EQ(out.frames.size(), 2u);
    EXPECT_EQ(out.frames[0]->frameTime, 200);
    EXPECT_EQ(out.frames[0]->transparentIndex, -1);
    EXPECT_TRUE(out.frames[0]->restoreToBackground);
}

TEST(GifReader, LocalTableHoldsForOneImageOnly) {
    const auto out = read(GifBuilder(2, 2, 4)
                              .image(0, 0, 2, 2, fourPixels, 16)
                              .image(0, 0, 2, 2, fourPixels)
                              .trailer());
    ASSERT_EQ(out.frames.size(), 2u);
    ASSERT_TRUE(out.frames[0]->localPalette);
    EXPECT_EQ(out.frames[0]->localPalette->colorCount, 16);
    EXPECT_EQ(out.frames[0]->image->colorsUsed, 16);
    EXPECT_FALSE(out.frames[1]->localPalette);
    EXPECT_EQ(out.frames[1]->image->colorsUsed, 4);
    ASSERT_TRUE(out.globalPalette);
    EXPECT_EQ(out.globalPalette->colorCount, 4);
    uint8_t rgb[3];
    GifBuilder::testColor(3, rgb);
    EXPECT_EQ(out.frames[1]->image->colors()[3], (RgbQuad{rgb[2], rgb[1], rgb[0], 0}));
}

TEST(GifReader, TransparencyOverlayAndRestore) {
    // Middle frame: transparent, not restored -> overlay.  A single
    // transparent last frame is switched to restore to background.
    const auto out = read(GifBuilder(2, 2)
                              .image(0, 0, 2, 2, fourPixels)
                              .control(5, 2)
                              .image(0, 0, 2, 2, fourPixels)
                              .control(5, 3)
                              .image(0, 0, 2, 2, fourPixels)
                              .trailer());
    ASSERT_EQ(out.frames.size(), 3u);
    EXPECT_TRUE(out.frames[1]->overlay);
    EXPECT_FALSE(out.frames[1]->restoreToBackground);
    EXPECT_EQ(out.frames[1]->transparentIndex, 2);
    EXPECT_TRUE(out.frames[2]->restoreToBackground);
    EXPECT_FALSE(out.frames[2]->overlay);

    const auto single = read(GifBuilder(2, 2).control(5, 1).image(0, 0, 2, 2, fourPixels).trailer());
    ASSERT_EQ(single.frames.size(), 1u);
    EXPECT_TRUE(single.frames[0]->restoreToBackground);
    EXPECT_FALSE(single.frames[0]->overlay);
}

TEST(GifReader, BackgroundIndexOnlyWhenInsideTheTable) {
    EXPECT_EQ(read(GifBuilder(2, 2, 4, 3).image(0, 0, 2, 2, fourPixels).trailer()).frames[0]->backgroundIndex, 3);
    EXPECT_EQ(read(GifBuilder(2, 2, 4, 9).image(0, 0, 2, 2, fourPixels).trailer()).frames[0]->backgroundIndex, -1);
}

TEST(GifReader, CommentsBecomeCommentFrames) {
    const std::string text(300, 'x');
    const auto out = read(GifBuilder(2, 2).comment(text).image(0, 0, 2, 2, fourPixels).trailer());
    ASSERT_EQ(out.frames.size(), 2u);
    ASSERT_TRUE(out.frames[0]->isComment);
    const auto& comment = static_cast<const TTextFrame&>(*out.frames[0]);
    EXPECT_EQ(comment.getText(), text);
    EXPECT_EQ(comment.blocks().size(), 2u);
    EXPECT_EQ(out.frames[1]->name, "anim.gif.000");
}

TEST(GifReader, RejectsWhatIsNotAGif) {
    struct Case {
        Bytes bytes;
        int result;
    };
    const Case cases[] = {
        {{}, GifCorrupt},
        {{'G', 'I', 'F'}, GifCorrupt},
        // Only the signature identifies a GIF: a fourth byte '8' is not enough.
        {GifBuilder(2, 2, 4, 0, "XYZ89a").image(0, 0, 2, 2, fourPixels).trailer().bytes(), GifCorrupt},
        {GifBuilder(2, 2, 4, 0, "GIF87a").image(0, 0, 2, 2, fourPixels).trailer().bytes(), GifOk},
        {GifBuilder(2, 2).rawImage(0, 0, 0, 2, {2, 0}).trailer().bytes(), GifCorrupt},      // zero width
        {GifBuilder(2, 2).rawImage(0, 0, 2, 2, {12, 0}).trailer().bytes(), GifCorrupt},     // code size 12
        {GifBuilder(2, 2).rawImage(0, 0, 2, 2, {0, 0}).trailer().bytes(), GifCorrupt},      // code size 0
    };
    for (const Case& c : cases) EXPECT_EQ(readGifMemory(c.bytes, "x").result, c.result);
}

TEST(GifReader, AcceptsCodeSizeOne) {
    const auto out = read(GifBuilder(2, 1, 2).rawImage(0, 0, 2, 1, test::packCodes(1, {{2, 2}, {1, 2}, {0, 2}, {3, 3}})).trailer());
    EXPECT_EQ(out.result, GifOk);
    ASSERT_EQ(out.frames.size(), 1u);
    EXPECT_EQ(test::pixelsOf(*out.frames[0]->image), (std::vector<uint8_t>{1, 0}));
}

TEST(GifReader, LargeCodeSizesHoldOnlyEightBitIndices) {
    // Code size 11: clear is 2048, codes start 12 bits wide.
    const auto ok = read(GifBuilder(2, 1).rawImage(0, 0, 2, 1, test::packCodes(11, {{2048, 12}, {200, 12}, {7, 12}, {2049, 12}})).trailer());
    EXPECT_EQ(ok.result, GifOk);
    ASSERT_EQ(ok.frames.size(), 1u);
    EXPECT_EQ(test::pixelsOf(*ok.frames[0]->image), (std::vector<uint8_t>{200, 7}));
    const auto wide = read(GifBuilder(2, 1).rawImage(0, 0, 2, 1, test::packCodes(11, {{2048, 12}, {1000, 12}, {7, 12}, {2049, 12}})).trailer());
    EXPECT_EQ(wide.result, GifCorrupt);
    EXPECT_TRUE(wide.frames.empty());
}

TEST(GifReader, EndOfFileInPlaceOfTrailerIsAccepted) {
    const auto out = read(GifBuilder(2, 2).image(0, 0, 2, 2, fourPixels));
    EXPECT_EQ(out.result, GifOk);
    EXPECT_EQ(out.frames.size(), 1u);
}

TEST(GifReader, ImageCutOffByEndOfFileIsDropped) {
    Bytes bytes = GifBuilder(4, 4).image(0, 0, 2, 2, fourPixels).image(0, 0, 4, 4, std::vector<uint8_t>(16, 1)).bytes();
    bytes.resize(bytes.size() - 3);
    const auto out = readGifMemory(bytes, "cut.gif");
    EXPECT_EQ(out.result, GifCorrupt);
    EXPECT_EQ(out.frames.size(), 1u);
}

TEST(GifReader, ExtensionCutOffByEndOfFileIsCorrupt) {
    Bytes bytes = GifBuilder(2, 2).image(0, 0, 2, 2, fourPixels).comment("hello").bytes();
    bytes.resize(bytes.size() - 2);
    const auto out = readGifMemory(bytes, "cut.gif");
    EXPECT_EQ(out.result, GifCorrupt);
    EXPECT_EQ(out.frames.size(), 1u);  // the comment in progress is dropped
}

TEST(GifReader, HugeDeclaredImagesHitTheLimitsNotTheMemory) {
    // Each image declares 65535 x 65535 pixels but carries no data at all.
    GifBuilder gif(2, 2);
    gif.image(0, 0, 2, 2, fourPixels);
    for (int i = 0; i < 50; ++i) gif.rawImage(0, 0, 65535, 65535, {2, 0});
    GifReadOptions options;
    options.limits.maxImagePixels = 1 << 20;
    options.limits.maxTotalBytes = 8 << 20;
    options.limits.maxFrames = 1000;
    const auto out = read(gif, options);
    EXPECT_EQ(out.result, GifNoMemory);
    EXPECT_EQ(out.frames.size(), 1u);

    // Many small frames exhaust the per-file budget the same way.
    GifBuilder many(16, 16);
    for (int i = 0; i < 200; ++i) many.rawImage(0, 0, 16, 16, {2, 0});
    options.limits.maxTotalBytes = 100 * (16 * 16 + 1024);
    const auto capped = read(many, options);
    EXPECT_EQ(capped.result, GifNoMemory);
    EXPECT_GT(capped.frames.size(), 10u);
    EXPECT_LT(capped.frames.size(), 200u);

    // A small image placed far out makes the screen it is composed on huge.
    GifBuilder farOut(2, 2);
    farOut.image(0, 0, 2, 2, fourPixels).image(65000, 65000, 2, 2, fourPixels).trailer();
    options.limits = DecodeLimits::defaults();
    const auto placed = read(farOut, options);
    EXPECT_EQ(placed.result, GifNoMemory);
    EXPECT_EQ(placed.frames.size(), 1u);
}

TEST(GifReader, LimitsCountEveryFrameAndTheScreenTheyMakeTogether) {
    GifReadOptions options;
    // Two frames each fine on its own, far apart: together they need a
    // screen of 60002 x 60002.
    GifBuilder apart(2, 2);
    apart.image(60000, 0, 2, 2, fourPixels).image(0, 60000, 2, 2, fourPixels).trailer();
    const auto spread = read(apart, options);
    EXPECT_EQ(spread.result, GifNoMemory);
    EXPECT_EQ(spread.frames.size(), 1u);

    // The frame limit, comments counted: one frame over it is refused.
    options.limits.maxFrames = 3;
    GifBuilder three(2, 2), four(2, 2);
    three.comment("a").image(0, 0, 2, 2, fourPixels).comment("b").trailer();
    four.comment("a").image(0, 0, 2, 2, fourPixels).comment("b").comment("c").trailer();
    EXPECT_EQ(read(three, options).result, GifOk);
    const auto over = read(four, options);
    EXPECT_EQ(over.result, GifNoMemory);
    EXPECT_EQ(over.frames.size(), 3u);

    // Comment text counts against the decoded bytes.
    options.limits = DecodeLimits::defaults();
    options.limits.maxTotalBytes = 64 << 10;
    GifBuilder talk(2, 2);
    for (int i = 0; i < 40; ++i) talk.comment(std::string(250, 'x') + std::string(250, 'y') + std::string(1600, 'z'));
    const auto talked = read(talk.trailer(), options);
    EXPECT_EQ(talked.result, GifNoMemory);
    EXPECT_LT(talked.frames.size(), 40u);
}

TEST(GifReader, AFramePastTheLastCoordinateIsToldAsSuch) {
    // Past 65535 no screen can show it: not a memory failure, whatever
    // size the screen would be.
    for (const auto& [left, top, w, h] : {std::array{65535, 0, 1, 1}, std::array{0, 65534, 4, 2},
                                          std::array{65520, 65520, 32, 32}}) {
        GifBuilder gif(2, 2);
        gif.image(0, 0, 2, 2, fourPixels).image(left, top, w, h, std::vector<uint8_t>(size_t(w * h), 1)).trailer();
        const auto out = read(gif, {});
        EXPECT_EQ(out.result, GifOutsideScreen) << left << "," << top;
        EXPECT_EQ(out.frames.size(), 1u);
    }
    GifBuilder edge(2, 2);
    edge.image(65533, 0, 2, 2, fourPixels).trailer();
    EXPECT_EQ(read(edge, {}).result, GifOk);
    EXPECT_EQ(gifResultMessage(GifOutsideScreen, "a.gif"), "File \"a.gif\" \nhas a frame past 65535, where a GIF's screen ends");
}

TEST(GifReader, MissingFileAndProgress) {
    EXPECT_EQ(readGif("/nonexistent/folder/x.gif").result, GifCannotOpen);
    EXPECT_EQ(readGif("/").result, GifCannotOpen);

    std::vector<int> seen;
    GifReadOptions options;
    ProgressFunction record([&](int p) { seen.push_back(p); });
    options.progress = &record;
    read(GifBuilder(2, 2).image(0, 0, 2, 2, fourPixels).image(0, 0, 2, 2, fourPixels).trailer(), options);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 100);
}

TEST(GifReader, ResultMessages) {
    EXPECT_EQ(gifResultMessage(GifNoMemory, "a.gif"), "Failed to allocate memory");
    EXPECT_EQ(gifResultMessage(GifCannotOpen, "a.gif"), "Cannot open file \"a.gif\"");
    EXPECT_EQ(gifResultMessage(GifCorrupt, "a.gif"), "File \"a.gif\" \nis not GIF format or is corrupted");
    EXPECT_EQ(gifResultMessage(GifOk, "a.gif"), "");
}

}  // namespace
}  // namespace movigram
