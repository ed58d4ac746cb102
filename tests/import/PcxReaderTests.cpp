// PCX files: plane assembly, palettes by version, 24-bit order and run
// decoding; ".qcx" files: value tables, nibble runs, row ends and drawing
// into an existing image.
#include <gtest/gtest.h>

#include "ImportTestFiles.h"
#include "import/ImageReaders.h"
#include "import/PcxImage.h"
#include "import/QcxReader.h"

namespace movigram {
namespace {

using namespace test;

std::vector<Rgb8> sixteenColors() {
    std::vector<Rgb8> c;
    for (int i = 0; i < 16; ++i) c.push_back({uint8_t(i * 16), uint8_t(i * 8 + 1), uint8_t(255 - i)});
    return c;
}

DecodedImage readPcx(const Bytes& file, const DecodeLimits& limits = DecodeLimits::defaults()) {
    PCXImage pcx(limits);
    if (!pcx.read(std::span<const uint8_t>(file))) return {};
    return pcx.takeImage();
}

TEST(PcxReader, EgaFourPlanesOfWidth33) {
    PcxSpec layout;
    layout.version = 2, layout.bitsPerPixel = 1, layout.planes = 4, layout.width = 33, layout.height = 3;
    layout.headerColors = sixteenColors();
    const int bpl = pcxBytesPerLine(layout);
    ASSERT_EQ(bpl, 6);
    auto value = [](int x, int y) { return (x * 7 + y * 3) % 16; };
    // Plane k carries bit k; the spare bits of every line are set and must
    // be ignored.
    layout.lines.assign(size_t(3 * 4 * bpl), 0);
    for (int y = 0; y < 3; ++y)
        for (int k = 0; k < 4; ++k) {
            uint8_t* line = layout.lines.data() + size_t((y * 4 + k) * bpl);
            line[4] = 0x7F, line[5] = 0xFF;
            for (int x = 0; x < 33; ++x)
                if (value(x, y) >> k & 1) line[x / 8] |= uint8_t(0x80 >> (x % 8));
        }
    DecodedImage decoded = readPcx(pcxFile(layout));
    ASSERT_TRUE(decoded.indexed);
    const TDib256& image = *decoded.indexed;
    ASSERT_EQ(image.width(), 33);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 33; ++x) {
            ASSERT_EQ(image.pixel(x, y), value(x, y)) << x << "," << y;
            ASSERT_EQ(colorAt(image, x, y), layout.headerColors[size_t(value(x, y))]);
        }
}

TEST(PcxReader, TrailerPaletteOnlyFromVersionFive) {
    PcxSpec layout;
    layout.width = 4, layout.height = 2;
    layout.headerColors = sixteenColors();
    for (int i = 0; i < 256; ++i) layout.trailer.push_back({uint8_t(i), uint8_t(255 - i), 7});
    layout.lines = {0, 15, 16, 255, 1, 2, 3, 4};
    for (const int version : {5, 4}) {
        layout.version = uint8_t(version);
        DecodedImage decoded = readPcx(pcxFile(layout));
        ASSERT_TRUE(decoded.indexed);
        const TDib256& image = *decoded.indexed;
        EXPECT_EQ(image.pixel(3, 0), 255);
        if (version == 5) {
            EXPECT_EQ(colorAt(image, 3, 0), (Rgb8{255, 0, 7}));
            EXPECT_EQ(colorAt(image, 1, 0), (Rgb8{15, 240, 7}));
        } else {
            EXPECT_EQ(colorAt(image, 1, 0), layout.headerColors[15]);
            EXPECT_EQ(colorAt(image, 2, 0), (Rgb8{0, 0, 0}));  // past the 16 header colours
        }
    }
}

TEST(PcxReader, OneBitIsBlackAndWhite) {
    PcxSpec layout;
    layout.bitsPerPixel = 1, layout.width = 10, layout.height = 1;
    layout.headerColors = sixteenColors();
    layout.lines = {0xA0, 0x40};  // pixels 0 and 2 set, pixel 9 set
    DecodedImage decoded = readPcx(pcxFile(layout));
    ASSERT_TRUE(decoded.indexed);
    EXPECT_EQ(colorAt(*decoded.indexed, 0, 0), (Rgb8{255, 255, 255}));
    EXPECT_EQ(colorAt(*decoded.indexed, 1, 0), (Rgb8{0, 0, 0}));
    EXPECT_EQ(colorAt(*decoded.indexed, 9, 0), (Rgb8{255, 255, 255}));
}

TEST(PcxReader, ThreePlanesGiveBlueGreenRedAndAreQuantised) {
    const Rgb8 colors[] = {{255, 0, 128}, {0, 128, 255}, {128, 255, 0}};
    PcxSpec layout;
    layout.planes = 3, layout.width = 3, layout.height = 2;
    const int bpl = pcxBytesPerLine(layout);
    layout.lines.assign(size_t(2 * 3 * bpl), 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const Rgb8& c = colors[(x + y) % 3];
            layout.lines[size_t((y * 3 + 0) * bpl + x)] = c.red;
            layout.lines[size_t((y * 3 + 1) * bpl + x)] = c.green;
            layout.lines[size_t((y * 3 + 2) * bpl + x)] = c.blue;
        }
    const Bytes file = pcxFile(layout);
    DecodedImage decoded = readPcx(file);
    ASSERT_TRUE(decoded.trueColor);
    const uint8_t* first = decoded.trueColor->row(0);
    EXPECT_EQ(first[0], 128);  // blue, green, red in memory
    EXPECT_EQ(first[2], 255);

    ScratchDir dir;
    ImportedFile read = readImageFile(dir.write("rgb.pcx", file));
    ASSERT_EQ(read.result, ImportOk);
    ASSERT_TRUE(read.image);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(colorAt(*read.image, x, y), colors[(x + y) % 3]);
}

TEST(PcxReader, RunBytesAndTheirLimits) {
    PcxSpec layout;
    layout.width = 6, layout.height = 2, layout.bytesPerLine = 6;
    // 0xC5 0x07 writes five 7s; 0xC0 writes nothing; 0xFF runs over the end
    // of the buffer and is cut there.
    layout.encoded = {0xC5, 0x07, 0xC0, 0x55, 0x09, 0xFF, 0x03, 0x11};
    DecodedImage decoded = readPcx(pcxFile(layout));
    ASSERT_TRUE(decoded.indexed);
    const TDib256& image = *decoded.indexed;
    for (int x = 0; x < 5; ++x) EXPECT_EQ(image.pixel(x, 0), 7);
    EXPECT_EQ(image.pixel(5, 0), 9);
    for (int x = 0; x < 6; ++x) EXPECT_EQ(image.pixel(x, 1), 3);
}

TEST(PcxReader, RefusesLayoutsItCannotAssemble) {
    struct Case {
        const char* what;
        std::function<void(PcxSpec&)> change;
    };
    const Case cases[] = {
        {"manufacturer 11", [](PcxSpec& s) { s.manufacturer = 11; }},
        {"2 bits in one plane", [](PcxSpec& s) { s.bitsPerPixel = 2; }},
        {"3 planes of 1 bit", [](PcxSpec& s) { s.bitsPerPixel = 1, s.planes = 3; }},
        {"4 planes of 8 bits", [](PcxSpec& s) { s.planes = 4; }},
        {"24 planes of 1 bit", [](PcxSpec& s) { s.bitsPerPixel = 1, s.planes = 24; }},
        {"lines shorter than a row", [](PcxSpec& s) { s.bytesPerLine = 3; }},
    };
    for (const Case& c : cases) {
        PcxSpec layout;
        layout.width = 8, layout.height = 2;
        layout.lines.assign(16, 1);
        c.change(layout);
        EXPECT_FALSE(readPcx(pcxFile(layout))) << c.what;
    }
    PcxSpec inverted;
    inverted.width = 4, inverted.height = 1;
    Bytes file = pcxFile(inverted);
    file[4] = 10;  // xmin past xmax
    EXPECT_FALSE(readPcx(file));
    EXPECT_FALSE(readPcx(Bytes(100, 10)));
    DecodeLimits small = DecodeLimits::defaults();
    small.maxImagePixels = 100;
    PcxSpec big;
    big.width = 20, big.height = 20;
    EXPECT_FALSE(readPcx(pcxFile(big), small));
}

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
