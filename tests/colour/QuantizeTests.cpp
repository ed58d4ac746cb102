// The high quality quantiser and dithering: option texts, the nearest colour
// look-up, palettes that keep the reserved transparent entry, and dithered
// animations whose still areas do not change from frame to frame.
#include <gtest/gtest.h>

#include <random>

#include "ColourTestSupport.h"
#include "colour/ChainDitherer.h"
#include "colour/ColorReduction.h"
#include "colour/DeepQuantize.h"
#include "colour/PaletteDitherer.h"
#include "colour/PaletteMapping.h"
#include "colour/PaletteSearch.h"
#include "colour/QuantizeOptionText.h"
#include "colour/SharedPalette.h"

namespace movigram {
namespace {

using test::colorFrame;
using test::Rgb;

const QuantizeOptions quality{Quantizer::HighQuality, DitherMethod::None, 100};

TEST(QuantizeOptionText, EveryValueRoundTripsAndOthersAreRefused) {
    for (Quantizer q : {Quantizer::MedianCut, Quantizer::HighQuality}) EXPECT_EQ(parseQuantizer(quantizerText(q)), q);
    EXPECT_EQ(quantizerText(Quantizer::HighQuality), "quality");
    EXPECT_FALSE(parseQuantizer("Quality"));
    EXPECT_FALSE(parseQuantizer(""));

    const QuantizeOptions values[] = {{Quantizer::MedianCut, DitherMethod::None, 100},
                                      {Quantizer::MedianCut, DitherMethod::Ordered, 100},
                                      {Quantizer::MedianCut, DitherMethod::Diffusion, 100},
                                      {Quantizer::MedianCut, DitherMethod::Diffusion, 1},
                                      {Quantizer::MedianCut, DitherMethod::Diffusion, 55}};
    for (const QuantizeOptions& v : values) {
        QuantizeOptions back{Quantizer::MedianCut, DitherMethod::Ordered, 7};
        ASSERT_TRUE(parseDither(ditherText(v), back)) << ditherText(v);
        EXPECT_EQ(back, v) << ditherText(v);
    }
    EXPECT_EQ(ditherText(values[2]), "diffusion");
    EXPECT_EQ(ditherText(values[4]), "diffusion=55");

    for (const char* bad : {"", "None", "fs", "diffusion=", "diffusion=0", "diffusion=101", "diffusion=5x",
                            "diffusion=-5", "diffusion= 5", "ordered=3"}) {
        QuantizeOptions kept{Quantizer::HighQuality, DitherMethod::Ordered, 100};
        EXPECT_FALSE(parseDither(bad, kept)) << bad;
        EXPECT_EQ(kept, (QuantizeOptions{Quantizer::HighQuality, DitherMethod::Ordered, 100})) << bad;
    }
}

TEST(PaletteSearch, AgreesWithTheFullSearch) {
    std::mt19937 rng(7);
    for (int count : {1, 2, 17, 256}) {
        std::vector<PaletteEntry> entries;
        for (int k = 0; k < count; ++k) {
            // Clustered entries and repeated ones make ties and crowded cells.
            const uint8_t base = uint8_t(rng() % 4 * 60);
            entries.push_back({uint8_t(base + rng() % 12), uint8_t(base + rng() % 12), uint8_t(rng() % 256), 0});
            if (k % 5 == 4) entries.back() = entries[size_t(k - 1)];
        }
        for (int skip : {-1, 0, count / 2}) {
            PaletteSearch search(entries.data(), count, skip);
            for (int i = 0; i < 20000; ++i) {
                const uint8_t r = uint8_t(rng()), g = uint8_t(rng()), b = uint8_t(rng());
                ASSERT_EQ(search.nearest(r, g, b), nearestColor(entries.data(), count, r, g, b, skip))
                    << count << " entries, skip " << skip << ", colour " << int(r) << "," << int(g) << "," << int(b);
            }
        }
    }
}

// 24-bit rows in memory order from a function of (x, row).
std::vector<uint8_t> deepRows(uint32_t w, uint32_t h, const std::function<Rgb8(uint32_t, uint32_t)>& color) {
    const DeepRows shape{nullptr, w, h, 24};
    std::vector<uint8_t> bytes(shape.stride() * h);
    for (uint32_t r = 0; r < h; ++r)
        for (uint32_t x = 0; x < w; ++x) {
            const Rgb8 c = color(x, r);
            uint8_t* p = bytes.data() + r * shape.stride() + x * 3;
            p[0] = c.blue, p[1] = c.green, p[2] = c.red;
        }
    return bytes;
}

Rgb8 shown(const TDib256& image, uint32_t x, uint32_t memoryRow) {
    const RgbQuad& q = image.colors()[image.bits()[memoryRow * uint32_t(image.stride()) + x]];
    return {q.red, q.green, q.blue};
}

TEST(HighQuality, KeepsColoursThatFitAndDeepPixelsAtFullRange) {
    // 200 scattered colours, each in its own place: all fit in 256 entries.
    std::mt19937 rng(3);
    std::vector<Rgb8> colors(200);
    for (Rgb8& c : colors) c = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
    const auto bytes = deepRows(40, 30, [&](uint32_t x, uint32_t r) { return colors[(x + r * 40) % 200]; });
    const auto image = quantizeDeep({bytes.data(), 40, 30, 24}, 256, quality);
    ASSERT_TRUE(image);
    for (uint32_t r = 0; r < 30; ++r)
        for (uint32_t x = 0; x < 40; ++x) ASSERT_EQ(shown(*image, x, r), colors[(x + r * 40) % 200]) << x << "," << r;

    // 5-5-5 white is 255 on this path; the median cut keeps its own 248.
    const std::vector<uint8_t> words = {0xFF, 0x7F, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00};
    const auto deep = quantizeDeep({words.data(), 3, 1, 16}, 256, quality);
    ASSERT_TRUE(deep);
    EXPECT_EQ(shown(*deep, 0, 0), (Rgb8{255, 255, 255}));
    EXPECT_EQ(shown(*deep, 2, 0), (Rgb8{0, 0, 255}));
    EXPECT_EQ(shown(*quantizeDeep({words.data(), 3, 1, 16}, 256, {}), 0, 0), (Rgb8{248, 248, 248}));
}

TEST(Dithering, MixesTwoColoursInTheRightProportion) {
    const PaletteEntry blackWhite[] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    const std::vector<Rgb8> gray(64, Rgb8{64, 64, 64});
    for (DitherMethod method : {DitherMethod::None, DitherMethod::Ordered, DitherMethod::Diffusion}) {
        PaletteDitherer ditherer(blackWhite, 2, -1, {Quantizer::MedianCut, method, 100});
        ditherer.startPicture(64);
        int white = 0;
        std::vector<uint8_t> out(64);
        for (int y = 0; y < 64; ++y) {
            ditherer.mapRow(gray.data(), nullptr, out.data(), 0, y);
            for (uint8_t v : out) white += v;
        }
        // A quarter of the pixels white, within a row's worth.
        const int expected = method == DitherMethod::None ? 0 : 64 * 64 / 4;
        EXPECT_NEAR(white, expected, 64) << int(method);
    }
}

// A smooth background of many colours, and a bright block that moves.
std::vector<Rgb> backgroundColors() {
    std::vector<Rgb> colors;
    for (int i = 0; i < 250; ++i) colors.push_back({uint8_t(i), uint8_t(120 + i / 3), uint8_t(255 - i)});
    colors.push_back({250, 30, 30});  // the block, index 250
    return colors;
}

std::unique_ptr<TFrame> movingBlockFrame(int frame, int w, int h) {
    std::vector<uint8_t> pixels(size_t(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool block = x >= 4 + frame * 9 && x < 12 + frame * 9 && y >= 10 && y < 18;
            pixels[size_t(y * w + x)] = block ? 250 : uint8_t((x * 3 + y * 2) % 250);
        }
    return colorFrame(w, h, backgroundColors(), pixels);
}

bool inBlock(int frame, int x, int y) { return x >= 4 + frame * 9 && x < 12 + frame * 9 && y >= 10 && y < 18; }

Document movingBlock(int frames, int w, int h) {
    Document doc;
    doc.globalPalette = std::make_unique<TMyPalette>();
    for (int f = 0; f < frames; ++f) doc.frameList.append("f", movingBlockFrame(f, w, h));
    doc.relink();
    return doc;
}

TEST(Dithering, StillAreasDoNotChangeFromFrameToFrame) {
    const int w = 64, h = 32, frames = 4;
    for (Quantizer q : {Quantizer::MedianCut, Quantizer::HighQuality})
        for (DitherMethod method : {DitherMethod::Ordered, DitherMethod::Diffusion}) {
            Document plain = movingBlock(frames, w, h), dithered = movingBlock(frames, w, h);
            plain.quantize = {q, DitherMethod::None, 100};
            dithered.quantize = {q, method, 100};
            ASSERT_TRUE(reduceColors(plain, 6, true));
            ASSERT_TRUE(reduceColors(dithered, 6, true));
            int differ = 0;
            for (int f = 0; f < frames; ++f)
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const TFrame& now = *dithered.frameList.frameAt(f);
                        differ += now.image->pixel(x, y) != plain.frameList.frameAt(f)->image->pixel(x, y);
                        if (f == 0 || inBlock(f, x, y) || inBlock(f - 1, x, y)) continue;
                        ASSERT_EQ(now.image->pixel(x, y), dithered.frameList.frameAt(f - 1)->image->pixel(x, y))
                            << "quantiser " << int(q) << ", dither " << int(method) << ", frame " << f << " at " << x
                            << "," << y;
                    }
            // The dithering did something to check.
            EXPECT_GT(differ, w * h / 10) << int(q) << " " << int(method);
        }

    // A video's frames on their shared palette.
    const auto still = [](uint32_t x, uint32_t r) { return Rgb8{uint8_t(x * 4), uint8_t(100 + r * 3), uint8_t(200 - x)}; };
    const auto first = deepRows(w, h, still);
    const auto second = deepRows(w, h, [&](uint32_t x, uint32_t r) {
        return x < 8 && r < 8 ? Rgb8{255, 0, 0} : still(x, r);
    });
    SharedPaletteBuilder builder(Quantizer::HighQuality);
    builder.addPicture({first.data(), w, h, 24});
    SteadyMapper mapper(builder.palette(6), {Quantizer::HighQuality, DitherMethod::Diffusion, 100}, true);
    const auto a = mapper.map({first.data(), w, h, 24}), b = mapper.map({second.data(), w, h, 24});
    ASSERT_TRUE(a && b);
    for (uint32_t r = 0; r < uint32_t(h); ++r)
        for (uint32_t x = 0; x < uint32_t(w); ++x)
            if (x >= 8 || r >= 8) {
                ASSERT_EQ(a->bits()[r * uint32_t(a->stride()) + x], b->bits()[r * uint32_t(b->stride()) + x]);
            }
}

TMyPalette blackAndWhite() {
    TMyPalette p;
    p.setEntry(0, {0, 0, 0, 0});
    p.setEntry(1, {255, 255, 255, 0});
    p.colorCount = 2;
    return p;
}

TEST(ChainDithering, TheOrderedPatternIsAnchoredToTheScreen) {
    // A flat gray frame over the whole screen and a smaller one at (3, 5):
    // the same colour at the same place of the screen gives the same pixel.
    auto whole = colorFrame(16, 16, {{64, 64, 64}}, {0});
    auto inner = colorFrame(8, 8, {{64, 64, 64}}, {0});
    inner->moveTo({3, 5});
    whole->next = inner.get();
    const TMyPalette palette = blackAndWhite();
    ChainDitherer ditherer(whole.get(), palette, {Quantizer::MedianCut, DitherMethod::Ordered, 100});
    ditherer.remap(*whole);
    ditherer.remap(*inner);
    int white = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            ASSERT_EQ(inner->image->pixel(x, y), whole->image->pixel(x + 3, y + 5)) << x << "," << y;
            white += inner->image->pixel(x, y);
        }
    EXPECT_GT(white, 0);  // dithered, not one flat colour
    EXPECT_LT(white, 64);
}

TEST(ChainDithering, DiffusionRedoesWhatTheSourceChanged) {
    // Frame 1: gray left half, black right half; frame 2 turns the right
    // half white.  The still gray keeps frame 1's pixels; the changed half
    // shows its new colour, not frame 1's.
    const std::vector<Rgb> colors = {{128, 128, 128}, {0, 0, 0}, {255, 255, 255}};
    auto halves = [&](uint8_t right) {
        std::vector<uint8_t> pixels(16 * 8);
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = i % 16 < 8 ? 0 : right;
        return colorFrame(16, 8, colors, pixels);
    };
    auto first = halves(1), second = halves(2);
    first->next = second.get();
    const TMyPalette palette = blackAndWhite();
    ChainDitherer ditherer(first.get(), palette, {Quantizer::MedianCut, DitherMethod::Diffusion, 100});
    ditherer.remap(*first);
    ditherer.remap(*second);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            if (x < 8) {
                ASSERT_EQ(second->image->pixel(x, y), first->image->pixel(x, y)) << x << "," << y;
            } else {
                ASSERT_EQ(first->image->pixel(x, y), 0) << x << "," << y;
                ASSERT_EQ(second->image->pixel(x, y), 1) << x << "," << y;
            }
        }
}

