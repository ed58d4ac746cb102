// Lossy saves, in every layout: what the file shows stays within the
// level's threshold of what the document shows, transparent where it is
// transparent, and still wherever the document is still; Pillow reads every
// level and shows what our reader shows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

#include <unistd.h>

#include "commands/FileCommands.h"
#include "commands/SaveCommands.h"
#include "document/FrameChain.h"
#include "document/GifReader.h"
#include "gif/LzwLossyEncoder.h"
#include "gif/LzwTestSupport.h"
#include "save/ImageEncoding.h"
#include "save/GifPlan.h"
#include "save/MaxCompression.h"
#include "save/Optimiser.h"
#include "support/CorpusPath.h"
#include "support/GifBuilder.h"
#include "support/Screens.h"

namespace movigram {
namespace {

using test::Screen;
using test::Semantics;

constexpr int greys = 48, red = greys, blue = greys + 1, clear = greys + 2;

// A noisy grey gradient under a red block that moves, a patch of noise that
// changes and a blue sprite with transparent holes; with restore, the sprite
// is restored to the background.
std::unique_ptr<Document> noisyAnimation(bool restore) {
    auto doc = std::make_unique<Document>();
    std::vector<PaletteEntry> entries;
    for (int i = 0; i < greys; ++i) entries.push_back({uint8_t(i * 255 / (greys - 1)), uint8_t(i * 255 / (greys - 1)),
                                                       uint8_t(i * 255 / (greys - 1)), 0});
    entries.push_back({255, 0, 0, 0});
    entries.push_back({0, 0, 255, 0});
    entries.push_back({0, 255, 0, 0});
    doc->globalPalette = std::make_unique<TMyPalette>(entries);
    constexpr int w = 96, h = 64;
    std::mt19937 rng(3);
    std::vector<uint8_t> base(size_t(w) * h);
    auto noise = [&](int x, int y) { return std::clamp((x + y) * greys / (w + h) + int(rng() % 5) - 2, 0, greys - 1); };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) base[size_t(y * w + x)] = uint8_t(noise(x, y));
    for (int f = 0; f < 6; ++f) {
        std::unique_ptr<TFrame> frame;
        if (f == 3) {
            frame = test::makeFrame(20, 12, [](int x, int y) { return (x + y) % 3 == 0 ? clear : blue; });
            frame->moveTo({40, 30});
            frame->transparentIndex = clear;
            frame->overlay = true;
            frame->restoreToBackground = restore;
        } else {
            for (int y = 40; y < 56; ++y)
                for (int x = 8; x < 24; ++x) base[size_t(y * w + x)] = uint8_t(noise(x, y));
            frame = test::makeFrame(w, h, [&](int x, int y) {
                const bool block = x >= 10 * f && x < 10 * f + 10 && y >= 4 && y < 12;
                return block ? red : base[size_t(y * w + x)];
            });
        }
        frame->frameTime = 100;
        frame->backgroundIndex = 0;
        std::string name = "f" + std::to_string(f);
        doc->frameList.append(std::move(name), std::move(frame));
    }
    doc->loopOption = true;
    rethread(*doc, 0);
    return doc;
}

struct Layout {
    const char* name;
    bool crop, split, mask, maximum, previous;
};
constexpr Layout layouts[] = {{"whole frames", false, false, false, false, false},
                              {"crop", true, false, false, false, false},
                              {"crop+split+mask", true, true, true, false, false},
                              {"maximum compression", true, true, true, true, false},
                              {"maximum compression restoring to previous", true, true, true, true, true}};

std::vector<uint8_t> save(const Document& doc, const Layout& layout, int quality) {
    auto saved = std::make_unique<Document>();
    for (int i = 0; i < doc.frameList.count(); ++i)
        saved->frameList.append(doc.frameList.textAt(i), doc.frameList.frameAt(i)->clone());
    saved->globalPalette = std::make_unique<TMyPalette>(*doc.globalPalette);
    saved->loopOption = doc.loopOption;
    rethread(*saved, 0);
    saved->cropToDirty = layout.crop;
    saved->splitDirty = layout.split;
    saved->transparentMaskOption = layout.mask;
    saved->commentFrameOption = false;
    saved->lossyQuality = quality;
    ByteSink sink;
    if (layout.maximum) {
        GifPlan plan;
        MaxCompressionOptions options{saved->loopCount, {}};
        options.restoreToPrevious = layout.previous;
        options.lossyQuality = quality;
        if (!planMaxCompression(saved->firstFrame, *saved->globalPalette, options, plan) || !writeGifPlan(sink, plan))
            return {};
    } else {
        prepareForSave(*saved, true);
        if (!writeGifTo(sink, saved->firstFrame, *saved->globalPalette, writeOptionsOf(*saved))) return {};
    }
    return sink.bytes();
}

// The screens our reader shows of a file, as a browser would.
std::optional<std::vector<Screen>> readBack(const std::vector<uint8_t>& bytes, TSize size) {
    GifReadOutput back = readGifMemory(bytes, "saved.gif");
    if (back.result != GifOk) return std::nullopt;
    linkChain(back.frames);
    TFrame* first = back.frames.empty() ? nullptr : back.frames.front().get();
    return test::screensOf(first, back.globalPalette ? &*back.globalPalette : nullptr, size, Semantics::Viewer);
}

// Empty when got is want within the threshold, transparent where want is,
// and still where want is still.
std::string compareLossy(const std::vector<Screen>& want, const std::vector<Screen>& got, uint32_t threshold) {
    if (want.size() != got.size())
        return std::to_string(got.size()) + " screens instead of " + std::to_string(want.size());
    for (size_t k = 0; k < want.size(); ++k)
        for (size_t i = 0; i < want[k].pixels.size(); ++i) {
            const Rgba a = want[k].pixels[i], b = got[k].pixels[i];
            const std::string where = "screen " + std::to_string(k) + " pixel " + std::to_string(i) + ": ";
            if ((a.a == 0) != (b.a == 0)) return where + "transparency differs";
            const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
            if (a.a != 0 && a != b && uint32_t(dr * dr + dg * dg + db * db) >= threshold)
                return where + "beyond the threshold";
            if (k > 0 && a == want[k - 1].pixels[i] && b != got[k - 1].pixels[i]) return where + "changes";
        }
    return {};
}

TEST(LossySave, EveryLayoutStaysWithinTheThresholdAndStillWhereTheDocumentIsStill) {
    for (bool restore : {false, true}) {
        auto doc = noisyAnimation(restore);
        const TSize size{doc->screenWidth, doc->screenHeight};
        const auto want = test::screensOf(doc->firstFrame, doc->globalPalette.get(), size, Semantics::Viewer);
        for (const Layout& layout : layouts) {
            const size_t lossless = save(*doc, layout, 100).size();
            for (int quality : {0, 40, 80, 95}) {
                const std::string what = std::string(layout.name) + (restore ? " with restore" : "") + " at " +
                                         std::to_string(quality);
                const std::vector<uint8_t> bytes = save(*doc, layout, quality);
                ASSERT_FALSE(bytes.empty()) << what;
                const auto got = readBack(bytes, size);
                ASSERT_TRUE(got) << what << ": unreadable";
                EXPECT_EQ(compareLossy(want, *got, std::max(LzwLossyEncoder::thresholdOf(quality), 1u)), "") << what;
                if (quality <= 40) {
                    EXPECT_LT(bytes.size(), lossless) << what;
                }
            }
        }
    }
}

// The values an image keeps are what its data decodes to (the refiner
// goes on from them), within the threshold of the colours wanted, and the
// close colours it tells are those shown.
TEST(LossySave, AnImageKeepsTheValuesItsLossyDataShows) {
    screen::ColourIds ids;
    GlobalColours global;
    for (int i = 0; i < greys; ++i) {
        const uint32_t v = uint32_t(i * 255 / (greys - 1));
        global.ids.push_back(ids.idOf(v << 16 | v << 8 | v));
    }
    global.indexOf.assign(ids.count(), -1);
    global.fillSlotOf.assign(ids.count(), -1);
    for (size_t k = 0; k < global.ids.size(); ++k) global.indexOf[global.ids[k]] = int16_t(k);
    constexpr int w = 120, h = 90;
    std::mt19937 rng(5);
    ImagePixels px{{0, 0, w, h}, {}, std::vector<uint8_t>(size_t(w) * h, 1)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px.want.push_back(global.ids[size_t(std::clamp((x + y) * greys / (w + h) + int(rng() % 5) - 2, 0, greys - 1))]);
    for (int quality : {40, 80}) {
        ImageEncoder encoder(ids, global, 0, global.ids[0]);
        encoder.setLossyQuality(quality);
        EncodedImage best;
        encoder.encodeBest(px, screen::never, false, best);
        ASSERT_EQ(best.closeColours.size(), px.want.size()) << quality;
        const test::Decoded back = test::decode(best.data, w, h);
        ASSERT_EQ(back.result, LzwResult::Complete) << quality;
        EXPECT_EQ(back.pixels, best.values) << quality;
        for (size_t i = 0; i < px.want.size(); ++i) {
            const uint32_t a = ids.rgbOf(px.want[i]), b = ids.rgbOf(global.ids[back.pixels[i]]);
            const int d = int(a & 0xFF) - int(b & 0xFF);
            ASSERT_LT(uint32_t(3 * d * d), LzwLossyEncoder::thresholdOf(quality)) << i;
            ASSERT_EQ(best.closeColours[i], a == b ? noClose : b) << i;
        }
    }
}

// Shaded discs that move over a transparent screen, each frame restored
// to the background: where an image is restored, the next one draws again
// the pixels that stay, and draws them as the file showed them.
TEST(LossySave, PixelsDrawnAgainAfterARestoreStayAsTheyWere) {
    auto doc = std::make_unique<Document>();
    std::vector<PaletteEntry> entries{{0, 0, 0, 0}};
    for (int s = 0; s < 4; ++s)
        for (int k = 0; k < 15; ++k)
            entries.push_back({uint8_t(60 + s * 45 + k * 6), uint8_t(40 + k * 12), uint8_t(200 - s * 40), 0});
    doc->globalPalette = std::make_unique<TMyPalette>(entries);
    constexpr int w = 120, h = 90;
    for (int f = 0; f < 12; ++f) {
        auto frame = test::makeFrame(w, h, [&](int x, int y) {
            for (int s = 0; s < 4; ++s) {
                const double a = f * 0.13 + s * 1.6;
                const int dx = x - (60 + int(40 * std::cos(a))), dy = y - (45 + int(30 * std::sin(a * 1.3)));
                if (dx * dx + dy * dy > 100) continue;
                return 1 + s * 15 + std::clamp(14 - ((dx + 3) * (dx + 3) + (dy + 3) * (dy + 3)) / 12, 0, 14);
            }
            return 0;
        });
        frame->transparentIndex = 0;
        frame->restoreToBackground = true;
        frame->frameTime = 10;
        doc->frameList.append("f" + std::to_string(f), std::move(frame));
    }
    rethread(*doc, 0);
    const TSize size{doc->screenWidth, doc->screenHeight};
    const auto want = test::screensOf(doc->firstFrame, doc->globalPalette.get(), size, Semantics::Viewer);
    for (int quality : {80, 60}) {
        const auto got = readBack(save(*doc, layouts[3], quality), size);
        ASSERT_TRUE(got) << quality;
        EXPECT_EQ(compareLossy(want, *got, LzwLossyEncoder::thresholdOf(quality)), "") << quality;
    }
}

// Shades drawn with local palettes: 80 colours every frame shares (a band
// that stays the same) and 80 of each frame's own, a step off the other
// frames': more colours than one table holds, close to one another.
TEST(LossySave, CloseColoursMergeIntoOneTableAndStillPixelsStayStill) {
    auto doc = std::make_unique<Document>();
    doc->globalPalette = std::make_unique<TMyPalette>(std::vector<PaletteEntry>{{0, 0, 0, 0}});
    constexpr int w = 160, h = 24;
    for (int f = 0; f < 4; ++f) {
        std::vector<PaletteEntry> entries;
        for (int i = 0; i < 80; ++i) entries.push_back({uint8_t(i * 3), 100, 50, 0});
        for (int i = 0; i < 80; ++i) entries.push_back({uint8_t(i * 3), 180, uint8_t(60 + 2 * f), 0});
        auto frame =
            test::makeFrame(w, h, [&](int x, int y) { return y < 8 ? x % 80 : 80 + (x + y * 3 + f * 7) % 80; });
        frame->localPalette = std::make_unique<TMyPalette>(entries);
        frame->frameTime = 10;
        doc->frameList.append("f" + std::to_string(f), std::move(frame));
    }
    rethread(*doc, 0);
    const TSize size{doc->screenWidth, doc->screenHeight};
    const auto want = test::screensOf(doc->firstFrame, doc->globalPalette.get(), size, Semantics::Viewer);
    auto localTables = [](const std::vector<uint8_t>& bytes) {
        GifReadOutput back = readGifMemory(bytes, "saved.gif");
        return std::count_if(back.frames.begin(), back.frames.end(),
                             [](const auto& f) { return bool(f->localPalette); });
    };
    const Layout& maximum = layouts[3];
    const std::vector<uint8_t> lossless = save(*doc, maximum, 100);
    EXPECT_GT(localTables(lossless), 0);
    for (int quality : {90, 60}) {
        const std::vector<uint8_t> bytes = save(*doc, maximum, quality);
        EXPECT_EQ(localTables(bytes), 0) << quality;
        EXPECT_LT(bytes.size(), lossless.size()) << quality;
        const auto got = readBack(bytes, size);
        ASSERT_TRUE(got) << quality;
        EXPECT_EQ(compareLossy(want, *got, LzwLossyEncoder::thresholdOf(quality)), "") << quality;
    }
}

// Close colours in one image can cost the later images more than they
// save (this recording's rendered edges do): a lossy maximum compression is
// never larger than the lossless one.
TEST(LossySave, MaximumCompressionIsNeverLargerThanLossless) {
    const std::filesystem::path file = test::corpusDir() / "real-world/gym_cart_pole.gif";
    if (!std::filesystem::exists(file)) GTEST_SKIP() << "corpus file " << file << " not found";
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("movigram-lossy-size-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    auto sizeAt = [&](int quality) {
        Document doc;
        openFiles(doc, {file.string()});
        doc.maxCompression = doc.splitDirty = doc.transparentMaskOption = true;
        doc.lossyQuality = quality;
        const std::string out = (dir / (std::to_string(quality) + ".gif")).string();
        EXPECT_TRUE(writePreparedCopy(doc, out, true, false).ok);
        return std::filesystem::file_size(out);
    };
    const auto lossless = sizeAt(100);
    EXPECT_LE(sizeAt(90), lossless);
    std::filesystem::remove_all(dir);
}

// Noise in local palettes, stored with 9-bit codes and a clear every 250:
// tighter than any encoder of ours writes it, so the lossless save keeps
// that data, and so must a lossy one.
TEST(LossySave, NoiseKeptAsStoredIsNeverOutdoneByLossy) {
    std::mt19937 rng(7);
    test::GifBuilder gif(64, 64, 2);
    for (int f = 0; f < 4; ++f) {
        std::vector<std::pair<int, int>> codes{{256, 9}};
        for (int i = 0; i < 64 * 64; ++i) {
            if (i > 0 && i % 250 == 0) codes.push_back({256, 9});
            codes.push_back({int(rng() % 256), 9});
        }
        codes.push_back({257, 9});
        gif.control(5).rawImage(0, 0, 64, 64, test::packCodes(8, codes), 256);
    }
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("movigram-noise-" + std::to_string(getpid()) + ".gif");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(gif.trailer().bytes().data()),
                                                std::streamsize(gif.bytes().size()));
    auto sizeAt = [&](int quality) {
        Document doc;
        openFiles(doc, {file.string()});
        doc.maxCompression = doc.splitDirty = doc.transparentMaskOption = true;
        doc.lossyQuality = quality;
        const std::string out = file.string() + "." + std::to_string(quality) + ".gif";
        EXPECT_TRUE(writePreparedCopy(doc, out, true, false).ok);
        const auto bytes = std::filesystem::file_size(out);
        std::filesystem::remove(out);
        return bytes;
    };
    const auto lossless = sizeAt(100);
    EXPECT_LE(sizeAt(90), lossless);
    std::filesystem::remove(file);
}

// Pillow (Debian python3-pil) reads every level's file without error and
// shows what our reader shows, wherever it shows the lossless file so.
TEST(LossySave, PillowReadsEveryLevelAsWeDo) {
    const std::string python = test::pythonWithPillow();
    if (python.empty()) GTEST_SKIP() << "python3 with PIL (Debian python3-pil) not found: Pillow's view not checked";
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("movigram-lossy-pillow-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    struct Saved {
        std::string what, path;
        std::vector<Screen> ours;
        int32_t width;
        std::string lossless;  // the lossless file of the same layout
    };
    std::vector<Saved> saved;
    std::ofstream list(dir / "files.txt");
    int n = 0;
    for (bool restore : {false, true}) {
        auto doc = noisyAnimation(restore);
        const TSize size{doc->screenWidth, doc->screenHeight};
        for (const Layout& layout : layouts) {
            std::string lossless;
            for (int quality : {100, 0, 40, 80}) {
                const std::vector<uint8_t> bytes = save(*doc, layout, quality);
                const std::string path = (dir / (std::to_string(n++) + ".gif")).string();
                std::ofstream(path, std::ios::binary)
                    .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
                list << path << "\n";
                if (quality == 100) lossless = path;
                saved.push_back({std::string(layout.name) + (restore ? " with restore" : "") + " at " +
                                     std::to_string(quality),
                                 path, *readBack(bytes, size), size.width, lossless});
            }
        }
    }
    list.close();
    const std::string script = (test::sourceDir() / "tests/save/pillow_screens.py").string();
    ASSERT_EQ(std::system((python + " '" + script + "' '" + (dir / "files.txt").string() + "'").c_str()), 0);
    auto pillow = [](const std::string& gif) -> std::optional<std::vector<Screen>> {
        std::ifstream in(gif + ".screens", std::ios::binary);
        int32_t size[2];
        if (!in.read(reinterpret_cast<char*>(size), sizeof size)) return std::nullopt;
        std::vector<Screen> drawn;
        int64_t ms;
        while (in.read(reinterpret_cast<char*>(&ms), sizeof ms)) {
            Screen screen{std::vector<Rgba>(size_t(size[0]) * size_t(size[1])), ms};
            if (!in.read(reinterpret_cast<char*>(screen.pixels.data()),
                         std::streamsize(screen.pixels.size() * sizeof(Rgba))))
                return std::nullopt;
            for (Rgba& p : screen.pixels)
                if (p.a == 0) p = {};
            drawn.push_back(std::move(screen));
        }
        return test::settledScreens(std::move(drawn));
    };
    int compared = 0;
    for (const Saved& s : saved) {
        const auto shown = pillow(s.path);
        ASSERT_TRUE(shown) << s.what << ": Pillow cannot read it";
        const auto plain = pillow(s.lossless);
        const Saved& losslessSaved = *std::find_if(saved.begin(), saved.end(), [&](const Saved& t) { return t.path == s.lossless; });
        if (!plain || !test::compareScreens(losslessSaved.ours, *plain, s.width).empty()) continue;
        ++compared;
        EXPECT_EQ(test::compareScreens(s.ours, *shown, s.width), "") << s.what;
    }
    std::filesystem::remove_all(dir);
    EXPECT_GE(compared, 20);
}

}  // namespace
}  // namespace movigram
