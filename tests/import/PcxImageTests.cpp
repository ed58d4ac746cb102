// PCX files: plane assembly, palettes by version, 24-bit order and run
// decoding.
#include <gtest/gtest.h>

#include "ImportTestFiles.h"
#include "import/ImageReaders.h"
#include "import/PcxImage.h"

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

}  // namespace
}  // namespace movigram