TEST(HighQuality, TheTransparentColourKeepsEntryZero) {
    for (DitherMethod method : {DitherMethod::None, DitherMethod::Ordered, DitherMethod::Diffusion}) {
        Document doc = movingBlock(2, 48, 24);
        // Frame 0: value 7 is transparent; frame 1 shows that colour as a
        // visible colour (no transparency of its own).
        TFrame& see = *doc.frameList.frameAt(0);
        see.transparentIndex = 7;
        for (int x = 0; x < 48; ++x) see.image->setPixel(x, 0, 7);
        std::vector<bool> transparent;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 48; ++x) transparent.push_back(see.image->pixel(x, y) == 7);
        doc.globalPalette = std::make_unique<TMyPalette>(TMyPalette::fromColorTable(see.image->colors(), 251));
        doc.relink();
        const PaletteEntry transparentColor = doc.globalPalette->entry(7);
        doc.quantize = {Quantizer::HighQuality, method, 100};

        ASSERT_TRUE(reduceColors(doc, 8, true));
        const TMyPalette& p = *doc.globalPalette;
        EXPECT_LE(p.colorCount, 8);
        EXPECT_EQ(p.transparentIndex, 0);
        EXPECT_EQ(p.entry(0), transparentColor);
        EXPECT_EQ(see.transparentIndex, 0);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 48; ++x)
                ASSERT_EQ(see.image->pixel(x, y) == 0, transparent[size_t(y * 48 + x)])
                    << "dither " << int(method) << " at " << x << "," << y;
    }
}

TEST(FrameSampler, LongRunsGiveAnEvenSample) {
    const std::vector<bool> all = FrameSampler::evenly(100, 256), some = FrameSampler::evenly(1000, 256);
    EXPECT_EQ(std::count(all.begin(), all.end(), true), 100);
    EXPECT_EQ(std::count(some.begin(), some.end(), true), 256);
    EXPECT_TRUE(some.front() && some.back());

    // Announced 100 frames of 1000 pixels with room for 10000: every tenth;
    // run on to 1000 frames, the step grows and the count stays bounded.
    FrameSampler sampler(100, 1000, 10000);
    int taken = 0;
    for (int i = 0; i < 100; ++i) taken += sampler.take();
    EXPECT_EQ(taken, 10);
    for (int i = 100; i < 1000; ++i) taken += sampler.take();
    EXPECT_LT(taken, 60);
}

}  // namespace
}  // namespace movigram
