// The lossy LZW encoder: lossless at quality 100, fixed pixels exact and
// every other pixel within the threshold at every level, and a stream any
// decoder reads to the end.
#include <gtest/gtest.h>

#include <random>

#include "gif/ByteSink.h"
#include "gif/LzwLossyEncoder.h"
#include "LzwTestSupport.h"

namespace movigram {
namespace {

using test::Bytes;
using test::decode;

struct Image {
    uint32_t width, height;
    std::vector<uint8_t> pixels, fixed;
    std::vector<uint32_t> colours;
};

// A grey ramp of 2^m colours with noise on a gradient, the kind of area where
// a lossy parse finds long strings; every fifth pixel fixed.
Image noisyImage(uint32_t width, uint32_t height, int m, unsigned seed) {
    Image image{width, height, {}, {}, {}};
    const uint32_t n = 1u << m;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t v = i * 255 / (n - 1);
        image.colours.push_back(v << 16 | v << 8 | v);
    }
    std::mt19937 rng(seed);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const int base = int((x + y) * (n - 1) / (width + height));
            const int v = std::clamp(base + int(rng() % 7) - 3, 0, int(n - 1));
            image.pixels.push_back(uint8_t(v));
            image.fixed.push_back(rng() % 5 == 0);
        }
    return image;
}

Bytes lossy(const Image& image, int quality, int m, bool withMask = true) {
    ByteSink sink;
    LzwLossyEncoder().encode(image.pixels.data(), std::ptrdiff_t(image.width), image.width, image.height,
                             withMask ? image.fixed.data() : nullptr, image.colours.data(),
                             LzwLossyEncoder::thresholdOf(quality), m, sink);
    return sink.bytes();
}

TEST(LzwLossyEncoder, QualityHundredGivesThePlainEncodersBytes) {
    // Large enough that the table fills and clears many times, at several
    // code sizes; bottom-up rows as images hold them.
    for (int m : {2, 5, 8}) {
        const Image image = noisyImage(700, 300, m, unsigned(m));
        EXPECT_EQ(lossy(image, 100, m), test::encode(image.pixels, image.width, image.height, m)) << "m " << m;
        ByteSink up, plain;
        const uint8_t* last = image.pixels.data() + size_t(image.height - 1) * image.width;
        LzwLossyEncoder().encode(last, -std::ptrdiff_t(image.width), image.width, image.height, nullptr,
                                 image.colours.data(), 0, m, up);
        LzwEncoder().encode(last, -std::ptrdiff_t(image.width), image.width, image.height, m, plain);
        EXPECT_EQ(up.bytes(), plain.bytes()) << "m " << m;
    }
    const Image one = noisyImage(1, 1, 2, 1);
    EXPECT_EQ(lossy(one, 100, 2), test::encode(one.pixels, 1, 1, 2));
}

TEST(LzwLossyEncoder, EveryLevelKeepsFixedPixelsAndStaysWithinItsThreshold) {
    for (int m : {3, 8}) {
        const Image image = noisyImage(500, 200, m, 11u + unsigned(m));
        const size_t plainSize = test::encode(image.pixels, image.width, image.height, m).size();
        for (int quality : {0, 20, 40, 60, 80, 90, 99}) {
            const Bytes data = lossy(image, quality, m);
            const test::Decoded back = decode(data, image.width, image.height);
            ASSERT_EQ(back.result, LzwResult::Complete) << "m " << m << " quality " << quality;
            ASSERT_TRUE(back.guardsIntact);
            const uint32_t threshold = LzwLossyEncoder::thresholdOf(quality);
            size_t changed = 0;
            for (size_t i = 0; i < image.pixels.size(); ++i) {
                const uint32_t a = image.colours[image.pixels[i]], b = image.colours[back.pixels[i]];
                if (image.fixed[i]) {
                    ASSERT_EQ(back.pixels[i], image.pixels[i]) << "fixed pixel " << i;
                }
                const int dr = int(a >> 16) - int(b >> 16), dg = int(a >> 8 & 0xFF) - int(b >> 8 & 0xFF),
                          db = int(a & 0xFF) - int(b & 0xFF);
                ASSERT_LT(uint32_t(dr * dr + dg * dg + db * db), std::max(threshold, 1u)) << "pixel " << i;
                changed += back.pixels[i] != image.pixels[i];
            }
            // The loss buys something once neighbouring colours of the ramp
            // are within reach and cost less than a code.
            const uint32_t step = image.colours[1] & 0xFF;
            if (threshold > 3 * step * step && LzwLossyEncoder::lambdaOf(threshold) * 3 * step * step < 8) {
                EXPECT_GT(changed, 0u) << "quality " << quality;
                EXPECT_LT(data.size(), plainSize) << "m " << m << " quality " << quality;
            }
        }
    }
}

