// Saving frames read from a GIF and not changed since: their image data is
// written back as it was read, and never once the indices written differ.
#include <gtest/gtest.h>

#include "colour/PaletteMapping.h"
#include "document/GifReader.h"
#include "gif/LzwChoiceEncoder.h"
#include "gif/LzwEncoder.h"
#include "save/GifWriter.h"
#include "support/CorpusPath.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using test::Bytes;

// Each image's data as stored: its code size byte, then the sub-blocks'
// contents joined.  Walks the blocks of a well-formed file.
std::vector<Bytes> imageData(const Bytes& gif) {
    std::vector<Bytes> images;
    size_t pos = 13;
    auto skipTable = [&](uint8_t packed) {
        if (packed & 0x80) pos += 3u << ((packed & 7) + 1);
    };
    auto subBlocks = [&](Bytes* into) {
        while (pos < gif.size() && gif[pos] != 0) {
            const size_t n = gif[pos];
            if (into) into->insert(into->end(), gif.begin() + long(pos + 1), gif.begin() + long(pos + 1 + n));
            pos += 1 + n;
        }
        ++pos;
    };
    skipTable(gif[10]);
    while (pos < gif.size() && gif[pos] != 0x3B) {
        if (gif[pos] == 0x21) {
            pos += 2;
            subBlocks(nullptr);
        } else if (gif[pos] == 0x2C) {
            const uint8_t packed = gif[pos + 9];
            pos += 10;
            skipTable(packed);
            Bytes data{gif[pos++]};
            subBlocks(&data);
            images.push_back(std::move(data));
        } else {
            ++pos;
        }
    }
    return images;
}

Bytes save(const GifReadOutput& read, const TMyPalette& global) {
    ByteSink sink;
    EXPECT_TRUE(writeGifTo(sink, read.frames.front().get(), global, {}));
    return sink.bytes();
}

