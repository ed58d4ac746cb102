// PNG, animated PNG, WebP and AVIF: colour types and interlacing against the
// corpus's lossless WebP twins (another library, another format), an
// animation's blending, disposal and timing against a file made here,
// transparency, and damaged files.
#include <gtest/gtest.h>

#include <avif/avif.h>
#include <webp/encode.h>

#include <fstream>
#include <iterator>

#include "ImportTestFiles.h"
#include "import/ApngReader.h"
#include "import/ImageReaders.h"
#include "import/PngReader.h"
#include "import/WebpReader.h"
#include "support/CorpusPath.h"
#include "support/PngBuilder.h"

namespace movigram {
namespace {

using namespace test;
namespace fs = std::filesystem;

// A decoded PNG as RGBA, whichever form it came in.
Bytes rgbaOf(const PngPicture& png) {
    if (png.rgba) return png.rgba->pixels;
    Bytes out;
    const TDib256& image = *png.indexed;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const uint8_t i = image.pixel(x, y);
            const RgbQuad& c = image.colors()[i];
            out.insert(out.end(), {c.red, c.green, c.blue, png.alpha[i]});
        }
    return out;
}

// The screens an animated file shows, with their delays.
struct Screens {
    std::vector<RgbaPicture> pictures;
    std::vector<int32_t> delays;
    DecodeStatus status;
    ScreenSink sink() {
        return [this](const RgbaPicture& p, int32_t delay) {
            pictures.push_back(p);
            delays.push_back(delay);
            return true;
        };
    }
};

Bytes pixelAt(const RgbaPicture& p, int x, int y) {
    const uint8_t* q = p.row(y) + x * 4;
    return {q[0], q[1], q[2], q[3]};
}

TEST(PngCorpus, ColourTypesAndInterlacingMatchTheLosslessWebpTwins) {
    MOVIGRAM_REQUIRE_CORPUS();
    const fs::path dir = corpusDir() / "wuffs" / "test" / "data";
    const std::pair<const char*, const char*> twins[] = {
        {"bricks-dither.png", "bricks-dither.lossless.webp"},       // 8-bit palette
        {"pjw-thumbnail.png", "pjw-thumbnail.lossless.webp"},       // 1-bit palette
        {"bricks-gray.png", "bricks-gray.lossless.webp"},           // gray
        {"bricks-color.png", "bricks-color.lossless.webp"},         // RGB
        {"hibiscus.primitive.png", "hibiscus.primitive.lossless.webp"},  // RGBA
        {"hippopotamus.regular.png", "hippopotamus.lossless.webp"},
        {"hippopotamus.interlaced.png", "hippopotamus.lossless.webp"},
    };
    for (const auto& [pngName, webpName] : twins) {
        SCOPED_TRACE(pngName);
        const PngPicture png = decodePng(fileBytes(dir / pngName), DecodeLimits::defaults());
        ASSERT_TRUE(png.indexed || png.rgba) << png.status.detail;
        Screens webp;
        ASSERT_TRUE(decodeWebp(fileBytes(dir / webpName), DecodeLimits::defaults(), webp.sink()).ok());
        ASSERT_EQ(webp.pictures.size(), 1u);
        const int width = png.indexed ? png.indexed->width() : png.rgba->width;
        EXPECT_EQ(width, webp.pictures[0].width);
        EXPECT_EQ(rgbaOf(png), webp.pictures[0].pixels);
    }
}

// The pixels of a transparent colour carry no colour of their own, so the
// corpus's animations are checked where they are opaque, or that they are
// fully transparent.
TEST(ApngCorpus, FinalScreensOfTheBlendAndDisposeSuite) {
    MOVIGRAM_REQUIRE_CORPUS();
    const Bytes green = {0, 255, 0, 255}, clear = {0, 0, 0, 0};
    const std::pair<const char*, Bytes> cases[] = {
        {"blend_op_over.png", green},           {"blend_op_source_solid.png", green},
        {"blend_op_source_transparent.png", clear}, {"dispose_op_none.png", green},
        {"dispose_op_background.png", clear},   {"dispose_op_background_final.png", green},
        {"dispose_op_previous.png", green},     {"dispose_op_previous_final.png", green},
        {"dispose_op_previous_first.png", clear}, {"split_fdat.png", green},
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        const Bytes file = fileBytes(corpusDir() / "pillow" / "Tests" / "images" / "apng" / name);
        std::string problem;
        const std::optional<ApngLayout> layout = apngLayout(file, DecodeLimits::defaults(), &problem);
        ASSERT_TRUE(layout) << problem;
        Screens screens;
        ASSERT_TRUE(decodeApng(*layout, DecodeLimits::defaults(), screens.sink()).ok());
        ASSERT_FALSE(screens.pictures.empty());
        EXPECT_EQ(pixelAt(screens.pictures.back(), 0, 0), expected);
        EXPECT_EQ(pixelAt(screens.pictures.back(), 64, 32), expected);
    }
}

Bytes solid(uint32_t w, uint32_t h, Bytes rgba) {
    Bytes out;
    for (uint32_t i = 0; i < w * h; ++i) out.insert(out.end(), rgba.begin(), rgba.end());
    return out;
}

const Bytes red = {255, 0, 0, 255}, blue = {0, 0, 255, 255}, none = {0, 0, 0, 0};

// A 4x4 red screen with a transparent corner; a half-transparent blue 2x2
// drawn over it at (1, 1) and taken back (previous); a 1x1 transparent
// pixel replacing (3, 3) and cleared (background); then a blue pixel at
// (0, 0), drawn over what is left.
std::vector<ApngFrameSpec> blendAndDispose() {
    ApngFrameSpec first{4, 4, 0, 0, 1, 10, 0, 0, solid(4, 4, red)};
    std::copy(none.begin(), none.end(), first.rgba.begin());
    return {
        first,
        {2, 2, 1, 1, 7, 0, 2, 1, solid(2, 2, {0, 0, 255, 128})},  // den 0: hundredths
        {1, 1, 3, 3, 1, 1000, 1, 0, none},
        {1, 1, 0, 0, 3, 20, 0, 1, blue},
    };
}

TEST(Apng, BlendAndDisposeAsABrowserShowsThem) {
    const Bytes file = apngFile(4, 4, blendAndDispose(), 3);
    const std::optional<ApngLayout> layout = apngLayout(file, DecodeLimits::defaults());
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->plays, 3u);
    Screens s;
    ASSERT_TRUE(decodeApng(*layout, DecodeLimits::defaults(), s.sink()).ok());
    ASSERT_EQ(s.pictures.size(), 4u);
    EXPECT_EQ(s.delays, (std::vector<int32_t>{100, 70, 1, 150}));

