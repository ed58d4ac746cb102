// The LZW coder on its own: exact encoder bytes, the decoder's handling of
// special codes, and encode -> decode identity; the choice encoder of
// maximum compression against the decoder and the plain encoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "gif/ByteRuns.h"
#include "gif/ByteSink.h"
#include "gif/LzwChoiceEncoder.h"
#include "gif/LzwDecoder.h"
#include "gif/LzwEncoder.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using test::Bytes;
using test::packCodes;

Bytes encode(const std::vector<uint8_t>& pixels, uint32_t width, uint32_t height, int m) {
    ByteSink sink;
    LzwEncoder().encode(pixels.data(), std::ptrdiff_t(width), width, height, m, sink);
    return sink.bytes();
}

struct Decoded {
    LzwResult result;
    std::vector<uint8_t> pixels;
    bool guardsIntact;  // nothing was written before or after the image
};

// data starts with the code size byte, as in a file.  The image lies between
// two runs of guard bytes that the decoder must leave alone.
Decoded decode(const Bytes& data, uint32_t width, uint32_t height, bool interlaced = false, uint8_t fill = 0xEE) {
    constexpr size_t guard = 64;
    constexpr uint8_t mark = 0xA5;
    ByteReader in(data);
    uint8_t m = 0;
    in.readByte(m);
    const size_t size = size_t(width) * height;
    std::vector<uint8_t> buffer(guard + size + guard, mark);
    std::fill_n(buffer.begin() + guard, size, fill);
    LzwDecoder decoder;
    Decoded d{LzwResult::Corrupt, {}, true};
    d.result = decoder.decode(in, m, buffer.data() + guard, width, height, interlaced);
    auto intact = [&](size_t from) { return std::all_of(buffer.begin() + long(from), buffer.begin() + long(from + guard),
                                                        [](uint8_t b) { return b == mark; }); };
    d.guardsIntact = intact(0) && intact(guard + size);
    d.pixels.assign(buffer.begin() + guard, buffer.begin() + long(guard + size));
    return d;
}

// Splits packed data into its sub-block lengths.
std::vector<int> subBlockLengths(const Bytes& data) {
    std::vector<int> lengths;
    for (size_t at = 1; at < data.size(); at += size_t(data[at]) + 1) lengths.push_back(data[at]);
    return lengths;
}

TEST(ByteRun, StopsAtTheFirstOtherByteMarkOrLimit) {
    std::vector<uint8_t> p(40, 7), marks(40, 0);
    p[21] = 3;  // in the third word
    EXPECT_EQ(byteRun(p.data(), size_t(40), uint8_t(7), size_t(40)), 21u);
    EXPECT_EQ(byteRun(p.data(), size_t(40), uint8_t(7), size_t(12)), 12u);  // limit inside a word
    EXPECT_EQ(byteRun(p.data(), size_t(5), uint8_t(7), size_t(40)), 5u);    // fewer than eight to read
    EXPECT_EQ(byteRun(p.data() + 22, size_t(18), uint8_t(7), size_t(18)), 18u);  // the tail byte by byte
    marks[9] = 1;
    EXPECT_EQ(byteRun(p.data(), size_t(40), uint8_t(7), size_t(40), marks.data()), 9u);
    EXPECT_EQ(byteRun(p.data(), size_t(13), uint8_t(7), size_t(13), marks.data()), 9u);  // a mark in the tail
    EXPECT_EQ(byteRun(p.data() + 10, size_t(30), uint8_t(7), size_t(30), marks.data() + 10), 11u);
    EXPECT_EQ(byteRun(p.data(), size_t(40), uint8_t(3), size_t(40)), 0u);
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
