// Fuzz target: read -> write -> read again.  Whatever the reader accepts the
// writer must save so that reading the saved file gives the same animation:
// the same frames in the same order with the same pixels, rectangles,
// transparency, restore method, delays and local palettes.
//
// What may differ, and is allowed for:
//  - the writer clips frames to the 16-bit screen (0..65535): a frame
//    reaching past it is saved clipped and one starting at 65535 is not
//    saved at all;
//  - colour tables are saved with at least 4 entries and a power of two of
//    them, the added entries black;
//  - every value written lies in its table: a value past the table comes
//    back as an entry of the colour it showed (black), a transparent index
//    past it as an entry no pixel uses of the colour it showed, the table
//    doubling when it has none to spare;
//  - delays are saved in hundredths of a second (rounded);
//  - the reader makes the last frame restore to the background when it is
//    transparent, so that rule applies to whichever frame ends up last.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>

#include "FuzzSupport.h"
#include "document/FrameList.h"
#include "save/GifWriter.h"
#include "document/ViewerCanvas.h"

using namespace movigram;
using movigram::fuzz::fail;

namespace {

const TRect writableScreen{0, 0, 0xFFFF, 0xFFFF};

// The frame as it should come back.
struct Expected {
    const TFrame* source;
    TRect rect;  // the part saved
    bool restoreToBackground;
    bool overlay;
};

int paddedCount(int count) { return 1 << std::max(2, tableBits(count)); }

void comparePalettes(const TMyPalette& wrote, const TMyPalette& got, const char* what, size_t at) {
    if (got.colorCount < paddedCount(wrote.colorCount) || got.colorCount != paddedCount(got.colorCount))
        fail("frame %zu: %s palette of %d colours came back with %d", at, what, wrote.colorCount, got.colorCount);
    for (int i = 0; i < got.colorCount; ++i) {
        const PaletteEntry want = i < wrote.colorCount ? wrote.entry(i) : PaletteEntry{};
        if (got.entry(i) != want) fail("frame %zu: %s palette entry %d differs", at, what, i);
    }
}

void compareImage(const Expected& e, const TFrame& got, size_t at, const TMyPalette& global,
                  const TMyPalette& gotGlobal) {
    const TFrame& f = *e.source;
    if (got.rect != e.rect)
        fail("frame %zu: rect (%d, %d, %d, %d) came back as (%d, %d, %d, %d)", at, e.rect.left, e.rect.top,
             e.rect.right, e.rect.bottom, got.rect.left, got.rect.top, got.rect.right, got.rect.bottom);
    const int entries = got.localPalette ? got.localPalette->colorCount : gotGlobal.colorCount;
    auto shows = [&](const TFrame& frame, const TMyPalette& palette, int v) {
        return ViewerCanvas::colorOf(frame, &palette, uint8_t(v));
    };
    const int t = f.transparentIndex, gotT = got.transparentIndex;
    const bool moved = t >= entries && gotT >= 0 && shows(got, gotGlobal, gotT) == shows(f, global, t);
    if (gotT != t && !moved) fail("frame %zu: transparent index %d came back as %d", at, t, gotT);
    const int32_t dx = e.rect.left - f.rect.left, dy = e.rect.top - f.rect.top;
    for (int32_t y = 0; y < e.rect.height(); ++y) {
        const uint8_t *wrote = f.image->row(y + dy) + dx, *back = got.image->row(y);
        if (std::memcmp(wrote, back, size_t(e.rect.width())) == 0 && !moved) continue;
        for (int32_t x = 0; x < e.rect.width(); ++x) {
            const int v = wrote[x], w = back[x];
            const bool same = v == t                ? w == gotT
                              : v < entries         ? w == v && w != gotT
                                                    : w != gotT && shows(got, gotGlobal, w) == shows(f, global, v);
            if (!same) fail("frame %zu: pixels of row %d differ", at, y);
        }
    }
    if (got.restoreToBackground != e.restoreToBackground || got.overlay != e.overlay)
        fail("frame %zu: restore %d overlay %d came back as %d %d", at, e.restoreToBackground, e.overlay,
             got.restoreToBackground, got.overlay);
    const int64_t hundredths = std::clamp<int64_t>((int64_t(f.frameTime) * f.repeat + 5) / 10, 0, 0xFFFF);
    if (got.frameTime != hundredths * 10 || got.repeat != 1)
        fail("frame %zu: time %d x %d came back as %d x %d", at, f.frameTime, f.repeat, got.frameTime, got.repeat);
    if (bool(got.localPalette) != bool(f.localPalette)) fail("frame %zu: local palette lost or added", at);
    if (f.localPalette) comparePalettes(*f.localPalette, *got.localPalette, "local", at);
}

void compareComment(const TFrame& wrote, const TFrame& got, size_t at) {
    if (!got.isComment) fail("frame %zu: comment came back as an image", at);
    const auto& a = static_cast<const TTextFrame&>(wrote).blocks();
    const auto& b = static_cast<const TTextFrame&>(got).blocks();
    if (a.size() != b.size()) fail("frame %zu: %zu comment blocks came back as %zu", at, a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].text != b[i].text) fail("frame %zu: comment block %zu differs", at, i);
}