    EXPECT_EQ(pixelAt(s.pictures[0], 0, 0), none);
    EXPECT_EQ(pixelAt(s.pictures[0], 1, 0), red);
    // Half blue over opaque red: opaque, the colours mixed by the blue's alpha.
    EXPECT_EQ(pixelAt(s.pictures[1], 1, 1), (Bytes{127, 0, 128, 255}));
    EXPECT_EQ(pixelAt(s.pictures[1], 0, 0), none);
    // The blue was taken back; the replacing pixel makes a hole.
    EXPECT_EQ(pixelAt(s.pictures[2], 1, 1), red);
    EXPECT_EQ(pixelAt(s.pictures[2], 3, 3), none);
    // Over a transparent pixel the new one is as it is; the hole stays.
    EXPECT_EQ(pixelAt(s.pictures[3], 0, 0), blue);
    EXPECT_EQ(pixelAt(s.pictures[3], 3, 3), none);
    EXPECT_EQ(pixelAt(s.pictures[3], 2, 2), red);
}

TEST(Apng, HiddenDefaultPictureAndFirstFrameDisposedToPrevious) {
    std::vector<ApngFrameSpec> frames = {{2, 1, 0, 0, 1, 10, 2, 0, solid(2, 1, red)},
                                         {1, 1, 1, 0, 1, 10, 0, 1, none}};
    const Bytes file = apngFile(2, 1, frames, 0, false);
    const std::optional<ApngLayout> layout = apngLayout(file, DecodeLimits::defaults());
    ASSERT_TRUE(layout);
    Screens s;
    ASSERT_TRUE(decodeApng(*layout, DecodeLimits::defaults(), s.sink()).ok());
    ASSERT_EQ(s.pictures.size(), 2u);
    // The black default picture is not shown; "previous" after the first
    // frame is the empty screen.
    EXPECT_EQ(pixelAt(s.pictures[0], 0, 0), red);
    EXPECT_EQ(pixelAt(s.pictures[1], 0, 0), none);
}

