// An optimised file shows the same animation as the document it was saved
// from: the same screens for the same times, in the program's composition and
// in a browser's.  Checked on generated animations for every combination of
// the optimisation options and for maximum compression, and on every
// readable corpus GIF.  Files of maximum compression may restore to the
// previous screen, which the reader rewrites; a browser's view of them is
// also built straight from their blocks.
#include <gtest/gtest.h>

#include <random>

#include "colour/ColorReduction.h"
#include "commands/FileCommands.h"
#include "commands/SaveCommands.h"
#include "document/FrameChain.h"
#include "corpus/CorpusGif.h"
#include "document/GifPlan.h"
#include "document/GifReader.h"
#include "document/MaxCompression.h"
#include "document/Optimiser.h"
#include "support/CorpusPath.h"
#include "support/GifBuilder.h"
#include "support/Screens.h"

namespace movigram {
namespace {

using test::Screen;
using test::Semantics;

struct Options {
    bool crop, split, mask, pow2, maximum = false;
    std::string name() const {
        if (maximum) return "maximum compression";
        return std::string(crop ? "crop" : "nocrop") + (split ? "+split" : "") + (mask ? "+mask" : "") +
               (pow2 ? "+pow2" : "");
    }
};
const Options maximumCompression{true, true, true, false, true};

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
        drawn.push_back({compositor.show(k, *read.decoded[k]->image), int64_t(scan.images[k].delayCs) * 10});
        compositor.dispose(k);
    }
    return test::settledScreens(std::move(drawn));
}

std::vector<uint8_t> maximumCompressed(Document& doc) {
    GifPlan plan;
    ByteSink sink;
    if (!planMaxCompression(doc.firstFrame, *doc.globalPalette, {doc.loopCount, {}}, plan) ||
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
        bytes = maximumCompressed(*saved);
        if (bytes.empty()) return "not planned";
        if (auto d = test::compareScreens(wantViewer, browserScreens(bytes, size), size.width); !d.empty())
            return "browser view from the blocks: " + d;
    } else {
        prepareForSave(*saved, true);
        ByteSink sink;
        if (!writeGifTo(sink, saved->firstFrame, *saved->globalPalette, writeOptionsOf(*saved))) return "write failed";
        bytes = sink.bytes();
    }
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

TEST(OptimisePromise, CorpusFilesKeepTheirScreens) {
    MOVIGRAM_REQUIRE_CORPUS();
    const Options corpusOptions[] = {{true, false, false, false}, {true, true, true, false}, {false, false, false, false},
                                     {true, true, true, true}, maximumCompression};
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
        for (const Options& o : corpusOptions) {
            const std::string problem = checkPromise(doc, o);
            if (!problem.empty() && ++failures <= 20)
                ADD_FAILURE() << path.lexically_relative(test::corpusDir()).string() << " with " << o.name() << ": "
                              << problem;
        }
    }
    std::printf("optimise promise: %d corpus files checked, %d without a frame to read, %d failures\n", files,
                unreadable, failures);
}

}  // namespace
}  // namespace movigram