std::vector<uint8_t> picture(int width, int height) {
    std::vector<uint8_t> pixels(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels[size_t(y * width + x)] = uint8_t((x / 6 + y / 5 * 3 + (x * y) % 7 / 6) % 16);
    return pixels;
}

// A GIF of one 48 x 20 image on 16 colours (a local table when local) whose
// data another encoder wrote: the choice encoder without the leading clear
// code, which our plain encoder always writes.
Bytes foreignGif(bool local = false) {
    const std::vector<uint8_t> pixels = picture(48, 20);
    LzwChoiceOptions options;
    options.leadingClear = false;
    std::vector<uint8_t> data;
    LzwChoiceEncoder().encode(pixels.data(), nullptr, 0, pixels.size(), 4, options, data);
    test::GifBuilder gif(60, 30, local ? 0 : 16);
    gif.control(10).rawImage(5, 4, 48, 20, data, local ? 16 : 0).trailer();
    return gif.bytes();
}

GifReadOutput readBack(const Bytes& bytes) {
    GifReadOutput read = readGifMemory(bytes, "x.gif");
    EXPECT_EQ(read.result, GifOk);
    return read;
}

TEST(Resave, UntouchedImagesKeepTheDataAnotherEncoderWrote) {
    const Bytes input = foreignGif();
    GifReadOutput read = readBack(input);
    ByteSink ours;
    LzwEncoder().encode(picture(48, 20).data(), 48, 48, 20, 4, ours);
    test::GifBuilder plain(60, 30);
    plain.rawImage(5, 4, 48, 20, ours.bytes()).trailer();
    ASSERT_NE(imageData(input), imageData(plain.bytes())) << "the input must not be what we would write";

    const Bytes output = save(read, *read.globalPalette);
    EXPECT_EQ(imageData(output), imageData(input));
    // A copy of the frame, as the undo record and the save make, shares it.
    auto copy = read.frames[0]->clone();
    EXPECT_EQ(copy->original, read.frames[0]->original);
}

// Every image written with the code size it was read with keeps its data,
// but for the few whose data is so large that they are encoded anew as
// well, and then ours is written only when it is smaller.
TEST(Resave, UntouchedCorpusFilesKeepTheirImageData) {
    MOVIGRAM_REQUIRE_CORPUS();
    const auto files = test::corpusFiles("real-world", {".gif"});
    ASSERT_FALSE(files.empty());
    size_t kept = 0, images = 0;
    for (const auto& path : files) {
        const Bytes input = test::fileBytes(path);
        GifReadOutput read = readGifMemory(input, "x.gif");
        ASSERT_EQ(read.result, GifOk) << path;
        const std::vector<Bytes> in = imageData(input);
        const std::vector<Bytes> out = imageData(save(read, read.globalPalette.value_or(TMyPalette())));
        ASSERT_EQ(out.size(), in.size()) << path;
        for (size_t i = 0; i < in.size(); ++i) {
            if (out[i][0] != in[i][0]) continue;
            ++images;
            kept += out[i] == in[i];
            EXPECT_TRUE(out[i] == in[i] || out[i].size() < in[i].size())
                << path << ": image " << i << ", " << out[i].size() << " bytes written, " << in[i].size() << " read";
        }
    }
    EXPECT_GT(kept, images * 9 / 10) << kept << " of " << images << " images kept their data";
}

TEST(Resave, AnEditedImageIsEncodedAnew) {
    GifReadOutput read = readBack(foreignGif());
    TDib256& image = *read.frames[0]->image;
    image.setPixel(20, 10, uint8_t((image.pixel(20, 10) + 1) % 16));
    const std::vector<uint8_t> edited = test::pixelsOf(image);

    GifReadOutput back = readBack(save(read, *read.globalPalette));
    EXPECT_EQ(test::pixelsOf(*back.frames[0]->image), edited);
}

TEST(Resave, APaletteThatChangesTheIndicesOrTheirCodeSizeHasTheImageEncodedAnew) {
    // The same colours in the opposite order: every index changes, the code
    // size does not.
    {
        GifReadOutput read = readBack(foreignGif(true));
        TFrame& frame = *read.frames[0];
        TMyPalette reversed = TMyPalette::fromColorTable(frame.image->colors(), 16);
        for (int i = 0; i < 16; ++i) reversed.setEntry(i, frame.localPalette->entry(15 - i));
        mapToPalette(*frame.image, reversed, true, false);
        frame.localPalette = std::make_unique<TMyPalette>(reversed);
        std::vector<uint8_t> expected = picture(48, 20);
        for (uint8_t& v : expected) v = uint8_t(15 - v);
        ASSERT_EQ(test::pixelsOf(*frame.image), expected);

        GifReadOutput back = readBack(save(read, TMyPalette()));
        EXPECT_EQ(test::pixelsOf(*back.frames[0]->image), expected);
    }
    // A global palette of 32 colours: the same indices with code size 5.
    {
        GifReadOutput read = readBack(foreignGif());
        const Bytes output = save(read, test::testPalette(32));
        EXPECT_EQ(imageData(output)[0][0], 5);
        GifReadOutput back = readBack(output);
        EXPECT_EQ(test::pixelsOf(*back.frames[0]->image), picture(48, 20));
    }
}

TEST(Resave, ACroppedImageIsEncodedAnewAndAMovedOneKeepsItsData) {
    const Bytes input = foreignGif();
    const TRect rect{5, 4, 53, 24};
    // The first row, then the first column, cut off.
    for (const TRect& part : {TRect{5, 5, 53, 24}, TRect{6, 4, 53, 24}}) {
        GifReadOutput read = readBack(input);
        read.frames[0]->crop(part);
        const std::vector<uint8_t> cropped = test::pixelsOf(*read.frames[0]->image);
        GifReadOutput back = readBack(save(read, *read.globalPalette));
        EXPECT_EQ(back.frames[0]->rect, part);
        EXPECT_EQ(test::pixelsOf(*back.frames[0]->image), cropped);
    }
    GifReadOutput read = readBack(input);
    ASSERT_EQ(read.frames[0]->rect, rect);
    read.frames[0]->moveTo({0, 0});
    const Bytes output = save(read, *read.globalPalette);
    EXPECT_EQ(imageData(output), imageData(input));
    EXPECT_EQ(readBack(output).frames[0]->rect, (TRect{0, 0, 48, 20}));
}

// Data that only decodes through a leniency of our reader would show
// otherwise elsewhere, and interlaced data holds its rows in another order
// than a save writes them: neither is kept.
TEST(Resave, OnlyDataEveryDecoderReadsAlikeIsKept) {
    struct Case {
        const char* what;
        int width;
        std::vector<std::pair<int, int>> codes;
        bool interlaced, kept;
    };
    const Case cases[] = {
        {"exact", 4, {{4, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 4}, {5, 4}}, false, true},
        {"interlaced", 4, {{4, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 4}, {5, 4}}, true, false},
        {"missing pixels", 4, {{4, 3}, {0, 3}, {1, 3}, {5, 3}}, false, false},
        {"extra pixels", 2, {{4, 3}, {0, 3}, {1, 3}, {2, 3}, {5, 4}}, false, false},
        {"first code past the alphabet", 1, {{4, 3}, {6, 3}, {5, 3}}, false, false},
    };
    for (const Case& c : cases) {
        test::GifBuilder gif(4, 1);
        gif.rawImage(0, 0, c.width, 1, test::packCodes(2, c.codes), 0, c.interlaced).trailer();
        GifReadOutput read = readBack(gif.bytes());
        ASSERT_EQ(read.frames.size(), 1u) << c.what;
        EXPECT_EQ(read.frames[0]->original != nullptr, c.kept) << c.what;
    }
}

}  // namespace
}  // namespace movigram