TEST(Apng, BrokenAnimationChunksShowTheStillPicture) {
    // Sequence number 2 (the third frame control) changed to 9: the
    // checksum is written anew, so only the order is wrong.
    std::vector<ApngFrameSpec> frames = blendAndDispose();
    Bytes file = apngFile(4, 4, frames);
    size_t at = 0;
    int seen = 0;
    for (size_t p = 8; p + 8 <= file.size();) {
        const uint32_t n = uint32_t(file[p]) << 24 | uint32_t(file[p + 1]) << 16 | uint32_t(file[p + 2]) << 8 | file[p + 3];
        if (std::string(file.begin() + long(p + 4), file.begin() + long(p + 8)) == "fcTL" && ++seen == 3) at = p;
        p += 12 + n;
    }
    ASSERT_NE(at, 0u);
    Bytes data(file.begin() + long(at + 8), file.begin() + long(at + 8 + 26));
    data[3] = 9;
    const Bytes chunk = pngChunk("fcTL", data);
    std::copy(chunk.begin(), chunk.end(), file.begin() + long(at));
    std::string problem;
    EXPECT_FALSE(apngLayout(file, DecodeLimits::defaults(), &problem));
    EXPECT_EQ(problem, "frame chunks out of sequence");

    ScratchDir dir;
    const ImportedFile read = readImageFile(dir.write("broken.png", file));
    EXPECT_EQ(read.result, ImportOk);
    ASSERT_TRUE(read.image);
    EXPECT_TRUE(read.frames.empty());
    EXPECT_EQ(read.transparentIndex, read.image->pixel(0, 0));
    EXPECT_EQ(colorAt(*read.image, 1, 0), (Rgb8{255, 0, 0}));
}

TEST(PictureFiles, AnimatedPngBecomesFramesWithTimesLoopAndTransparency) {
    ScratchDir dir;
    const ImportedFile read = readImageFile(dir.write("anim.png", apngFile(4, 4, blendAndDispose(), 3)));
    ASSERT_EQ(read.result, ImportOk) << read.message;
    EXPECT_EQ(read.kind, ImportKind::Png);
    EXPECT_TRUE(read.multiFrameSource());
    EXPECT_TRUE(read.loopFound);
    EXPECT_EQ(read.loopCount, 3);
    ASSERT_EQ(read.frames.size(), 4u);
    const std::vector<int32_t> times = {100, 70, 1, 150};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const TFrame& f = *read.frames[i];
        EXPECT_EQ(f.frameTime, times[i]);
        EXPECT_EQ(f.rect, (TRect{0, 0, 4, 4}));
        ASSERT_GE(f.transparentIndex, 0);
        EXPECT_EQ(f.image->pixel(3, 3) == f.transparentIndex, i >= 2);
        // Every screen has transparent pixels: each frame is cleared
        // before the next is drawn.
        EXPECT_TRUE(f.restoreToBackground);
    }
    EXPECT_EQ(colorAt(*read.frames[1]->image, 1, 1), (Rgb8{127, 0, 128}));
    EXPECT_EQ(colorAt(*read.frames[3]->image, 0, 0), (Rgb8{0, 0, 255}));
}