TEST(LzwLossyEncoder, LowerQualityIsSmallerAndNoMaskChangesMore) {
    const Image image = noisyImage(400, 300, 6, 5);
    const size_t at90 = lossy(image, 90, 6).size(), at40 = lossy(image, 40, 6).size();
    EXPECT_LT(at40, at90);
    EXPECT_LT(lossy(image, 40, 6, false).size(), at40);
}

// Noise of two colours 50 apart per channel, within reach of each other at
// quality 0: a parse that took every string it could lengthen would spend
// far more error than the bytes it saves are worth.
TEST(LzwLossyEncoder, ErrorIsSpentWhereItBuysLength) {
    Image image{300, 200, {}, {}, {0x000000, 0x323232, 0x808080, 0xFFFFFF}};
    std::mt19937 rng(3);
    for (size_t i = 0; i < size_t(image.width) * image.height; ++i) image.pixels.push_back(uint8_t(rng() % 2));
    const size_t plainSize = test::encode(image.pixels, image.width, image.height, 2).size();
    const Bytes data = lossy(image, 0, 2, false);
    const test::Decoded back = decode(data, image.width, image.height);
    ASSERT_EQ(back.result, LzwResult::Complete);
    size_t changed = 0;
    for (size_t i = 0; i < image.pixels.size(); ++i) changed += back.pixels[i] != image.pixels[i];
    // Each pixel changed costs 7500 in squared error: it must save a
    // good part of a code.
    const size_t saved = plainSize > data.size() ? plainSize - data.size() : 0;
    EXPECT_LE(changed, saved * 8 / 4) << "changed " << changed << " saved " << saved << " bytes";
}

// Pixels that need not be drawn may all be left transparent: the strings
// start with the transparent index as well as run through it, and come out
// markedly shorter than the noise itself.
TEST(LzwLossyEncoder, PixelsFreeToBeTransparentCostLittle) {
    const Image image = noisyImage(200, 150, 4, 9);
    const std::vector<uint8_t> free(image.pixels.size(), LzwLossyEncoder::OrAlternative);
    const int transparent = 15;
    ByteSink sink;
    std::vector<uint8_t> written(image.pixels.size());
    LzwLossyEncoder().encode(image.pixels.data(), std::ptrdiff_t(image.width), image.width, image.height,
                             free.data(), image.colours.data(), LzwLossyEncoder::thresholdOf(50), 4, sink, transparent,
                             written.data());
    const test::Decoded back = decode(sink.bytes(), image.width, image.height);
    ASSERT_EQ(back.result, LzwResult::Complete);
    EXPECT_EQ(back.pixels, written);
    for (size_t i = 0; i < written.size(); ++i)
        ASSERT_TRUE(written[i] == image.pixels[i] || written[i] == transparent) << i;
    EXPECT_LT(sink.bytes().size(), test::encode(image.pixels, image.width, image.height, 4).size() * 4 / 5);
}

}  // namespace
}  // namespace movigram
