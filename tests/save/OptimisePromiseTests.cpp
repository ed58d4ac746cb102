// An optimised file shows the same animation as the document it was saved
// from: the same screens for the same times, in the program's composition and
// in a browser's.  Checked on generated animations for every combination of
// the optimisation options and for maximum compression, and on every
// readable corpus GIF.  Files of maximum compression may restore to the
// previous screen, which the reader rewrites; a browser's view of them is
// also built straight from their blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

#include <unistd.h>

#include "colour/ColorReduction.h"
#include "commands/FileCommands.h"
#include "commands/SaveCommands.h"
#include "document/FrameChain.h"
#include "corpus/CorpusGif.h"
#include "save/GifPlan.h"
#include "document/GifReader.h"
#include "save/MaxCompression.h"
#include "save/Optimiser.h"
#include "support/CorpusPath.h"
#include "support/GifBuilder.h"
#include "support/Screens.h"

namespace movigram {
namespace {

using test::Screen;
using test::Semantics;

struct Options {
    bool crop, split, mask, pow2, maximum = false, restorePrevious = false;
    std::string name() const {
        if (maximum) return restorePrevious ? "maximum compression restoring to previous" : "maximum compression";
        return std::string(crop ? "crop" : "nocrop") + (split ? "+split" : "") + (mask ? "+mask" : "") +
               (pow2 ? "+pow2" : "");
    }
};
const Options maximumCompression{true, true, true, false, true};
const Options restoringToPrevious{true, true, true, false, true, true};

std::unique_ptr<Document> cloneDocument(const Document& doc) {
    auto copy = std::make_unique<Document>();
    for (int i = 0; i < doc.frameList.count(); ++i) {
        copy->frameList.append(doc.frameList.textAt(i), doc.frameList.frameAt(i)->clone());
    }
    copy->globalPalette = std::make_unique<TMyPalette>(doc.globalPalette ? *doc.globalPalette : TMyPalette());
    copy->loopOption = doc.loopOption;
    copy->loopCount = doc.loopCount;
    copy->transparentIndex = doc.transparentIndex;
    copy->backgroundIndex = doc.backgroundIndex;
    copy->frameTime = doc.frameTime;
    rethread(*copy, 0);
    return copy;
}

// What a browser shows of a file, from its blocks as stored.
std::vector<Screen> browserScreens(const std::vector<uint8_t>& bytes, TSize size) {
    const test::ScannedGif scan = test::scanGif(bytes);
    const test::DecodedGif read = test::readKeepingDecoded(bytes, "saved.gif");
    test::BrowserCompositor compositor(scan, size.width, size.height);
    std::vector<Screen> drawn;
    for (size_t k = 0; k < read.decoded.size() && k < scan.images.size(); ++k) {
        // An image without a graphic control extension has no delay: a
        // browser shows it for a moment of its own choosing, never for the
        // time the document gives the frame.
        const int64_t ms = scan.images[k].hasControl ? int64_t(scan.images[k].delayCs) * 10 : 0;
        drawn.push_back({compositor.show(k, *read.decoded[k]->image), ms});
        compositor.dispose(k);
    }
    return test::settledScreens(std::move(drawn));
}

std::vector<uint8_t> maximumCompressed(Document& doc, bool restorePrevious) {
    GifPlan plan;
    ByteSink sink;
    MaxCompressionOptions options{doc.loopCount, {}};
    options.restoreToPrevious = restorePrevious;
    if (!planMaxCompression(doc.firstFrame, *doc.globalPalette, options, plan) ||
        !writeGifPlan(sink, plan))
        return {};
    return sink.bytes();
}

// Saves a copy of doc (in memory) optimised with the options and compares what the file
// shows with what the document (palette-reduced first when asked) showed.
std::string checkPromise(const Document& doc, const Options& o) {
    auto expected = cloneDocument(doc);
    if (o.pow2) {
        expected->optimizeColors = true;
        reduceToPowerOfTwo(*expected);
    }
    const TSize size{expected->screenWidth, expected->screenHeight};
    const auto wantProgram = test::screensOf(expected->firstFrame, expected->globalPalette.get(), size, Semantics::Program);
    const auto wantViewer = test::screensOf(expected->firstFrame, expected->globalPalette.get(), size, Semantics::Viewer);

    auto saved = cloneDocument(doc);
    saved->cropToDirty = o.crop;
    saved->splitDirty = o.split;
    saved->transparentMaskOption = o.mask;
    saved->optimizeColors = o.pow2;
    saved->commentFrameOption = false;
    std::vector<uint8_t> bytes;
    if (o.maximum) {
        bytes = maximumCompressed(*saved, o.restorePrevious);
        if (bytes.empty()) return "not planned";
        if (auto d = test::compareScreens(wantViewer, browserScreens(bytes, size), size.width); !d.empty())
            return "browser view from the blocks: " + d;
    } else {
        prepareForSave(*saved, true);
        ByteSink sink;
        if (!writeGifTo(sink, saved->firstFrame, *saved->globalPalette, writeOptionsOf(*saved))) return "write failed";
        bytes = sink.bytes();
    }
    if (const std::string past = test::indexPastTable(bytes); !past.empty()) return past;
    GifReadOutput back = readGifMemory(bytes, "saved.gif");
    if (back.result != GifOk) return "saved file reads with result " + std::to_string(back.result);
    linkChain(back.frames);
    TFrame* first = back.frames.empty() ? nullptr : back.frames.front().get();
    // (The frame-by-frame levels write frames placed off the screen clipped,
    // so the program may open their files on another screen.)
    if (const TSize opened = boundingSize(first); o.maximum && opened != size)
        return "reopened on a screen of " + std::to_string(opened.width) + "x" + std::to_string(opened.height);
    const TMyPalette* global = back.globalPalette ? &*back.globalPalette : nullptr;
    if (auto d = test::compareScreens(wantProgram, test::screensOf(first, global, size, Semantics::Program), size.width);
        !d.empty())
        return "program view: " + d;
    if (auto d = test::compareScreens(wantViewer, test::screensOf(first, global, size, Semantics::Viewer), size.width);
        !d.empty())
        return "browser view: " + d;
    return {};
}

const std::vector<Options>& everyCombination() {
    static const std::vector<Options> all = [] {
        std::vector<Options> v;
        for (int bits = 0; bits < 8; ++bits) v.push_back({bool(bits & 1), bool(bits & 2), bool(bits & 4), false});
        v.push_back({true, true, true, true});
        v.push_back({true, false, false, true});
        v.push_back(maximumCompression);
        v.push_back(restoringToPrevious);
        return v;
    }();
    return all;
}

// Random animations with the kinds of frames real files have.
std::unique_ptr<Document> generatedAnimation(uint32_t seed) {
    std::mt19937 rng(seed);
    auto doc = std::make_unique<Document>();
    const int colors = 20 + int(rng() % 30);
    std::vector<PaletteEntry> entries;
    for (int i = 0; i < colors; ++i) entries.push_back({uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0});
    doc->globalPalette = std::make_unique<TMyPalette>(entries);
    const int w = 24 + int(rng() % 40), h = 16 + int(rng() % 30);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };

    // Screen-recording-like full frames share a base picture with small changes.
    std::vector<uint8_t> base(size_t(w) * h);
    for (size_t i = 0; i < base.size(); ++i) base[i] = uint8_t((i / 7 + i % 5) % unsigned(colors));
    const int frames = 3 + pick(9);
    for (int f = 0; f < frames; ++f) {
        std::unique_ptr<TFrame> frame;
        const int kind = f == 0 ? 0 : pick(7);
        if (kind <= 1) {  // full frame, a few patches changed (none for kind 1: a repeat)
            for (int patch = kind == 0 ? pick(4) : 0; patch > 0; --patch) {
                const int px = pick(w), py = pick(h), pw = 1 + pick(8), ph = 1 + pick(6);
                const uint8_t v = uint8_t(pick(colors));
                for (int y = py; y < std::min(h, py + ph); ++y)
                    for (int x = px; x < std::min(w, px + pw); ++x) base[size_t(y * w + x)] = v;
            }
            frame = test::makeFrame(w, h, [&](int x, int y) { return base[size_t(y * w + x)]; });
        } else {  // a sprite: opaque, transparent, restored, local palette or off the origin
            const int sw = 1 + pick(w / 2), sh = 1 + pick(h / 2);
            frame = test::makeFrame(sw, sh, [&](int, int) { return pick(colors); });
            frame->moveTo({pick(w - sw + 1), pick(h - sh + 1)});
            if (kind == 3 || pick(3) == 0) {
                frame->transparentIndex = pick(colors);
                for (int i = 0; i < sw * sh / 2; ++i) frame->image->setPixel(pick(sw), pick(sh), uint8_t(frame->transparentIndex));
                frame->overlay = true;
            }
            if (kind == 4) frame->restoreToBackground = true;
            if (kind == 5) {
                std::vector<PaletteEntry> local;
                for (int i = 0; i < colors; ++i) local.push_back({uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0});
                frame->localPalette = std::make_unique<TMyPalette>(local);
            }
            if (kind == 6) frame->moveTo({-pick(sw), -pick(sh)});
        }
        frame->frameTime = pick(20) == 0 ? 400000 : 10 * (1 + pick(20));
        frame->backgroundIndex = 0;
        frame->name = "g" + std::to_string(f);
        std::string name = frame->name;
        doc->frameList.append(std::move(name), std::move(frame));
    }
    doc->loopOption = true;
    rethread(*doc, 0);
    return doc;
}

TEST(OptimisePromise, GeneratedAnimationsKeepTheirScreens) {
    int failures = 0;
    for (uint32_t seed = 1; seed <= 120 && failures < 5; ++seed) {
        auto doc = generatedAnimation(seed);
        for (const Options& o : everyCombination()) {
            const std::string problem = checkPromise(*doc, o);
            if (!problem.empty()) {
                ADD_FAILURE() << "seed " << seed << " with " << o.name() << ": " << problem;
                ++failures;
            }
        }
    }
}

TEST(OptimisePromise, AFrameWithValuesPastItsPaletteIsWrittenInsideItsTable) {
    // A pasted frame of one colour whose pixels reach 255, and a frame on
    // the global table whose transparent index is the table's size.
    auto doc = generatedAnimation(3);
    auto pasted = test::makeFrame(6, 4, [](int x, int y) { return std::array{255, 128, 7, 0}[size_t(x + y) % 4]; });
    pasted->localPalette = std::make_unique<TMyPalette>(test::testPalette(1));
    doc->frameList.append("pasted", std::move(pasted));
    const int tableSize = 1 << std::max(2, tableBits(doc->globalPalette->colorCount));
    auto keyed = test::makeFrame(5, 5, [&](int x, int) { return x == 2 ? tableSize : x; });
    keyed->transparentIndex = tableSize;
    doc->frameList.append("keyed", std::move(keyed));
    rethread(*doc, 0);
    for (const Options& o : everyCombination()) EXPECT_EQ(checkPromise(*doc, o), "") << o.name();
}

// Every corpus file saved with each of the options keeps its screens.  Split
// in four tests so that each stays short under the sanitizers and CTest can
// run them side by side.
void checkCorpusScreens(std::initializer_list<Options> options) {
    int files = 0, failures = 0, unreadable = 0;
    for (const auto& path : test::corpusFiles("", {".gif"})) {
        Document doc;
        // Files read only in part still give a document to save.
        openFiles(doc, {path.string()});
        if (doc.frameList.empty()) {
            ++unreadable;
            continue;
        }
        // Keep the run short: very large animations add little here.
        if (int64_t(doc.screenWidth) * doc.screenHeight * doc.frameList.count() > 40'000'000) continue;
        ++files;
        for (const Options& o : options) {
            const std::string problem = checkPromise(doc, o);
            if (!problem.empty() && ++failures <= 20)
                ADD_FAILURE() << path.lexically_relative(test::corpusDir()).string() << " with " << o.name() << ": "
                              << problem;
        }
    }
    std::printf("optimise promise: %d corpus files checked, %d without a frame to read, %d failures\n", files,
                unreadable, failures);
}

TEST(OptimisePromise, CorpusFilesKeepTheirScreens) {
    MOVIGRAM_REQUIRE_CORPUS();
    checkCorpusScreens({{true, false, false, false}, {false, false, false, false}});
}

TEST(OptimisePromise, CorpusFilesKeepTheirScreensSplitAndMasked) {
    MOVIGRAM_REQUIRE_CORPUS();
    checkCorpusScreens({{true, true, true, false}, {true, true, true, true}});
}

TEST(OptimisePromise, CorpusFilesKeepTheirScreensAtMaximumCompression) {
    MOVIGRAM_REQUIRE_CORPUS();
    checkCorpusScreens({maximumCompression});
}

TEST(OptimisePromise, CorpusFilesKeepTheirScreensRestoringToPrevious) {
    MOVIGRAM_REQUIRE_CORPUS();
    checkCorpusScreens({restoringToPrevious});
}

// The screens Pillow composed of a file (pillow_screens.py), settled as a
// viewer sees them; none when it could not read the file.
std::optional<std::vector<Screen>> pillowScreens(const std::string& gif) {
    std::ifstream in(gif + ".screens", std::ios::binary);
    int32_t size[2];
    if (!in.read(reinterpret_cast<char*>(size), sizeof size)) return std::nullopt;
    std::vector<Screen> drawn;
    int64_t ms;
    while (in.read(reinterpret_cast<char*>(&ms), sizeof ms)) {
        Screen screen{std::vector<Rgba>(size_t(size[0]) * size_t(size[1])), ms};
        if (!in.read(reinterpret_cast<char*>(screen.pixels.data()), std::streamsize(screen.pixels.size() * sizeof(Rgba))))
            return std::nullopt;
        // Transparent is transparent whatever colour Pillow leaves in it.
        for (Rgba& p : screen.pixels)
            if (p.a == 0) p = {};
        drawn.push_back(std::move(screen));
    }
    return test::settledScreens(std::move(drawn));
}

// Pillow, behind many thumbnailers and upload pipelines, composes a GIF in
// its own way: an image restored to the background leaves the background
// colour, not transparency, and what the first image leaves undrawn shows
// the first colour of the table.  Where it shows a document's plain save as
// browsers show the document, it must show the document's maximum
// compression the same.  Documents saved restoring to the previous screen
// are counted, not required: that option knowingly gives up such decoders.
TEST(OptimisePromise, PillowShowsMaximumCompressionAsBrowsersDo) {
    const std::string python = test::pythonWithPillow();
    if (python.empty()) GTEST_SKIP() << "python3 with PIL (Debian python3-pil) not found: Pillow's view not checked";

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("movigram-pillow-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    auto save = [](const std::string& path, const std::vector<uint8_t>& bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    };
    struct Saved {
        std::string name, stem;
        std::vector<Screen> browser;
        int32_t width;
    };
    std::vector<Saved> saved;
    std::ofstream list(dir / "files.txt");
    auto add = [&](const Document& doc, std::string name) {
        auto plain = cloneDocument(doc);
        const TSize size{plain->screenWidth, plain->screenHeight};
        GifWriteOptions options;
        options.loopCount = plain->loopCount;
        ByteSink sink;
        if (!writeGifTo(sink, plain->firstFrame, *plain->globalPalette, options)) return;
        const std::string stem = (dir / std::to_string(saved.size())).string();
        save(stem + ".gif", sink.bytes());
        list << stem << ".gif\n";
        for (bool previous : {false, true}) {
            save(stem + (previous ? "-previous.gif" : "-o3.gif"), maximumCompressed(*plain, previous));
            list << stem << (previous ? "-previous.gif\n" : "-o3.gif\n");
        }
        saved.push_back({std::move(name), stem,
                         test::screensOf(plain->firstFrame, plain->globalPalette.get(), size, Semantics::Viewer),
                         size.width});
    };
    for (uint32_t seed = 1; seed <= 60; ++seed) add(*generatedAnimation(seed), "seed " + std::to_string(seed));
    if (test::corpusAvailable()) {
        for (const auto& path : test::corpusFiles("", {".gif"})) {
            Document doc;
            openFiles(doc, {path.string()});
            // Pillow composes every screen whole: large animations take long.
            if (doc.frameList.empty() || int64_t(doc.screenWidth) * doc.screenHeight * doc.frameList.count() > 4'000'000)
                continue;
            add(doc, path.lexically_relative(test::corpusDir()).string());
        }
    }
    list.close();
    const std::string script = (test::sourceDir() / "tests/save/pillow_screens.py").string();
    // (Files without an image, which Pillow refuses, are named in its log.)
    EXPECT_EQ(std::system((python + " '" + script + "' '" + (dir / "files.txt").string() + "' 2>'" +
                           (dir / "pillow.log").string() + "'")
                              .c_str()),
              0);

    int shownRight = 0, differing = 0, differingPrevious = 0;
    for (const Saved& s : saved) {
        const auto plain = pillowScreens(s.stem + ".gif");
        if (!plain || !test::compareScreens(s.browser, *plain, s.width).empty()) continue;
        ++shownRight;
        const auto o3 = pillowScreens(s.stem + "-o3.gif");
        const std::string problem = o3 ? test::compareScreens(s.browser, *o3, s.width) : "Pillow cannot read it";
        if (!problem.empty() && ++differing <= 20) ADD_FAILURE() << s.name << ": " << problem;
        const auto previous = pillowScreens(s.stem + "-previous.gif");
        differingPrevious += !previous || !test::compareScreens(s.browser, *previous, s.width).empty();
    }
    std::filesystem::remove_all(dir);
    // Enough documents that Pillow shows rightly for the comparison to say
    // something; the generated ones alone give about twenty (a clone without
    // the corpus has only those).
    EXPECT_GT(shownRight, test::corpusAvailable() ? 30 : 10);
    std::printf("Pillow shows the plain save of %d of %d documents as browsers do; of their maximum compressions "
                "%d differ, restoring to previous %d\n",
                shownRight, int(saved.size()), differing, differingPrevious);
}

// Maximum compression technique by technique: each document keeps its
// screens, and its plan shows the technique at work.

std::unique_ptr<Document> documentOf(std::vector<std::unique_ptr<TFrame>> frames, int colours) {
    auto doc = std::make_unique<Document>();
    doc->globalPalette = std::make_unique<TMyPalette>(test::testPalette(colours));
    for (auto& f : frames) {
        std::string name = f->name;
        doc->frameList.append(std::move(name), std::move(f));
    }
    rethread(*doc, 0);
    return doc;
}

GifPlan planOf(const Document& doc, bool restorePrevious = false) {
    GifPlan plan;
    MaxCompressionOptions options{doc.loopCount, nullptr};
    options.restoreToPrevious = restorePrevious;
    EXPECT_TRUE(planMaxCompression(doc.firstFrame, *doc.globalPalette, options, plan));
    return plan;
}

template <typename Fn>
std::unique_ptr<TFrame> frameOf(int w, int h, int ms, Fn&& fn) {
    auto f = test::makeFrame(w, h, std::forward<Fn>(fn));
    f->frameTime = ms;
    return f;
}

TEST(MaxCompression, AFrameUsingEveryColourStillGetsATransparentIndex) {
    // All 256 colours on the first frame; the second changes every other
    // pixel of a patch to one of 150 colours, so a local table saves no code
    // bits: the global table serves, with an entry the frame does not draw as
    // transparent index for the pixels in between.
    auto base = [](int x, int y) { return (x + 32 * y) % 256; };
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(frameOf(32, 16, 100, base));
    frames.push_back(frameOf(32, 16, 100, [&](int x, int y) {
        return x >= 2 && x < 32 && y >= 3 && y < 13 && (x + y) % 2 ? 100 + (x / 2 + 15 * (y - 3)) % 150 : base(x, y);
    }));
    auto doc = documentOf(std::move(frames), 256);
    EXPECT_EQ(checkPromise(*doc, maximumCompression), "");
    const GifPlan plan = planOf(*doc);
    ASSERT_EQ(plan.images.size(), 2u);
    EXPECT_TRUE(plan.images[1].localTable.empty());
    EXPECT_GE(plan.images[1].transparentIndex, 0);
}

TEST(MaxCompression, AFrameOfFewColoursGetsASmallCodeSize) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(frameOf(40, 20, 100, [](int x, int y) { return (x * 7 + y * 13) % 200; }));
    frames.push_back(frameOf(40, 20, 100, [](int x, int y) {
        return x > 10 && x < 30 && y > 5 && y < 15 ? 3 + (x + y) % 2 : (x * 7 + y * 13) % 200;
    }));
    auto doc = documentOf(std::move(frames), 200);
    EXPECT_EQ(checkPromise(*doc, maximumCompression), "");
    const GifPlan plan = planOf(*doc);
    ASSERT_EQ(plan.images.size(), 2u);
    EXPECT_EQ(plan.images[1].data[0], 2) << "minimum code size";
}

TEST(MaxCompression, LargeFramesKeepASmallCodeSizeBesideManyFramesOfFewColours) {
    // Ten whole frames of 120 colours, and between them thirty two-pixel
    // frames of two colours each of their own: the large frames' colours
    // belong below entry 128, so that they write 7-bit codes.
    std::vector<std::unique_ptr<TFrame>> frames;
    for (int k = 0; k < 40; ++k) {
        if (k % 4 == 0) {
            frames.push_back(frameOf(64, 64, 100, [k](int x, int y) { return (x * 7 + y * 13 + k) % 120; }));
            continue;
        }
        const int small = k - k / 4 - 1;
        auto f = frameOf(2, 1, 100, [small](int x, int) { return 120 + 2 * small + x; });
        f->moveTo({2 * small, 63});
        frames.push_back(std::move(f));
    }
    auto doc = documentOf(std::move(frames), 180);
    const GifPlan plan = planOf(*doc);
    int large = 0;
    for (const PlannedImage& image : plan.images) {
        if (image.rect.width() < 32) continue;
        ++large;
        EXPECT_TRUE(image.localTable.empty());
        EXPECT_EQ(image.data[0], 7) << "minimum code size of the image at " << large;
    }
    EXPECT_EQ(large, 10);
}

TEST(MaxCompression, LocalPalettesOfMoreThan256Colours) {
    // Two pictures of 200 colours each, from different palettes, shown in
    // turn: one fits the global table, the other needs a table of its own.
    auto picture = [](int offset) {
        auto f = frameOf(20, 10, 100, [](int x, int y) { return x + 20 * y; });
        std::vector<PaletteEntry> colours;
        for (int i = 0; i < 200; ++i) colours.push_back({uint8_t(i + offset), uint8_t(3 * i), uint8_t(offset), 0});
        f->localPalette = std::make_unique<TMyPalette>(colours);
        return f;
    };
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(picture(0));
    frames.push_back(picture(40));
    frames.push_back(picture(0));
    auto doc = documentOf(std::move(frames), 4);
    EXPECT_EQ(checkPromise(*doc, maximumCompression), "");
    const GifPlan plan = planOf(*doc);
    size_t local = 0;
    for (const PlannedImage& image : plan.images) local += !image.localTable.empty();
    EXPECT_EQ(local, 1u);
}

TEST(MaxCompression, InterlacedFramesKeepTheirScreens) {
    test::GifBuilder gif(24, 17, 16);
    std::vector<uint8_t> first(24 * 17), inset(9 * 11);
    for (size_t i = 0; i < first.size(); ++i) first[i] = uint8_t(i % 13);
    for (size_t i = 0; i < inset.size(); ++i) inset[i] = uint8_t(15 - i % 3);
    gif.loop(0).control(20).image(0, 0, 24, 17, first, 0, true).control(30).image(5, 4, 9, 11, inset, 0, true).trailer();
    GifReadOutput read = readGifMemory(gif.bytes(), "interlaced");
    ASSERT_EQ(read.result, GifOk);
    Document doc;
    doc.globalPalette = std::make_unique<TMyPalette>(*read.globalPalette);
    doc.frameList.appendChain(std::move(read.frames));
    rethread(doc, 0);
    EXPECT_EQ(checkPromise(doc, maximumCompression), "");
}

TEST(MaxCompression, RowsThatRepeatEveryOtherRowAreWrittenInterlaced) {
    // Two unrelated rows of noise in turn: interlaced, each pass repeats one
    // row, so its strings run on across the rows.  Rows all alike gain
    // nothing from it and stay in order.
    auto noise = [](int x, int y) { return int((uint32_t(x + 1000 * (y % 2)) * 2654435761u) >> 24); };
    for (bool pattern : {true, false}) {
        std::vector<std::unique_ptr<TFrame>> frames;
        frames.push_back(frameOf(150, 40, 100, [&](int x, int y) { return pattern ? noise(x, y) : noise(x, 0); }));
        auto doc = documentOf(std::move(frames), 256);
        EXPECT_EQ(checkPromise(*doc, maximumCompression), "");
        const GifPlan plan = planOf(*doc);
        ASSERT_EQ(plan.images.size(), 1u);
        EXPECT_EQ(plan.images[0].interlaced, pattern);
    }
}

TEST(MaxCompression, RefiningOnASecondThreadWritesTheSameFile) {
    // Enough pixels for the second thread, frames that keep changing, and
    // refinements that win on some images only.
    std::vector<std::unique_ptr<TFrame>> frames;
    for (int f = 0; f < 24; ++f)
        frames.push_back(frameOf(160, 120, 50, [&](int x, int y) {
            const bool sprite = x >= 5 * f && x < 5 * f + 30 && y >= 2 * f && y < 2 * f + 30;
            return sprite ? (x * y + f) % 7 : f % 3 == 0 ? int((uint32_t(x + 7 * y * f) * 2654435761u) >> 29)
                                                         : (x / 4 + y / 3) % 11;
        }));
    auto doc = documentOf(std::move(frames), 16);
    GifPlan plans[2];
    for (bool secondThread : {false, true}) {
        MaxCompressionOptions options{doc->loopCount, nullptr};
        options.secondThread = secondThread;
        ASSERT_TRUE(planMaxCompression(doc->firstFrame, *doc->globalPalette, options, plans[secondThread]));
    }
    ByteSink inOrder, pipelined;
    ASSERT_TRUE(writeGifPlan(inOrder, plans[0]) && writeGifPlan(pipelined, plans[1]));
    EXPECT_EQ(inOrder.bytes(), pipelined.bytes());
    EXPECT_EQ(checkPromise(*doc, maximumCompression), "");
}

TEST(MaxCompression, FramesWithoutTimeStayAndFramesThatChangeNothingAreMerged) {
    auto picture = [](int shade, int ms) { return frameOf(8, 8, ms, [=](int x, int y) { return (x + y + shade) % 5; }); };
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(picture(0, 100));
    frames.push_back(picture(1, 0));       // shown for no time, but shown
    frames.push_back(picture(1, 0));       // changes nothing
    frames.push_back(picture(2, 100));
    frames.push_back(picture(2, 400000));  // changes nothing: merged
    frames.push_back(picture(2, 400000));  // would pass 655.35 s: a frame of its own
    auto doc = documentOf(std::move(frames), 5);
    EXPECT_EQ(checkPromise(*doc, maximumCompression), "");
    const GifPlan plan = planOf(*doc);
    ASSERT_EQ(plan.images.size(), 4u);
    EXPECT_EQ(plan.images[1].delayCs, 0u);
    EXPECT_EQ(plan.images[2].delayCs, 40010u);
    EXPECT_EQ(plan.images[3].delayCs, 40000u);
    EXPECT_EQ(plan.images[3].rect.area(), 1);
}

TEST(MaxCompression, ASpriteOverAStillBackgroundRestoresToThePreviousScreenOnlyWhenAsked) {
    // The texture, then each frame whole: the texture with the sprite
    // elsewhere.  Restoring the screen before the last sprite leaves only the
    // next to draw, but some decoders show that restore wrongly: only asked
    // for is it used.
    std::vector<std::unique_ptr<TFrame>> frames;
    for (int f = 0; f < 6; ++f)
        frames.push_back(frameOf(64, 48, 50, [=](int x, int y) {
            const int sx = 9 * f - 5, sy = 5 * f;
            return f > 0 && x >= sx && x < sx + 6 && y >= sy && y < sy + 6 ? 20 + (x - sx) : (x * 3 + y * 5) % 16;
        }));
    auto doc = documentOf(std::move(frames), 32);
    for (bool asked : {false, true}) {
        EXPECT_EQ(checkPromise(*doc, asked ? restoringToPrevious : maximumCompression), "");
        const GifPlan plan = planOf(*doc, asked);
        EXPECT_EQ(std::any_of(plan.images.begin(), plan.images.end(),
                              [](const PlannedImage& image) { return image.disposal == 3; }),
                  asked);
    }
    // The editor's save asks only when the document says so.
    const std::filesystem::path out =
        std::filesystem::temp_directory_path() / ("movigram-previous-" + std::to_string(getpid()) + ".gif");
    doc->maxCompression = true;
    doc->commentFrameOption = false;
    for (bool asked : {false, true}) {
        doc->restoreToPrevious = asked;
        ASSERT_TRUE(writePreparedCopy(*doc, out.string(), true, false).ok);
        const test::ScannedGif scan = test::scanGif(test::loadFile(out));
        EXPECT_EQ(std::any_of(scan.images.begin(), scan.images.end(),
                              [](const test::ScannedImage& image) { return image.disposal == 3; }),
                  asked);
    }
    std::filesystem::remove(out);
}

TEST(MaxCompression, RestoredAreasKeepEachFramesFillColour) {
    // Over a picture of many colours, sprites of few colours restored to
    // the background, whose fill colours (their transparent indices) differ
    // from frame to frame: the program shows each restored area in its own
    // frame's colour, also where a small table of its own writes the sprite.
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(frameOf(30, 20, 60, [](int x, int y) { return 20 + (x * 7 + y * 11) % 180; }));
    for (int f = 0; f < 5; ++f) {
        const int t = f % 2 ? 7 : 2;
        auto frame = frameOf(30, 20, 60, [=](int x, int y) {
            return (x - 8 - 3 * f) * (x - 8 - 3 * f) + (y - 10) * (y - 10) < 30 ? 10 + (x + f) % 4 : t;
        });
        frame->transparentIndex = t;
        frame->restoreToBackground = true;
        frames.push_back(std::move(frame));
    }
    auto doc = documentOf(std::move(frames), 200);
    EXPECT_EQ(checkPromise(*doc, maximumCompression), "");
    const GifPlan plan = planOf(*doc);
    EXPECT_TRUE(std::any_of(plan.images.begin(), plan.images.end(), [](const PlannedImage& image) {
        return image.disposal == 2 && !image.localTable.empty();
    }));
}

TEST(MaxCompression, AFrameReadWithoutControlKeepsItsSecond) {
    // The document gives such frames 1 s, as every other level writes them.
    std::vector<std::unique_ptr<TFrame>> frames;
    for (int f = 0; f < 2; ++f) {
        frames.push_back(frameOf(6, 4, 1000, [=](int x, int y) { return (x + y + f) % 3; }));
        frames.back()->withoutControl = true;
    }
    auto doc = documentOf(std::move(frames), 3);
    EXPECT_EQ(checkPromise(*doc, maximumCompression), "");
}

TEST(MaxCompression, TheFirstImageHasATransparentIndexWhenAScreenShowsTransparency) {
    // Some decoders show transparency only after a first image with a
    // transparent index.  Here the first frame leaves its sides clear and
    // the second covers them; the first image need not draw them.
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(frameOf(6, 4, 100, [](int x, int y) { return x == 0 || x == 5 ? 3 : (x + y) % 3; }));
    frames.back()->transparentIndex = 3;
    frames.push_back(frameOf(6, 4, 100, [](int x, int y) { return (x * y) % 3; }));
    auto doc = documentOf(std::move(frames), 4);
    EXPECT_EQ(checkPromise(*doc, maximumCompression), "");
    const GifPlan plan = planOf(*doc);
    ASSERT_EQ(plan.images.size(), 2u);
    EXPECT_GE(plan.images[0].transparentIndex, 0);
}

TEST(MaxCompression, ARestoreTheNextFrameCoversNeedsNoTransparency) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(frameOf(8, 8, 100, [](int x, int y) { return (x * y) % 4; }));
    frames.back()->restoreToBackground = true;
    frames.push_back(frameOf(8, 8, 100, [](int x, int y) { return (x + y) % 4; }));
    auto doc = documentOf(std::move(frames), 4);
    EXPECT_EQ(checkPromise(*doc, maximumCompression), "");
    const GifPlan plan = planOf(*doc);
    ASSERT_EQ(plan.images.size(), 2u);
    EXPECT_LT(plan.images[0].transparentIndex, 0);
    EXPECT_TRUE(plan.images[0].localTable.empty());
}