TEST(PictureFiles, WebpWithAlphaKeepsHolesAndComposesPartialAlphaOverWhite) {
    // 3x1: opaque green, half-transparent black, transparent.
    const uint8_t rgba[] = {0, 200, 0, 255, 0, 0, 0, 128, 10, 20, 30, 0};
    uint8_t* encoded = nullptr;
    const size_t size = WebPEncodeLosslessRGBA(rgba, 3, 1, 12, &encoded);
    ASSERT_GT(size, 0u);
    const Bytes webp(encoded, encoded + size);
    WebPFree(encoded);

    ScratchDir dir;
    const ImportedFile read = readImageFile(dir.write("alpha.bin", webp));
    ASSERT_EQ(read.result, ImportOk) << read.message;
    EXPECT_EQ(read.kind, ImportKind::Webp);
    ASSERT_TRUE(read.image);
    EXPECT_EQ(colorAt(*read.image, 0, 0), (Rgb8{0, 200, 0}));
    EXPECT_EQ(colorAt(*read.image, 1, 0), (Rgb8{127, 127, 127}));
    EXPECT_EQ(read.image->pixel(2, 0), read.transparentIndex);
    EXPECT_NE(read.image->pixel(1, 0), read.transparentIndex);
}

// More colours than a palette holds, dithered: both screens go on one
// palette of 255 colours, the last entry kept for the transparent pixel.
TEST(PictureFiles, ADitheredAnimationSharesOnePaletteAndKeepsItsHoles) {
    std::vector<ApngFrameSpec> frames;
    for (uint8_t f = 0; f < 2; ++f) {
        ApngFrameSpec frame{32, 32, 0, 0, 1, 10, 0, 0, {}};
        for (uint8_t y = 0; y < 32; ++y)
            for (uint8_t x = 0; x < 32; ++x)
                frame.rgba.insert(frame.rgba.end(), {uint8_t(x * 8), uint8_t(y * 8), uint8_t(f * 100), 255});
        frame.rgba[3] = 0;
        frames.push_back(frame);
    }
    ScratchDir dir;
    ImportOptions options;
    options.quantize.dither = DitherMethod::Diffusion;
    const ImportedFile read = readImageFile(dir.write("many.png", apngFile(32, 32, frames)), options);
    ASSERT_EQ(read.result, ImportOk) << read.message;
    ASSERT_EQ(read.frames.size(), 2u);
    for (const auto& frame : read.frames) {
        const TDib256& image = *frame->image;
        EXPECT_EQ(frame->transparentIndex, 255);
        EXPECT_EQ(image.colorsUsed, 256);
        EXPECT_EQ(image.colors(), read.frames[0]->image->colors());
        int holes = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) holes += image.pixel(x, y) == frame->transparentIndex;
        EXPECT_EQ(holes, 1);
        EXPECT_EQ(image.pixel(0, 0), frame->transparentIndex);
    }
}

// An AVIF made here by libavif's encoder: the colours come back close, the
// alpha exactly.
TEST(PictureFiles, AvifWithAlpha) {
    avifImage* image = avifImageCreate(8, 8, 8, AVIF_PIXEL_FORMAT_YUV444);
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.format = AVIF_RGB_FORMAT_RGBA;
    avifRGBImageAllocatePixels(&rgb);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x) {
            uint8_t* p = rgb.pixels + y * rgb.rowBytes + x * 4;
            p[0] = 200, p[1] = 40, p[2] = 40, p[3] = x < 4 ? 255 : 0;
        }
    ASSERT_EQ(avifImageRGBToYUV(image, &rgb), AVIF_RESULT_OK);
    avifEncoder* encoder = avifEncoderCreate();
    encoder->speed = AVIF_SPEED_FASTEST;
    encoder->minQuantizerAlpha = encoder->maxQuantizerAlpha = AVIF_QUANTIZER_LOSSLESS;
    avifRWData encoded = AVIF_DATA_EMPTY;
    const avifResult written = avifEncoderWrite(encoder, image, &encoded);
    const Bytes avif(encoded.data, encoded.data + encoded.size);
    avifRWDataFree(&encoded);
    avifEncoderDestroy(encoder);
    avifRGBImageFreePixels(&rgb);
    avifImageDestroy(image);
    if (written == AVIF_RESULT_NO_CODEC_AVAILABLE) GTEST_SKIP() << "libavif has no encoder here";
    ASSERT_EQ(written, AVIF_RESULT_OK);

    ScratchDir dir;
    const ImportedFile read = readImageFile(dir.write("alpha", avif));
    ASSERT_EQ(read.result, ImportOk) << read.message;
    EXPECT_EQ(read.kind, ImportKind::Avif);
    ASSERT_TRUE(read.image);
    ASSERT_GE(read.transparentIndex, 0);
    EXPECT_EQ(read.image->pixel(7, 7), read.transparentIndex);
    EXPECT_NE(read.image->pixel(0, 0), read.transparentIndex);
    const Rgb8 c = colorAt(*read.image, 0, 0);
    EXPECT_NEAR(c.red, 200, 8);
    EXPECT_NEAR(c.green, 40, 8);
    EXPECT_NEAR(c.blue, 40, 8);
}

