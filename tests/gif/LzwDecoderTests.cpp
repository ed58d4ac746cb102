// The LZW decoder: special codes, a full table, interlacing, excess and
// cut-off data, progress, and garbage.
#include <gtest/gtest.h>

#include <random>

#include "gif/LzwDecoder.h"
#include "LzwTestSupport.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using namespace test;

TEST(LzwDecoder, CodeEqualToNextFreeRepeatsFirstIndex) {
    // m = 2: clear, 1, 6 (= next free: "1" + "1"), end.
    const Decoded d = decode(packCodes(2, {{4, 3}, {1, 3}, {6, 3}, {5, 3}}), 3, 1);
    EXPECT_EQ(d.result, LzwResult::Complete);
    EXPECT_EQ(d.pixels, (std::vector<uint8_t>{1, 1, 1}));
}

TEST(LzwDecoder, CodePastNextFreeIsCorrupt) {
    EXPECT_EQ(decode(packCodes(2, {{4, 3}, {1, 3}, {7, 3}, {5, 3}}), 4, 1).result, LzwResult::Corrupt);
}

TEST(LzwDecoder, FullTableGoesOnWithoutClear) {
    // m = 8 with no clear after the table fills: after 3838 definitions the
    // codes stay 12 bits wide and define nothing more.
    std::vector<std::pair<int, int>> codes{{256, 9}};
    std::vector<uint8_t> expected;
    int nextFree = 258, width = 9;
    bool first = true;
    for (int i = 0; i < 4200; ++i) {
        const int index = i % 251;
        codes.push_back({index, width});
        expected.push_back(uint8_t(index));
        if (first) {
            first = false;
            continue;
        }
        if (nextFree < 4096 && ++nextFree >= (1 << width) && width < 12) ++width;
    }
    // A code defined early on (258 = "0 1") still decodes after the table is full.
    codes.push_back({258, width});
    expected.push_back(0);
    expected.push_back(1);
    codes.push_back({257, width});
    ASSERT_EQ(width, 12);
    const Decoded d = decode(packCodes(8, codes), uint32_t(expected.size()), 1);
    EXPECT_EQ(d.result, LzwResult::Complete);
    EXPECT_EQ(d.pixels, expected);
}

TEST(LzwDecoder, InterlacedColumnFillsProgressively) {
    // 1 x 10, rows stored in pass order 0,8 | 4 | 2,6 | 1,3,5,7,9.
    const std::vector<int> order{0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    // After only the first two rows, rows 0..7 repeat row 0 and 8..9 row 8.
    {
        const Decoded d = decode(packCodes(4, {{16, 5}, {10, 5}, {11, 5}, {17, 5}}), 1, 10, true);
        EXPECT_EQ(d.result, LzwResult::Corrupt);  // the end code came early
        EXPECT_EQ(d.pixels, (std::vector<uint8_t>{10, 10, 10, 10, 10, 10, 10, 10, 11, 11}));
    }
    // With every row present each row holds its own value.
    std::vector<std::pair<int, int>> codes{{16, 5}};
    int nextFree = 18, width = 5;
    for (size_t i = 0; i < order.size(); ++i) {
        codes.push_back({order[i], width});
        if (i > 0 && ++nextFree >= (1 << width)) ++width;
    }
    codes.push_back({17, width});
    const Decoded d = decode(packCodes(4, codes), 1, 10, true);
    EXPECT_EQ(d.result, LzwResult::Complete);
    for (int y = 0; y < 10; ++y) EXPECT_EQ(d.pixels[size_t(y)], y) << "row " << y;
}

TEST(LzwDecoder, EndCodeOneRowEarlyStillCompletes) {
    // 2 x 3 image; the end code arrives after two rows (y = height - 1).
    const Decoded early = decode(packCodes(2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {0, 3}, {5, 4}}), 2, 3);
    EXPECT_EQ(early.result, LzwResult::Complete);
    // After one row it is too early.
    EXPECT_EQ(decode(packCodes(2, {{4, 3}, {1, 3}, {2, 3}, {5, 3}}), 2, 3).result, LzwResult::Corrupt);
}