std::vector<uint8_t> write(const FrameList& list, bool loop, int32_t loopCount, const TMyPalette& global) {
    GifWriteOptions options;
    options.loopCount = loopCount;
    ByteSink sink;
    if (!writeGifTo(sink, threadFrames(list, loop), global, options)) fail("memory sink failed");
    return sink.bytes();
}

GifReadOutput readBack(const std::vector<uint8_t>& bytes) {
    // The saved file holds no more than the frames in memory, so the limits
    // that kept the first read small are not needed for the second.
    GifReadOptions options;
    options.limits.maxImagePixels = options.limits.maxTotalBytes = options.limits.maxFrames =
        std::numeric_limits<uint64_t>::max();
    GifReadOutput out = readGifMemory(bytes, "again", options);
    if (out.result != GifOk) fail("saved file read back with result %d", out.result);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GifReadOptions options;
    options.limits = fuzz::fuzzLimits();
    GifReadOutput first = fuzz::readChecked(data, size, options);
    if (first.frames.empty()) return 0;

    // Saved as the copy command saves, without the program's comment.
    const bool loop = first.loopFound;
    const TMyPalette global = first.globalPalette.value_or(TMyPalette());
    FrameList list;
    list.appendChain(std::move(first.frames));
    normalizeFrameTimes(threadFrames(list, loop));
    const bool circular = loop && list.count() >= 2;
    const std::vector<uint8_t> saved = write(list, loop, first.loopCount, global);

    std::vector<Expected> expected;
    bool dropped = false;
    for (int i = 0; i < list.count(); ++i) {
        const TFrame* f = list.frameAt(i);
        const TRect r = f->hasImage() ? f->rect.intersected(writableScreen) : TRect{};
        if (f->hasImage() && r.isEmpty()) {
            dropped = true;
            continue;
        }
        expected.push_back({f, r, f->restoreToBackground, f->overlay});
    }
    if (!expected.empty() && expected.back().source->hasImage() && expected.back().source->transparentIndex >= 0) {
        expected.back().restoreToBackground = true;
        expected.back().overlay = false;
    }

    GifReadOutput second = readBack(saved);
    if (second.frames.size() != expected.size())
        fail("%zu frames saved, %zu read back", expected.size(), second.frames.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const TFrame& got = *second.frames[i];
        if (expected[i].source->hasImage()) {
            if (!got.hasImage()) fail("frame %zu: image came back as a comment", i);
            compareImage(expected[i], got, i, global, second.globalPalette.value_or(TMyPalette()));
        } else {
            compareComment(*expected[i].source, got, i);
        }
    }
    comparePalettes(global, second.globalPalette.value_or(TMyPalette()), "global", 0);
    const bool loopSaved = circular && first.loopCount != 1;
    if (second.loopFound != loopSaved || (loopSaved && second.loopCount != first.loopCount))
        fail("loop %d (%d) came back as %d (%d)", loopSaved, first.loopCount, second.loopFound, second.loopCount);

    // Saving what was read back gives the same file again, unless frames were
    // dropped: they still counted for the first file's screen size and
    // background.
    if (!dropped) {
        const TMyPalette global2 = second.globalPalette.value_or(TMyPalette());
        FrameList again;
        again.appendChain(std::move(second.frames));
        normalizeFrameTimes(threadFrames(again, second.loopFound));
        if (write(again, second.loopFound, second.loopCount, global2) != saved) fail("second save differs");
    }
    return 0;
}