TEST(PictureFiles, DamagedFilesGiveAOneLineError) {
    Bytes png = rgbaPng(8, 8, solid(8, 8, red));
    Bytes badHeader = png;
    badHeader[20] ^= 0x40;  // the header's checksum no longer matches
    Bytes huge = pngSignature();
    for (const Bytes& chunk : {pngChunk("IHDR", pngHeader(1u << 20, 1u << 20, 8, 6)),
                               pngChunk("IDAT", pngImageData(Bytes(4, 0), 4)), pngChunk("IEND", {})})
        huge.insert(huge.end(), chunk.begin(), chunk.end());
    uint8_t* encoded = nullptr;
    const size_t size = WebPEncodeLosslessRGBA(solid(8, 8, red).data(), 8, 8, 32, &encoded);
    const Bytes webp(encoded, encoded + size);
    WebPFree(encoded);

    const struct {
        const char* name;
        Bytes bytes;
        int result;
    } cases[] = {
        {"cut.png", Bytes(png.begin(), png.begin() + long(png.size() - 40)), ImportCorrupt},
        {"header.png", badHeader, ImportCorrupt},
        {"huge.png", huge, ImportNoMemory},
        {"cut.webp", Bytes(webp.begin(), webp.begin() + long(webp.size() / 2)), ImportCorrupt},
        {"signature.webp", Bytes(webp.begin(), webp.begin() + 16), ImportCorrupt},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ImportedFile read = readImageFile(dir.write(c.name, c.bytes));
        EXPECT_EQ(read.result, c.result);
        EXPECT_FALSE(read.image);
        EXPECT_TRUE(read.frames.empty());
        EXPECT_EQ(read.caption, "File error");
        EXPECT_NE(read.message.find(c.name), std::string::npos) << read.message;
        EXPECT_EQ(read.message.find('\n'), std::string::npos) << read.message;
    }
}

TEST(PictureFiles, AnAnimationDamagedLaterKeepsItsFirstFrames) {
    Bytes file = apngFile(4, 4, blendAndDispose());
    // The last frame's data chunk: its pixels damaged, its checksum made anew.
    size_t at = 0;
    for (size_t p = 8; p + 8 <= file.size();) {
        const uint32_t n = uint32_t(file[p]) << 24 | uint32_t(file[p + 1]) << 16 | uint32_t(file[p + 2]) << 8 | file[p + 3];
        if (std::string(file.begin() + long(p + 4), file.begin() + long(p + 8)) == "fdAT") at = p;
        p += 12 + n;
    }
    Bytes data(file.begin() + long(at + 8), file.begin() + long(at + 8 + 4 + 2 + 5 + 5 + 4));
    data[4 + 2] = 0x07;  // a reserved block type
    Bytes chunk = pngChunk("fdAT", data);
    file.erase(file.begin() + long(at), file.begin() + long(at + 12 + data.size()));
    file.insert(file.begin() + long(at), chunk.begin(), chunk.end());

    ScratchDir dir;
    const ImportedFile read = readImageFile(dir.write("late.png", file));
    EXPECT_EQ(read.result, ImportCorrupt);
    EXPECT_EQ(read.frames.size(), 3u);
    EXPECT_NE(read.message.find("frame 4"), std::string::npos) << read.message;
}

}  // namespace
}  // namespace movigram