TEST(LzwDecoder, ExcessDataAfterLastRowIsCorruptUnlessInterlaced) {
    // A 1 x 1 image followed by more indices, each data byte in a sub-block
    // of its own so that the decoder meets a sub-block after the last row.
    const Bytes packed = packCodes(2, {{4, 3}, {1, 3}, {1, 3}, {1, 3}, {1, 3}, {1, 3}, {1, 3}, {5, 3}});
    Bytes data{2};
    for (size_t at = 2; at + 1 < packed.size(); ++at) {
        data.push_back(1);
        data.push_back(packed[at]);
    }
    data.push_back(0);
    EXPECT_EQ(decode(data, 1, 1).result, LzwResult::Corrupt);
    const Decoded interlaced = decode(data, 1, 1, true);
    EXPECT_EQ(interlaced.result, LzwResult::Complete);
    EXPECT_EQ(interlaced.pixels, (std::vector<uint8_t>{1}));
    // The blocks passed over end at the terminator: what follows (the next
    // frame's control extension) is read next, not swallowed.
    Bytes followed = data;
    followed.push_back(0x21);
    ByteReader in(followed);
    uint8_t m = 0, after = 0;
    in.readByte(m);
    std::vector<uint8_t> out(1);
    EXPECT_EQ(LzwDecoder().decode(in, m, out.data(), 1, 1, true), LzwResult::Complete);
    EXPECT_TRUE(in.readByte(after));
    EXPECT_EQ(after, 0x21);
}

TEST(LzwDecoder, CutOffDataIsTruncated) {
    Bytes data = packCodes(2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {5, 3}});
    data.pop_back();  // no terminator
    data.pop_back();  // and the last data byte is missing
    EXPECT_EQ(decode(data, 4, 1).result, LzwResult::Truncated);
}

TEST(LzwDecoder, ReportsTheShareOfRowsDoneAsItGoes) {
    std::mt19937 rng(9);
    const uint32_t w = 256, h = 256;
    std::vector<uint8_t> pixels(size_t(w) * h);
    for (auto& p : pixels) p = uint8_t(rng());
    const Bytes data = encode(pixels, w, h, 8);  // some hundreds of sub-blocks
    ByteReader in(data);
    uint8_t m = 0;
    in.readByte(m);
    std::vector<uint8_t> out(pixels.size());
    std::vector<int> seen;
    EXPECT_EQ(LzwDecoder().decode(in, m, out.data(), w, h, false, [&](int p) { seen.push_back(p); }),
              LzwResult::Complete);
    EXPECT_EQ(out, pixels);
    ASSERT_GT(seen.size(), 1u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GT(seen.front(), 0);
    EXPECT_LT(seen.back(), 100);
}

TEST(LzwDecoder, GarbageNeverWritesOutsideTheImage) {
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        Bytes data{uint8_t(2 + rng() % 7)};
        for (int b = 0; b < 4; ++b) {
            const uint8_t n = uint8_t(rng() % 256);
            data.push_back(n);
            for (int i = 0; i < n; ++i) data.push_back(uint8_t(rng()));
        }
        data.push_back(0);
        const uint32_t w = 1 + rng() % 20, h = 1 + rng() % 20;
        EXPECT_TRUE(decode(data, w, h, rng() % 2).guardsIntact) << "round " << round;
        // Noise seldom gets far; the stream of a taller image with one bit
        // flipped runs into the end of the image.
        std::vector<uint8_t> taller(size_t(w) * (h + 8));
        for (auto& p : taller) p = uint8_t(rng() % 4);
        Bytes damaged = encode(taller, w, h + 8, 2);
        damaged[1 + rng() % (damaged.size() - 1)] ^= uint8_t(1u << rng() % 8);
        EXPECT_TRUE(decode(damaged, w, h, rng() % 2).guardsIntact) << "round " << round;
    }
}

}  // namespace
}  // namespace movigram
