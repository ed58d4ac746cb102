// Large images stay parked as LZW data and are decoded when looked at:
// what they decode to is what was read or written since, whatever the
// order of parking, edits, palette changes and saves.
#include <gtest/gtest.h>

#include <thread>

#include "colour/PaletteMapping.h"
#include "document/FrameCache.h"
#include "document/GifReader.h"
#include "save/GifWriter.h"
#include "support/CorpusPath.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using test::Bytes;

constexpr int W = 320, H = 240;  // large enough to be read parked

std::vector<uint8_t> picture(int seed) {
    std::vector<uint8_t> pixels(size_t(W) * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            pixels[size_t(y * W + x)] = uint8_t(((x + seed * 7) / 9 + (y / 5) * 3 + seed) % 13 + 1);
    return pixels;
}

// frames images of W x H on 16 colours, image i drawn from picture(i).
Bytes largeGif(int frames) {
    test::GifBuilder gif(W, H, 16);
    for (int i = 0; i < frames; ++i) gif.control(10).image(0, 0, W, H, picture(i));
    gif.trailer();
    return gif.bytes();
}

GifReadOutput readBack(const Bytes& bytes) {
    GifReadOutput read = readGifMemory(bytes, "x.gif");
    EXPECT_EQ(read.result, GifOk);
    return read;
}

Bytes save(TFrame* first, const TMyPalette& global) {
    ByteSink sink;
    EXPECT_TRUE(writeGifTo(sink, first, global, {}));
    return sink.take();
}

TEST(Parking, AParkedImageDecodesToTheImageAsRead) {
    GifReadOutput read = readBack(largeGif(3));
    ASSERT_EQ(read.frames.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        TDib256& image = *read.frames[size_t(i)]->image;
        ASSERT_TRUE(image.isParked());
        // Its values are known without decoding, and a copy stays parked.
        for (int v = 0; v < 256; ++v)
            EXPECT_EQ(*image.knownUses(uint8_t(v)), v >= 1 && v <= 13) << v;
        const TDib256 copy(image);
        EXPECT_TRUE(copy.isParked());
        EXPECT_EQ(test::pixelsOf(copy), picture(i));
        EXPECT_EQ(test::pixelsOf(image), picture(i));
        // Decoded and not written since, the values are still known: a
        // reader on another thread may have decoded the image meanwhile.
        EXPECT_FALSE(image.isParked());
        EXPECT_EQ(image.knownUses(13), std::optional<bool>(true));
        // Parked again untouched, and decoded again.
        image.park();
        EXPECT_TRUE(image.isParked());
        EXPECT_EQ(test::pixelsOf(image), picture(i));
    }
}

// Several threads decoding one parked image at once all see it whole.
TEST(Parking, ThreadsDecodingTheSameImageSeeTheSamePixels) {
    GifReadOutput read = readBack(largeGif(1));
    const TDib256& image = *read.frames[0]->image;
    ASSERT_TRUE(image.isParked());
    std::vector<std::vector<uint8_t>> seen(4);
    std::vector<std::thread> threads;
    for (auto& pixels : seen) threads.emplace_back([&] { pixels = test::pixelsOf(image); });
    for (auto& t : threads) t.join();
    for (const auto& pixels : seen) EXPECT_EQ(pixels, picture(0));
}

// The pictures the reader paints as it reads are what the frames decode to
// later, for every real-world file.
TEST(Parking, CorpusFramesDecodeAsTheyWereRead) {
    MOVIGRAM_REQUIRE_CORPUS();
    size_t parked = 0;
    for (const auto& path : test::corpusFiles("real-world", {".gif"})) {
        std::vector<std::vector<uint8_t>> painted;
        GifReadOptions options;
        options.paint = [&](const TFrame& frame) { painted.push_back(test::pixelsOf(*frame.image)); };
        GifReadOutput read = readGifMemory(test::fileBytes(path), "x.gif", options);
        ASSERT_EQ(read.result, GifOk) << path;
        ASSERT_EQ(painted.size(), read.frames.size()) << path;
        for (size_t i = 0; i < painted.size(); ++i) {
            const TDib256& image = *read.frames[i]->image;
            parked += image.isParked();
            ASSERT_EQ(test::pixelsOf(image), painted[i]) << path << ": frame " << i;
        }
    }
    EXPECT_GT(parked, 0u) << "no frame of the corpus was read parked";
}

TEST(Parking, AnEditedImageParksAsEditedAndIsNeverWrittenFromItsOldData) {
    GifReadOutput read = readBack(largeGif(2));
    TDib256& image = *read.frames[0]->image;
    image.setPixel(100, 50, 15);
    std::vector<uint8_t> edited = picture(0);
    edited[size_t(50 * W + 100)] = 15;
    image.park();
    ASSERT_TRUE(image.isParked());
    EXPECT_TRUE(*image.knownUses(15));
    EXPECT_EQ(test::pixelsOf(image), edited);
    image.setPixel(0, 0, 2);
    EXPECT_FALSE(image.knownUses(2)) << "written since: the kept data no longer tells";
    edited[0] = 2;

    GifReadOutput back = readBack(save(read.frames[0].get(), *read.globalPalette));
    EXPECT_EQ(test::pixelsOf(*back.frames[0]->image), edited);
    EXPECT_EQ(test::pixelsOf(*back.frames[1]->image), picture(1));
}

// A palette that moves the colours remaps a parked image without decoding
// it; the data read no longer serves, and the save writes the new values.
TEST(Parking, APaletteChangeRemapsAParkedImageAndItsDataIsNotReused) {
    GifReadOutput read = readBack(largeGif(1));
    TFrame& frame = *read.frames[0];
    TMyPalette reversed;
    for (int i = 0; i < 16; ++i) reversed.setEntry(i, read.globalPalette->entry(15 - i));
    reversed.colorCount = 16;
    mapToPalette(*frame.image, reversed, true, false);
    EXPECT_TRUE(frame.image->isParked());
    std::vector<uint8_t> mapped = picture(0);
    for (uint8_t& v : mapped) v = uint8_t(15 - v);
    EXPECT_TRUE(*frame.image->knownUses(14));
    EXPECT_FALSE(*frame.image->knownUses(1));

    GifReadOutput back = readBack(save(&frame, reversed));
    EXPECT_EQ(test::pixelsOf(*back.frames[0]->image), mapped);
    // Written to and parked again, it is checked against the mapped values.
    frame.image->setPixel(0, 0, frame.image->pixel(0, 0));
    frame.image->park();
    EXPECT_EQ(test::pixelsOf(*frame.image), mapped);
}

// The editor keeps what was decoded last and lets the rest go.
TEST(Parking, IdleFramesBeyondTheBudgetAreParkedLeastRecentlyDecodedFirst) {
    GifReadOutput read = readBack(largeGif(5));
    FrameList list;
    list.appendChain(std::move(read.frames));
    for (int i : {3, 0, 4, 1, 2}) test::pixelsOf(*list.frameAt(i)->image);
    const uint64_t oneImage = list.frameAt(0)->image->byteSize();
    parkIdleFrames(list, 2 * oneImage);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(list.frameAt(i)->image->isParked(), i == 3 || i == 0 || i == 4) << i;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(test::pixelsOf(*list.frameAt(i)->image), picture(i)) << i;
}

// A save of a long animation parks each image once written; the file is
// the same as when every image stays decoded.
TEST(Parking, ASaveThatParksWritesTheSameFile) {
    GifReadOutput read = readBack(largeGif(3));
    FrameList list;
    list.appendChain(std::move(read.frames));
    TFrame* first = threadFrames(list, false);
    list.frameAt(1)->image->setPixel(3, 3, 14);
    for (int i = 0; i < 3; ++i) test::pixelsOf(*list.frameAt(i)->image);
    const Bytes kept = save(first, *read.globalPalette);
    GifWriteOptions options;
    options.parkBeyond = 0;
    ByteSink sink;
    ASSERT_TRUE(writeGifTo(sink, first, *read.globalPalette, options));
    EXPECT_EQ(sink.bytes(), kept);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(list.frameAt(i)->image->isParked()) << i;
}

}  // namespace
}  // namespace movigram
