// The plain LZW encoder: exact bytes, sub-blocks, the textbook greedy parse
// and encode -> decode identity.
#include <gtest/gtest.h>

#include <random>

#include "gif/ByteSink.h"
#include "gif/LzwEncoder.h"
#include "LzwTestSupport.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using namespace test;

// Splits packed data into its sub-block lengths.
std::vector<int> subBlockLengths(const Bytes& data) {
    std::vector<int> lengths;
    for (size_t at = 1; at < data.size(); at += size_t(data[at]) + 1) lengths.push_back(data[at]);
    return lengths;
}

TEST(LzwEncoder, OnePixelImageGivesClearIndexEnd) {
    EXPECT_EQ(encode({0}, 1, 1, 2), (Bytes{0x02, 0x02, 0x44, 0x01, 0x00}));
}

TEST(LzwEncoder, LongRunGrowsToTwelveBitsAndClears) {
    // Noise over four indices assigns codes quickly, so the table fills
    // several times over.
    std::mt19937 rng(7);
    std::vector<uint8_t> pixels(300000);
    for (auto& p : pixels) p = uint8_t(rng() & 3);
    const Bytes data = encode(pixels, 600, 500, 2);
    const Decoded back = decode(data, 600, 500);
    ASSERT_EQ(back.result, LzwResult::Complete);
    EXPECT_EQ(back.pixels, pixels);

    // Parse the codes again to see the widths reach 12 and a clear follow.
    Bytes packed;
    for (size_t at = 1; data[at] != 0; at += size_t(data[at]) + 1)
        packed.insert(packed.end(), data.begin() + long(at) + 1, data.begin() + long(at) + 1 + data[at]);
    size_t bit = 0;
    int width = 3, nextFree = 6, clears = 0, maxWidth = 0;
    bool first = true;
    auto read = [&](int w) {
        uint32_t v = 0;
        for (int i = 0; i < w; ++i, ++bit) v |= uint32_t((packed[bit / 8] >> (bit % 8)) & 1) << i;
        return v;
    };
    while (bit + size_t(width) <= packed.size() * 8) {
        const uint32_t code = read(width);
        maxWidth = std::max(maxWidth, width);
        if (code == 5) break;
        if (code == 4) {
            width = 3, nextFree = 6, first = true;
            ++clears;
            continue;
        }
        if (first) {
            first = false;
            continue;
        }
        if (nextFree < 4096 && ++nextFree >= (1 << width) && width < 12) ++width;
    }
    EXPECT_EQ(maxWidth, 12);
    EXPECT_GE(clears, 2);  // the initial clear and at least one for a full table
}

TEST(LzwEncoder, DataFillingWholeSubBlocksEndsWithOneTerminator) {
    // Search for an image whose packed data is exactly a multiple of 255 bytes.
    std::mt19937 rng(3);
    std::vector<uint8_t> base(4000);
    for (auto& p : base) p = uint8_t(rng() & 15);
    bool found = false;
    for (uint32_t n = 300; n < base.size() && !found; ++n) {
        std::vector<uint8_t> pixels(base.begin(), base.begin() + n);
        const Bytes data = encode(pixels, n, 1, 4);
        const auto lengths = subBlockLengths(data);
        if (lengths.size() >= 2 && lengths[lengths.size() - 2] == 255) {
            found = true;
            EXPECT_EQ(lengths.back(), 0);
            for (size_t i = 0; i + 1 < lengths.size(); ++i) EXPECT_EQ(lengths[i], 255);
            EXPECT_EQ(decode(data, n, 1).pixels, pixels);
        }
    }
    EXPECT_TRUE(found) << "no length gave whole sub-blocks";
}

TEST(LzwEncoder, EncodeDecodeIdentityAcrossCodeSizes) {
    std::mt19937 rng(11);
    for (int m = 2; m <= 8; ++m) {
        for (uint32_t w : {1u, 7u, 64u, 333u}) {
            const uint32_t h = 1 + rng() % 50;
            std::vector<uint8_t> pixels(size_t(w) * h);
            // Mix runs and noise so that both long and short strings occur.
            for (size_t i = 0; i < pixels.size(); ++i)
                pixels[i] = uint8_t((i / (1 + rng() % 9)) % (1u << m) ^ (rng() % 3 == 0 ? rng() % (1u << m) : 0));
            const Decoded back = decode(encode(pixels, w, h, m), w, h);
            ASSERT_EQ(back.result, LzwResult::Complete) << "m=" << m << " w=" << w;
            EXPECT_EQ(back.pixels, pixels) << "m=" << m << " w=" << w;
        }
    }
}

// The greedy parse as a textbook writes it, with a map for the table: the
// longest string in the table, its code, the string plus the next index
// added; codes grow a bit when the next code no longer fits and the table
// is cleared once code 4096 would be assigned.  The encoder's hash table
// and run shortcuts must give exactly these codes.
Bytes textbookEncode(const std::vector<uint8_t>& pixels, int m) {
    const int clear = 1 << m;
    std::map<std::pair<int, int>, int> table;
    std::vector<std::pair<int, int>> codes{{clear, m + 1}};
    int next = clear + 2, size = m + 1;
    int prefix = pixels[0];
    for (size_t i = 1; i < pixels.size(); ++i) {
        const auto found = table.find({prefix, pixels[i]});
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        codes.push_back({prefix, size});
        if (next < 4096) table[{prefix, pixels[i]}] = next;
        if (++next == (1 << size) + 1) {
            if (size == 12) {
                codes.push_back({clear, size});
                table.clear();
                next = clear + 2, size = m + 1;
            } else {
                ++size;
            }
        }
        prefix = pixels[i];
    }
    codes.push_back({prefix, size});
    codes.push_back({clear + 1, size});
    return packCodes(m, codes);
}

TEST(LzwEncoder, OutputIsTheTextbookGreedyParse) {
    // Long runs (past the run shortcut's longest), noise, and runs in noise,
    // large enough to clear the table several times.
    std::mt19937 rng(5);
    for (int m : {2, 4, 8}) {
        const uint32_t w = 700, h = 90;
        std::vector<uint8_t> runs(size_t(w) * h), noise(runs.size()), mixed(runs.size());
        for (size_t i = 0; i < runs.size(); ++i) {
            runs[i] = uint8_t((i / (1 + i % 400)) % (1u << m));
            noise[i] = uint8_t(rng() % (1u << m));
            mixed[i] = rng() % 5 ? uint8_t((i / 37) % (1u << m)) : noise[i];
        }
        for (const auto* pixels : {&runs, &noise, &mixed})
            EXPECT_EQ(encode(*pixels, w, h, m), textbookEncode(*pixels, m)) << "m=" << m;
    }
}

}  // namespace
}  // namespace movigram
