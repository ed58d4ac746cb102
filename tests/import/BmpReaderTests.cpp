// The bitmap reader: every depth and row order, the run-length codings,
// bit fields, and files it must refuse without reading out of bounds.
#include <gtest/gtest.h>

#include "ImportTestFiles.h"
#include "import/BmpReader.h"

namespace movigram {
namespace {

using namespace test;

std::vector<Rgb8> testColors(int n) {
    std::vector<Rgb8> colors;
    for (int i = 0; i < n; ++i) colors.push_back({uint8_t(i * 37), uint8_t(255 - i * 11), uint8_t(i * 5 + 3)});
    return colors;
}

struct IndexedCase {
    int bitCount;
    int headerSize;
    bool topDown;
};

class BmpIndexed : public ::testing::TestWithParam<IndexedCase> {};

// Width 13 leaves a partial last byte and row padding at every depth.
TEST_P(BmpIndexed, EveryPixelKeepsItsValueAndColour) {
    const IndexedCase c = GetParam();
    const int w = 13, h = 5, colors = 1 << c.bitCount;
    auto value = [&](int x, int y) { return (x + 3 * y) % colors; };
    BmpSpec layout;
    layout.headerSize = c.headerSize;
    layout.width = w;
    layout.height = c.topDown ? -h : h;
    layout.bitCount = c.bitCount;
    layout.palette = testColors(colors);
    layout.pixels = packIndexedRows(w, h, c.bitCount, value, c.topDown);

    DecodedImage decoded = decodeBmp(bmpFile(layout));
    ASSERT_TRUE(decoded.indexed);
    const TDib256& image = *decoded.indexed;
    ASSERT_EQ(image.width(), w);
    ASSERT_EQ(image.height(), h);
    EXPECT_EQ(image.colorsUsed, colors);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            ASSERT_EQ(image.pixel(x, y), value(x, y)) << x << "," << y;
            ASSERT_EQ(colorAt(image, x, y), layout.palette[size_t(value(x, y))]);
        }
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpIndexed,
                         ::testing::Values(IndexedCase{1, 40, false}, IndexedCase{1, 40, true},
                                           IndexedCase{2, 40, false}, IndexedCase{4, 40, false},
                                           IndexedCase{4, 108, true}, IndexedCase{8, 40, false},
                                           IndexedCase{8, 124, true}, IndexedCase{8, 12, false},
                                           IndexedCase{1, 12, false}));

TEST(BmpReader, Rle8RunsLiteralsDeltasAndClipping) {
    BmpSpec layout;
    layout.width = 8, layout.height = 3, layout.compression = 1;
    layout.palette = testColors(8);
    layout.pixels = {0x03, 0x01,                          // three 1s
                   0x00, 0x03, 0x02, 0x03, 0x04, 0x00,  // literal 2 3 4, padded
                   0x00, 0x00,                          // end of line
                   0x00, 0x02, 0x05, 0x01,              // delta to (5, 2)
                   0x0A, 0x07,                          // ten 7s, cut at the right edge
                   0x00, 0x01};
    DecodedImage decoded = decodeBmp(bmpFile(layout));
    ASSERT_TRUE(decoded.indexed);
    const TDib256& image = *decoded.indexed;
    // Rows count from the bottom; pixels never reached stay 0.
    const std::vector<std::vector<int>> expected = {
        {0, 0, 0, 0, 0, 7, 7, 7}, {0, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 1, 2, 3, 4, 0, 0}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(image.pixel(x, y), expected[size_t(y)][size_t(x)]) << x << "," << y;
}

TEST(BmpReader, FiveFiveFiveGoesToTheQuantiserUnchanged) {
    for (const bool explicitMasks : {false, true}) {
        BmpSpec layout;
        layout.width = 3, layout.height = 2, layout.bitCount = 16;
        if (explicitMasks) layout.compression = 3, layout.masks = {0x7C00, 0x03E0, 0x001F};
        const uint16_t words[2][3] = {{0x7C00, 0x03E0, 0x001F}, {0x7FFF, 0x0000, 0x4210}};
        layout.pixels = packPixelRows(3, 2, 2, [&](int x, int y) { return words[y][x]; });
        DecodedImage decoded = decodeBmp(bmpFile(layout));
        ASSERT_TRUE(decoded.trueColor) << explicitMasks;
        ASSERT_EQ(decoded.trueColor->bitsPerPixel(), 16);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                const uint8_t* p = decoded.trueColor->row(y) + 2 * x;
                EXPECT_EQ(p[0] | p[1] << 8, words[y][x]);
            }
    }
}

// Every layout but 5-5-5 reaches the quantiser as 24 bits.
TEST(BmpReader, OtherPixelLayoutsBecomeTwentyFourBits) {
    struct Case {
        const char* what;
        int headerSize, bitCount;
        uint32_t compression;
        std::vector<uint32_t> masks;
        uint32_t pixel;
        Rgb8 expected;
    };
    const Case cases[] = {
        {"5-6-5", 40, 16, 3, {0xF800, 0x07E0, 0x001F}, 0x0410, {0, 130, 132}},
        {"5-6-5 red", 40, 16, 3, {0xF800, 0x07E0, 0x001F}, 0xF800, {255, 0, 0}},
        {"32 bits, alpha dropped", 40, 32, 0, {}, 0x80102030, {0x10, 0x20, 0x30}},
        {"32 bits, swapped masks in a v4 header", 108, 32, 3, {0xFF, 0xFF00, 0xFF0000}, 0x00332211, {0x11, 0x22, 0x33}},
    };
    for (const Case& c : cases) {
        BmpSpec layout;
        layout.headerSize = c.headerSize, layout.width = 3, layout.height = -2, layout.bitCount = c.bitCount;
        layout.compression = c.compression, layout.masks = c.masks;
        layout.pixels = packPixelRows(
            3, 2, c.bitCount / 8, [&](int x, int y) { return x == 2 && y == 1 ? c.pixel : 0; }, true);
        DecodedImage decoded = decodeBmp(bmpFile(layout));
        ASSERT_TRUE(decoded.trueColor) << c.what;
        EXPECT_EQ(decoded.trueColor->bitsPerPixel(), 24) << c.what;
        EXPECT_EQ(decoded.trueColor->rgbAt(2, 1), c.expected) << c.what;
        EXPECT_EQ(decoded.trueColor->rgbAt(0, 0), (Rgb8{0, 0, 0})) << c.what;
    }
}

TEST(BmpReader, PixelValuesPastTheColourTableAreCountedAsUsed) {
    BmpSpec layout;
    layout.width = 2, layout.height = 1, layout.colorsUsed = 4;
    layout.palette = testColors(4);
    layout.pixels = packIndexedRows(2, 1, 8, [](int x, int) { return x ? 200 : 1; });
    DecodedImage decoded = decodeBmp(bmpFile(layout));
    ASSERT_TRUE(decoded.indexed);
    EXPECT_EQ(decoded.indexed->colorsUsed, 201);
    EXPECT_EQ(colorAt(*decoded.indexed, 1, 0), (Rgb8{0, 0, 0}));
}

BmpSpec validEightBit() {
    BmpSpec layout;
    layout.width = 4, layout.height = 4;
    layout.palette = testColors(4);
    layout.pixels = packIndexedRows(4, 4, 8, [](int x, int) { return x; });
    return layout;
}

TEST(BmpReader, RefusesBrokenFiles) {
    struct Case {
        const char* what;
        std::function<void(BmpSpec&)> change;
    };
    const Case cases[] = {
        {"two planes", [](BmpSpec& s) { s.planes = 2; }},
        {"zero width", [](BmpSpec& s) { s.width = 0; }},
        {"negative width", [](BmpSpec& s) { s.width = -4; }},
        {"zero height", [](BmpSpec& s) { s.height = 0; }},
        {"depth 7", [](BmpSpec& s) { s.bitCount = 7; }},
        {"RLE8 on 16 bits", [](BmpSpec& s) { s.bitCount = 16, s.compression = 1; }},
        {"RLE8 top-down", [](BmpSpec& s) { s.compression = 1, s.height = -4; }},
        {"bit fields on 8 bits",
         [](BmpSpec& s) {
             s.compression = 3, s.masks = {1, 2, 4};
         }},
        {"embedded JPEG", [](BmpSpec& s) { s.compression = 4; }},
        {"header of 66 bytes", [](BmpSpec& s) { s.headerSize = 66; }},
        {"rows cut short", [](BmpSpec& s) { s.pixels.resize(s.pixels.size() - 1); }},
        {"huge width", [](BmpSpec& s) { s.width = 0x7FFFFFFF, s.compression = 1; }},
        {"OS/2 Huffman", [](BmpSpec& s) { s.headerSize = 64, s.bitCount = 16, s.compression = 3; }},
    };
    for (const Case& c : cases) {
        BmpSpec layout = validEightBit();
        c.change(layout);
        EXPECT_FALSE(decodeBmp(bmpFile(layout))) << c.what;
    }
    const Bytes good = bmpFile(validEightBit());
    for (size_t n : {size_t(0), size_t(2), size_t(14), size_t(40), size_t(60)})
        EXPECT_FALSE(decodeBmp(std::span(good.data(), n))) << "first " << n << " bytes";
    Bytes wrongMagic = good;
    wrongMagic[1] = 'A';
    EXPECT_FALSE(decodeBmp(wrongMagic));
}

TEST(BmpReader, LimitsAreCheckedBeforeAnythingIsAllocated) {
    BmpSpec layout;
    layout.width = 60000, layout.height = 60000, layout.compression = 1;  // 3.6 gigapixels in a few bytes
    layout.palette = testColors(2);
    layout.pixels = {0x00, 0x01};
    DecodeLimits limits;
    limits.maxImagePixels = 1 << 20;
    limits.maxTotalBytes = 1 << 22;
    limits.maxFrames = 1;
    EXPECT_FALSE(decodeBmp(bmpFile(layout), limits));
    layout.width = 1000, layout.height = 1000;
    EXPECT_TRUE(decodeBmp(bmpFile(layout), limits));
}

}  // namespace
}  // namespace movigram