TEST(MaxCompression, TheFirstImageReachesTheCornerWhenThatIsSmaller) {
    // A picture in a thin transparent frame, then small changes near its
    // top left corner: keeping the first image whole costs less than
    // stretching the last one to the far corner.
    auto picture = [](int f) {
        auto frame = frameOf(60, 60, 100, [=](int x, int y) {
            if (x < 1 || y < 1 || x >= 59 || y >= 59) return 7;
            return x >= 4 + f && x < 8 + f && y >= 4 && y < 8 ? 5 : (x * 3 + y) % 4;
        });
        frame->transparentIndex = 7;
        return frame;
    };
    std::vector<std::unique_ptr<TFrame>> frames;
    for (int f = 0; f < 4; ++f) frames.push_back(picture(f));
    auto doc = documentOf(std::move(frames), 8);
    EXPECT_EQ(checkPromise(*doc, maximumCompression), "");
    const GifPlan plan = planOf(*doc);
    ASSERT_EQ(plan.images.size(), 4u);
    EXPECT_EQ(plan.images[0].rect.right, 60);
    EXPECT_EQ(plan.images[0].rect.bottom, 60);
    EXPECT_LT(plan.images.back().rect.area(), 100);
}

TEST(MaxCompression, AFillColourNothingDrawsGoesToALocalTableWhenThatIsSmaller) {
    // Four colours drawn (the first frame leaves one to spare for its
    // transparent index), and a sprite of one colour restored to a fifth
    // that no frame draws: a second entry for it would double the global
    // table; a table of two entries on the sprite's image costs less.
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(frameOf(32, 24, 100, [](int x, int y) { return (x / 3 + y / 2) % 3; }));
    auto sprite = frameOf(4, 4, 100, [](int, int) { return 0; });
    sprite->moveTo({5, 5});
    sprite->transparentIndex = 4;
    sprite->restoreToBackground = true;
    frames.push_back(std::move(sprite));
    auto after = frameOf(4, 4, 100, [](int x, int) { return 1 + x % 3; });
    after->moveTo({20, 12});
    frames.push_back(std::move(after));
    auto doc = documentOf(std::move(frames), 5);
    EXPECT_EQ(checkPromise(*doc, maximumCompression), "");
    const GifPlan plan = planOf(*doc);
    EXPECT_EQ(plan.globalTable.size(), 4u);
    EXPECT_TRUE(std::any_of(plan.images.begin(), plan.images.end(), [](const PlannedImage& image) {
        return image.disposal == 2 && image.localTable.size() == 2;
    }));
}

