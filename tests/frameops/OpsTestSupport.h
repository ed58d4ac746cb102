#pragma once
// Documents built in code for the frame operation and effect tests, and a
// full description of a document for checking that undo gives it back.
#include <cstdint>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "document/Compose.h"
#include "document/Document.h"
#include "document/FrameChain.h"
#include "save/Optimiser.h"
#include "support/GifBuilder.h"

namespace movigram::test {

// A frame of w x h at (left, top) whose pixels come from fn(x, y), on the
// colour table of palette.
template <typename Fn>
std::unique_ptr<TFrame> placedFrame(int left, int top, int w, int h, Fn&& fn, const TMyPalette& palette,
                                    std::string name = "frame") {
    auto f = makeFrame(w, h, fn, std::move(name));
    f->image->colors() = palette.toColorTable();
    f->image->colorsUsed = palette.colorCount;
    f->moveTo({left, top});
    return f;
}

inline std::unique_ptr<TFrame> solidFrame(int left, int top, int w, int h, int value, const TMyPalette& palette,
                                          std::string name = "frame") {
    return placedFrame(left, top, w, h, [value](int, int) { return value; }, palette, std::move(name));
}

// A document of the given frames on a global palette of paletteSize test
// colours, chained and with its frame times normalised as after Open.
inline std::unique_ptr<Document> documentOf(std::vector<std::unique_ptr<TFrame>> frames, int paletteSize = 8) {
    auto doc = std::make_unique<Document>();
    doc->globalPalette = std::make_unique<TMyPalette>(testPalette(paletteSize));
    for (auto& f : frames) {
        std::string text = f->name;
        doc->frameList.append(std::move(text), std::move(f));
    }
    rethread(*doc, 0);
    doc->frameTime = normalizeFrameTimes(doc->firstFrame);
    doc->modified = false;
    return doc;
}

// 16 grays, 0 (black) to 15 (white), and a document of frames on them.
inline TMyPalette grays() {
    std::vector<PaletteEntry> e;
    for (int i = 0; i < 16; ++i) e.push_back({uint8_t(i * 17), uint8_t(i * 17), uint8_t(i * 17), 0});
    return TMyPalette(e);
}

inline std::unique_ptr<Document> grayDocument(std::vector<std::unique_ptr<TFrame>> frames) {
    auto doc = documentOf(std::move(frames));
    doc->globalPalette = std::make_unique<TMyPalette>(grays());
    return doc;
}

// A document of count solid 4 x 3 frames named "f0", "f1", ..., frame i of
// colour i % 8 of the 8-colour test palette.
inline std::unique_ptr<Document> namedFrames(int count) {
    const TMyPalette palette = testPalette(8);
    std::vector<std::unique_ptr<TFrame>> frames;
    for (int i = 0; i < count; ++i) frames.push_back(solidFrame(0, 0, 4, 3, i % 8, palette, "f" + std::to_string(i)));
    return documentOf(std::move(frames));
}

inline uint64_t hashBytes(const uint8_t* p, size_t n, uint64_t h = 1469598103934665603ull) {
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

inline uint64_t hashImage(const TDib256& image) {
    uint64_t h = 0;
    for (int32_t y = 0; y < image.height(); ++y) h = hashBytes(image.row(y), size_t(image.width()), h + 1);
    return h;
}

inline std::string describePalette(const TMyPalette* p) {
    if (!p) return "none";
    std::ostringstream s;
    s << p->colorCount << " colors t" << p->transparentIndex << " #"
      << hashBytes(reinterpret_cast<const uint8_t*>(p->entries().data()), 256 * sizeof(PaletteEntry));
    return s.str();
}

// Everything a user could see of the document, one frame per line: order,
// names, pixels, colour tables, palettes, placement, timing, restore method
// and transparency.  Times are compared as the time each frame shows, since
// an inserted effect brings all frames to a common unit that its undo keeps;
// the document's transparent index and time unit are checked where they
// matter.
inline std::string describe(const Document& doc) {
    std::ostringstream s;
    s << "screen " << doc.screenWidth << "x" << doc.screenHeight << " loop "
      << doc.loopOption << "/" << doc.loopCount << " bg" << doc.backgroundIndex << " global " << describePalette(doc.globalPalette.get()) << "\n";
    for (int i = 0; i < doc.frameList.count(); ++i) {
        const TFrame& f = *doc.frameList.frameAt(i);
        s << i << " '" << doc.frameList.textAt(i) << "' '" << f.name << "'" << (f.isComment ? " comment" : "")
          << " rect " << f.rect.left << "," << f.rect.top << "," << f.rect.right << "," << f.rect.bottom << " "
          << int64_t(f.frameTime) * f.repeat << " ms restore " << f.restoreToBackground << " t" << f.transparentIndex
          << " bg" << f.backgroundIndex << " local " << describePalette(f.localPalette.get());
        if (f.image) {
            s << " image " << f.image->width() << "x" << f.image->height() << " #" << hashImage(*f.image)
              << " table #"
              << hashBytes(reinterpret_cast<const uint8_t*>(f.image->colors().data()), 256 * sizeof(RgbQuad));
        }
        s << "\n";
    }
    return s.str();
}

// The screen after frame `index`, for checking pictures rather than frames.
inline std::vector<uint8_t> pictureAt(const Document& doc, int index) {
    const TMyPalette none;
    auto f = compositeAt(doc.frameList, index, "", {doc.screenWidth, doc.screenHeight},
                         doc.globalPalette ? *doc.globalPalette : none);
    return pixelsOf(*f->image);
}

// A random animation of 3 to 7 frames on a screen of up to 48 x 32: frames
// of various sizes and places, some transparent, some restoring to the
// background, some on local palettes, sometimes a comment frame.
inline std::unique_ptr<Document> randomDocument(std::mt19937& rng) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const TMyPalette global = testPalette(8);
    const int screenW = pick(8, 48), screenH = pick(6, 32);
    std::vector<std::unique_ptr<TFrame>> frames;
    const int count = pick(3, 7);
    for (int i = 0; i < count; ++i) {
        if (pick(0, 9) == 0) {
            frames.push_back(std::make_unique<TTextFrame>(nullptr, "a comment"));
            continue;
        }
        const bool full = pick(0, 2) == 0 || i == 0;
        const int w = full ? screenW : pick(1, screenW), h = full ? screenH : pick(1, screenH);
        const int left = full ? 0 : pick(0, screenW - w), top = full ? 0 : pick(0, screenH - h);
        const int seed = pick(0, 1000);
        auto f = placedFrame(left, top, w, h, [&](int x, int y) { return (x * 3 + y * 5 + seed + (x * y) % 7) % 8; },
                             global, "f" + std::to_string(i));
        f->frameTime = 10 * pick(1, 20);
        if (pick(0, 2) == 0) f->transparentIndex = pick(0, 7);
        f->restoreToBackground = pick(0, 3) == 0;
        f->backgroundIndex = 0;
        if (pick(0, 4) == 0) {
            TMyPalette local = testPalette(8);
            for (int k = 0; k < 8; ++k) {
                PaletteEntry e = local.entry(k);
                e.red = uint8_t(255 - e.red);
                local.setEntry(k, e);
            }
            f->image->colors() = local.toColorTable();
            f->localPalette = std::make_unique<TMyPalette>(local);
        }
        frames.push_back(std::move(f));
    }
    auto doc = documentOf(std::move(frames));
    doc->backgroundIndex = 0;
    doc->transparentIndex = documentTransparent(doc->firstFrame);
    doc->frameList.select(pick(0, doc->frameList.count() - 1));
    rethread(*doc, 0);
    return doc;
}

}  // namespace movigram::test
