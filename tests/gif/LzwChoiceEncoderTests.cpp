// The choice encoder of maximum compression against the decoder and the plain
// encoder.
#include <gtest/gtest.h>

#include <random>

#include "gif/LzwChoiceEncoder.h"
#include "LzwTestSupport.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using namespace test;

// Pixels that mix runs and noise, some of them free.
struct ChoiceImage {
    uint32_t width, height;
    int m;
    std::vector<uint8_t> values, free;
    uint8_t alternative;
};

ChoiceImage choiceImage(uint32_t seed, uint32_t width, uint32_t height, int m, unsigned freeShare) {
    std::mt19937 rng(seed);
    ChoiceImage im{width, height, m, {}, {}, uint8_t(rng() % (1u << m))};
    for (size_t i = 0; i < size_t(width) * height; ++i) {
        im.values.push_back(uint8_t((i / (1 + rng() % 7)) % (1u << m) ^ (rng() % 4 == 0 ? rng() % (1u << m) : 0)));
        im.free.push_back(rng() % 100 < freeShare);
    }
    return im;
}

// Runs of up to 1000 pixels of one index (the alternative among them) and a
// little noise between them: long run strings, in tables that fill up.
ChoiceImage runImage(uint32_t seed, uint32_t width, uint32_t height, int m, unsigned freeShare) {
    std::mt19937 rng(seed);
    ChoiceImage im{width, height, m, {}, {}, uint8_t(rng() % (1u << m))};
    const size_t count = size_t(width) * height;
    while (im.values.size() < count) {
        const uint8_t v = uint8_t(rng() % 3 == 0 ? im.alternative : rng() % (1u << m));
        const size_t run = 1 + rng() % 1000, noise = rng() % 20;
        for (size_t n = 0; n < run + noise && im.values.size() < count; ++n) {
            im.values.push_back(n < run ? v : uint8_t(rng() % (1u << m)));
            im.free.push_back(rng() % 100 < freeShare);
        }
    }
    return im;
}

Bytes encodeChoices(const ChoiceImage& im, const LzwChoiceOptions& options, bool* filled = nullptr) {
    std::vector<uint8_t> out;
    const LzwChoiceOutcome outcome =
        LzwChoiceEncoder().encode(im.values.data(), im.free.data(), im.alternative, im.values.size(), im.m, options, out);
    if (filled) *filled = outcome.filled;
    return out;
}

TEST(LzwChoiceEncoder, DecodesToEachValueOrForAFreePixelItsAlternative) {
    // Every way of clearing, on images small and large enough to fill the
    // string table, which then decode with the table kept full.
    const LzwChoiceOptions clearings[] = {{256, 1.0f},   {1, 0.0f},        {0, 0.0f},
                                          {1024, 1.2f},  {64, 1.0f},       {4096, 100.0f},
                                          {256, 1.0f, LzwPreference::Alternative, false},
                                          {0, 0.0f, LzwPreference::Alternative, true, 3},
                                          {256, 1.0f, LzwPreference::Alternative, true, 1, 1},
                                          {0, 0.0f, LzwPreference::Alternative, false, 1, 2}};
    for (uint32_t seed = 1; seed <= 7; ++seed)
        for (const LzwChoiceOptions& clearing : clearings)
            for (unsigned share : {0u, 30u, 100u}) {
                const uint32_t w = seed % 2 ? 301 : 13, h = seed % 2 ? 157 : 5;
                const ChoiceImage im = seed == 7 ? runImage(seed, 1001, 503, 3, share)
                                                 : choiceImage(seed, w, h, 2 + int(seed % 7), share);
                bool filled = false;
                const Decoded back = decode(encodeChoices(im, clearing, &filled), im.width, im.height);
                ASSERT_EQ(back.result, LzwResult::Complete) << "seed " << seed << " share " << share;
                if (im.width > 100 && share < 100) {
                    EXPECT_TRUE(filled) << "seed " << seed << " share " << share;
                }
                for (size_t i = 0; i < im.values.size(); ++i)
                    ASSERT_TRUE(back.pixels[i] == im.values[i] || (im.free[i] && back.pixels[i] == im.alternative))
                        << "seed " << seed << " share " << share << " pixel " << i;
            }
}

TEST(LzwChoiceEncoder, WithoutFreePixelsClearingAfterOneCodeIsThePlainEncoder) {
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        const ChoiceImage im =
            seed > 4 ? runImage(seed, 1001, 503, 2 + int(seed), 0) : choiceImage(seed, 401, 103, 3 + int(seed), 0);
        EXPECT_EQ(encodeChoices(im, {1, 0.0f}), encode(im.values, im.width, im.height, im.m)) << "seed " << seed;
    }
}

TEST(LzwChoiceEncoder, FreePixelsTakeTheWayThatContinuesTheString) {
    // A run of 1 broken by free 2s, which may be written as 1: as short as
    // the plain run.
    ChoiceImage im{500, 40, 2, std::vector<uint8_t>(20000, 1), std::vector<uint8_t>(20000, 0), 1};
    for (size_t i = 3; i < im.values.size(); i += 17) im.values[i] = 2, im.free[i] = 1;
    EXPECT_EQ(encodeChoices(im, {}).size(), encode(std::vector<uint8_t>(20000, 1), 500, 40, 2).size());
}

TEST(LzwChoiceEncoder, StopsAtTheLimitAndWritesNothing) {
    const ChoiceImage im = choiceImage(3, 301, 157, 6, 30);
    const size_t size = encodeChoices(im, {}).size();
    LzwChoiceEncoder encoder;
    std::vector<uint8_t> out{7};
    EXPECT_TRUE(encoder.encode(im.values.data(), im.free.data(), im.alternative, im.values.size(), im.m, {}, out,
                               size / 2).overLimit);
    EXPECT_EQ(out, std::vector<uint8_t>{7});
    // A limit the data fits in changes nothing.
    EXPECT_FALSE(encoder.encode(im.values.data(), im.free.data(), im.alternative, im.values.size(), im.m, {}, out,
                                size).overLimit);
    EXPECT_EQ(out.size(), 1 + size);
}

}  // namespace
}  // namespace movigram
