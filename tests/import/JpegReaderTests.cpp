// JPEG import: gray and CMYK files, row order and padding, and files the
// library rejects.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ImportTestFiles.h"
#include "import/ImageReaders.h"
#include "import/JpegReader.h"

namespace movigram {
namespace {

using namespace test;

bool near(const Rgb8& a, const Rgb8& b, int tolerance) {
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance;
}

TEST(JpegReader, GrayFileGivesAPaletteOfGrays) {
    const Bytes file = jpegFile(64, 48, 1, [](int x, int y, uint8_t* s) { s[0] = uint8_t(x * 4 + y); });
    auto decoded = decodeJpeg(file);
    ASSERT_TRUE(decoded);
    for (int y = 0; y < 48; y += 7)
        for (int x = 0; x < 64; x += 5) {
            const Rgb8 c = decoded->rgbAt(x, y);
            EXPECT_TRUE(c.red == c.green && c.green == c.blue);
        }
    ScratchDir dir;
    ImportedFile read = readImageFile(dir.write("gray.jpg", file));
    ASSERT_TRUE(read.image);
    for (const RgbQuad& q : read.image->colors()) EXPECT_TRUE(q.red == q.green && q.green == q.blue);
    EXPECT_GT(read.image->colorsUsed, 16);
}

// 101 pixels of 3 bytes leave one byte of padding per row; the top half is
// red, the bottom half blue, and the left column green.
TEST(JpegReader, OddWidthComesOutUprightAndPadded) {
    auto sample = [](int x, int y, uint8_t* s) {
        const Rgb8 c = x < 8 ? Rgb8{0, 255, 0} : y < 16 ? Rgb8{255, 0, 0} : Rgb8{0, 0, 255};
        s[0] = c.red, s[1] = c.green, s[2] = c.blue;
    };
    const Bytes file = jpegFile(101, 32, 3, sample);
    auto decoded = decodeJpeg(file);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->stride(), 304u);
    EXPECT_TRUE(near(decoded->rgbAt(50, 3), {255, 0, 0}, 8));
    EXPECT_TRUE(near(decoded->rgbAt(50, 28), {0, 0, 255}, 8));

    ScratchDir dir;
    ImportedFile read = readImageFile(dir.write("wide.JPEG", file));
    ASSERT_EQ(read.kind, ImportKind::Jpeg);
    ASSERT_TRUE(read.image);
    ASSERT_EQ(read.image->width(), 101);
    EXPECT_TRUE(near(colorAt(*read.image, 60, 2), {255, 0, 0}, 12));
    EXPECT_TRUE(near(colorAt(*read.image, 60, 29), {0, 0, 255}, 12));
    EXPECT_TRUE(near(colorAt(*read.image, 2, 29), {0, 255, 0}, 12));
}

TEST(JpegReader, CmykIsConvertedToRgb) {
    // The library marks CMYK files as Adobe's, whose inks are stored
    // inverted: 255 is no ink.
    const Bytes file = jpegFile(32, 16, 4, [](int x, int, uint8_t* s) {
        s[0] = x < 16 ? 255 : 0;  // right half full cyan
        s[1] = s[2] = 255;
        s[3] = 255;
    });
    auto decoded = decodeJpeg(file);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(near(decoded->rgbAt(4, 8), {255, 255, 255}, 6));
    EXPECT_TRUE(near(decoded->rgbAt(28, 8), {0, 255, 255}, 6));
}

TEST(JpegReader, BrokenFilesGiveNothingAndNoMessage) {
    const Bytes good =
        jpegFile(40, 40, 3, [](int x, int y, uint8_t* s) { s[0] = uint8_t(x), s[1] = uint8_t(y), s[2] = 9; });
    Bytes noMarker = good;
    noMarker[1] = 0x00;
    const Bytes cases[] = {Bytes{}, Bytes(good.begin(), good.begin() + 20), noMarker, Bytes(500, 0xFF)};
    for (const Bytes& bytes : cases) EXPECT_FALSE(decodeJpeg(bytes)) << bytes.size();

    DecodeLimits small = DecodeLimits::defaults();
    small.maxImagePixels = 1000;
    EXPECT_FALSE(decodeJpeg(good, small));
    EXPECT_FALSE(readJpeg("/nonexistent/file.jpg"));

    ScratchDir dir;
    ImportedFile read = readImageFile(dir.write("broken.jpg", noMarker));
    EXPECT_NE(read.result, ImportOk);
    EXPECT_FALSE(read.image);
    EXPECT_TRUE(read.message.empty());
}

}  // namespace
}  // namespace movigram
