// ".qcx" files: value tables, nibble runs, row ends and drawing into an
// existing image.
#include <gtest/gtest.h>

#include "ImportTestFiles.h"
#include "import/ImageReaders.h"
#include "import/QcxReader.h"

namespace movigram {
namespace {

using namespace test;

// ".qcx" files

Bytes qcxFile(int kind, int width, int height, const Bytes& runs, int bytesPerLine = 0,
              const std::vector<Rgb8>& colors = {}, const std::vector<Rgb8>& trailer = {}) {
    PcxSpec layout;
    layout.manufacturer = uint8_t(kind);
    layout.width = width, layout.height = height, layout.bytesPerLine = bytesPerLine ? bytesPerLine : width;
    layout.headerColors = colors;
    layout.colorMask = 0x8001;
    layout.encoded = runs;
    Bytes file = pcxFile(layout);
    // Kind 10 keeps its 768-byte palette at the very end, without marker.
    for (const Rgb8& c : trailer) file.insert(file.end(), {c.red, c.green, c.blue});
    return file;
}

TEST(QcxReader, NibbleRunsOfEveryLength) {
    // 0xF3 0x20: 33 pixels of 3; 0xF5 0x01 0x00: 256 of 5; 0x1A: 2 of 10.
    const Bytes file = qcxFile(14, 300, 1, {0xF3, 0x20, 0xF5, 0x01, 0x00, 0x1A});
    auto image = decodeQcx(file);
    ASSERT_TRUE(image);
    for (int x = 0; x < 300; ++x) {
        const int expected = x < 33 ? 3 : x < 289 ? 5 : x < 291 ? 10 : 0;
        ASSERT_EQ(image->pixel(x, 0), expected) << x;
    }
    EXPECT_EQ(image->fixedColorMask, 0x8001);
}

TEST(QcxReader, KindTwelveScalesItsColoursAndLightensBlack) {
    std::vector<Rgb8> colors(16);
    colors[1] = {63, 10, 0};
    auto image = decodeQcx(qcxFile(12, 2, 1, {0x00, 0x01}, 2, colors));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->colors()[0], (RgbQuad{1, 1, 1, 0}));
    EXPECT_EQ(colorAt(*image, 1, 0), (Rgb8{255, 40, 0}));
}

TEST(QcxReader, KindTenTakesEachColourOnce) {
    std::vector<Rgb8> trailer(256);
    trailer[1] = {200, 0, 0}, trailer[2] = {200, 0, 0}, trailer[3] = {0, 90, 0};
    auto image = decodeQcx(qcxFile(10, 5, 1, {0x01, 0x02, 0x03, 0x00, 0xC1, 0x03}, 5, {}, trailer));
    ASSERT_TRUE(image);
    const std::vector<int> expected = {1, 1, 2, 0, 2};
    for (int x = 0; x < 5; ++x) EXPECT_EQ(image->pixel(x, 0), expected[size_t(x)]);
    EXPECT_EQ(image->colorsImportant, 3);
    EXPECT_EQ(colorAt(*image, 2, 0), (Rgb8{0, 90, 0}));
    EXPECT_EQ(image->colors()[0], (RgbQuad{1, 1, 1, 0}));
}

TEST(QcxReader, KindTenWithMoreColoursThanEntriesStaysInTheTable) {
    std::vector<Rgb8> trailer;
    for (int i = 0; i < 256; ++i) trailer.push_back({uint8_t(i), 1, 2});  // 256 colours, none black
    Bytes runs;
    for (int i = 0; i < 256; ++i) {
        if (i >= 0xC0) runs.push_back(0xC1);
        runs.push_back(uint8_t(i));
    }
    auto image = decodeQcx(qcxFile(10, 256, 1, runs, 256, {}, trailer));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->colorsImportant, 256);
    EXPECT_EQ(colorAt(*image, 254, 0), (Rgb8{254, 1, 2}));
    EXPECT_EQ(colorAt(*image, 255, 0), (Rgb8{254, 1, 2}));  // the nearest one
}

TEST(QcxReader, RowEndsCutRunsAndSkipPadding) {
    // Width 3, 5 bytes per line: the run of 3 fills row 0, two raw bytes are
    // skipped; row 1 starts with a run of 10 that is cut at its end.
    auto image = decodeQcx(qcxFile(14, 3, 3, {0x21, 0xEE, 0xEE, 0x92, 0x04}, 5));
    ASSERT_TRUE(image);
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(image->pixel(x, 0), 1);
        EXPECT_EQ(image->pixel(x, 1), 2);
        EXPECT_EQ(image->pixel(x, 2), 4 * (x == 0));
    }
}

TEST(QcxReader, DrawsIntoAnImageClippedWithOffsetAndSkipValue) {
    TDib256 target(4, 4);
    target.fill(9);
    std::vector<Rgb8> colors(16);
    colors[1] = {63, 2, 10};
    // 3 x 2 of kind 12: row 0 = 1 0 2, row 1 = 2 2 2, drawn at (2, 3): only
    // the first two pixels of row 0 land on the target, and value 0 is skipped.
    const Bytes file = qcxFile(12, 3, 2, {0x01, 0x00, 0x02, 0x22}, 3, colors);
    QcxOptions options;
    options.colorOffset = 16;
    options.skipValue = 0;
    ASSERT_TRUE(drawQcx(std::span<const uint8_t>(file), target, 2, 3, options));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(target.pixel(x, y), x == 2 && y == 3 ? 17 : 9) << x << "," << y;
    EXPECT_EQ(target.colors()[17], (RgbQuad{40, 8, 255, 0}));
}

TEST(QcxReader, RefusesOtherHeadersAndFindsFilesInSearchFolders) {
    Bytes bad = qcxFile(14, 2, 1, {0x10});
    bad[3] = 4;
    EXPECT_FALSE(decodeQcx(bad));
    bad = qcxFile(14, 2, 1, {0x10});
    bad[65] = 2;
    EXPECT_FALSE(decodeQcx(bad));
    EXPECT_FALSE(decodeQcx(qcxFile(11, 2, 1, {0x10})));
    EXPECT_FALSE(decodeQcx(qcxFile(10, 2, 1, {0x10})));  // no room for its palette

    ScratchDir dir;
    dir.write("button.qcx", qcxFile(14, 2, 1, {0x17}));
    QcxOptions options;
    options.searchFolders = {dir.path("none"), dir.path("")};
    auto image = readQcx("button.qcx", options);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(1, 0), 7);
    EXPECT_FALSE(readQcx("button.qcx"));
}

}  // namespace
}  // namespace movigram