TEST(MaxCompression, NeverLargerThanThePlainOrTheOptimisingSaveOnTheCorpus) {
    MOVIGRAM_REQUIRE_CORPUS();
    // A directory of its own: another checkout's tests may run alongside.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("movigram-o3-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    int files = 0, planned = 0;
    for (const auto& path : test::corpusFiles("", {".gif"})) {
        Document doc;
        openFiles(doc, {path.string()});
        if (doc.frameList.empty()) continue;
        if (int64_t(doc.screenWidth) * doc.screenHeight * doc.frameList.count() > 40'000'000) continue;
        ++files;
        doc.commentFrameOption = false;
        auto sizeOf = [&](const char* name, bool optimize, bool maximum) {
            doc.splitDirty = doc.transparentMaskOption = optimize;
            doc.maxCompression = maximum;
            const std::string out = (dir / name).string();
            EXPECT_TRUE(writePreparedCopy(doc, out, optimize, false).ok);
            return std::filesystem::file_size(out);
        };
        const auto plain = sizeOf("plain.gif", false, false), optimised = sizeOf("o.gif", true, false),
                   maximum = sizeOf("o3.gif", true, true);
        EXPECT_LE(maximum, plain) << path;
        EXPECT_LE(maximum, optimised) << path;
        planned += maximum < std::min(plain, optimised);
    }
    std::filesystem::remove_all(dir);
    std::printf("maximum compression: %d corpus files, smaller than both the plain and the optimising save on %d\n",
                files, planned);
}

}  // namespace
}  // namespace movigram
