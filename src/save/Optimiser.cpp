#include "Optimiser.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "document/FrameCache.h"
#include "document/FrameChain.h"
#include "WorkScreen.h"

namespace movigram {

namespace {

// Longest frame that merging may produce: the GIF delay field holds 655.35 s.
constexpr int64_t mergeLimitMs = 655350;
// The largest screen the optimiser keeps a picture of (two bytes a pixel).
constexpr int64_t maxOptimisedScreenPixels = 64ll << 20;

// The bounding box of the positions of `area` where counts(x, y) holds, as
// inclusive bounds; empty (left = area.right, right = area.left, ...) when none.
struct Box {
    int32_t left, top, right, bottom;
    int64_t area() const { return int64_t(right - left) * (bottom - top); }
    // Grows the box by row y's pixels first..last; the first row found
    // also sets the top.
    void take(int32_t y, int32_t first, int32_t last, bool& found) {
        if (!found) top = y;
        bottom = y;
        left = std::min(left, first);
        right = std::max(right, last);
        found = true;
    }
};

template <typename Counts, typename CountsLeft>
Box scanBox(const TRect& o, Counts&& counts, CountsLeft&& countsLeft) {
    Box box{o.right, o.bottom, o.left, o.top};
    bool found = false;
    for (int32_t y = o.top; y < o.bottom; ++y) {
        int32_t first = -1, last = -1;
        for (int32_t x = o.left; x < o.right; ++x)
            if (countsLeft(x, y)) {
                first = x;
                break;
            }
        for (int32_t x = o.right - 1; x >= o.left; --x)
            if (counts(x, y)) {
                last = x;
                break;
            }
        if (first < 0 && last < 0) continue;
        if (first < 0) first = last;
        if (last < 0) last = first;
        box.take(y, first, last, found);
    }
    return box;
}

// scanBox where a pixel counts when it differs from the screen, eight
// pixels at a time where it does not.
Box scanDiffering(const TRect& o, const TFrame& frame, const WorkScreen& work) {
    Box box{o.right, o.bottom, o.left, o.top};
    bool found = false;
    constexpr uint64_t ones = 0x0101010101010101ull;
    for (int32_t y = o.top; y < o.bottom; ++y) {
        // Each indexed from o.left.
        const uint8_t* pixels = frame.image->row(y - frame.rect.top) + (o.left - frame.rect.left);
        const uint8_t* values = work.valueRow(y) + o.left;
        const uint8_t* known = work.knownRow(y) + o.left;
        // Whether any of the eight pixels from x differs.
        auto anyDiffers = [&](int32_t x) {
            uint64_t p, v, k;
            std::memcpy(&p, pixels + (x - o.left), 8);
            std::memcpy(&v, values + (x - o.left), 8);
            std::memcpy(&k, known + (x - o.left), 8);
            return ((p ^ v) | (k ^ ones)) != 0;
        };
        auto differs = [&](int32_t x) { return !known[x - o.left] || pixels[x - o.left] != values[x - o.left]; };
        int32_t first = -1, last = -1;
        int32_t x = o.left;
        while (x + 8 <= o.right && !anyDiffers(x)) x += 8;
        for (; x < o.right; ++x)
            if (differs(x)) {
                first = x;
                break;
            }
        if (first < 0) continue;
        x = o.right;
        while (x - 8 >= first && !anyDiffers(x - 8)) x -= 8;
        for (--x; x >= first; --x)
            if (differs(x)) {
                last = x;
                break;
            }
        box.take(y, first, last, found);
    }
    return box;
}

// A colour for the transparent mask that is not in the palette yet: white,
// then lowered one step at a time, red first.
bool appendMaskColor(Document& doc) {
    TMyPalette& palette = *doc.globalPalette;
    if (palette.colorCount >= 256) return false;
    PaletteEntry candidate{255, 255, 255, 0};
    auto taken = [&](const PaletteEntry& c) {
        for (int i = 0; i < palette.colorCount; ++i)
            if (palette.entry(i).red == c.red && palette.entry(i).green == c.green && palette.entry(i).blue == c.blue)
                return true;
        return false;
    };
    while (taken(candidate)) {
        if (candidate.red > 0) --candidate.red;
        else if (candidate.green > 0) --candidate.green;
        else if (candidate.blue > 0) --candidate.blue;
        else return false;
    }
    palette.setEntry(palette.colorCount, candidate);
    doc.transparentIndex = palette.colorCount++;
    doc.paletteEdited();
    return true;
}

// The transparent mask of one frame.  A frame given the document's
// transparent index must not already show that value anywhere the screen
// differs, or those pixels would vanish; a frame that restores to the
// background keeps its fill colour.
void maskFrame(Document& doc, TFrame& frame, TFrame& previous, const WorkScreen& work) {
    if (doc.transparentIndex < 0 && doc.globalPalette) appendMaskColor(doc);
    if (doc.transparentIndex < 0) return;
    if (frame.transparentIndex < 0) {
        if (frame.restoreToBackground) return;
        const TRect area = frame.dirtyRect.intersected(frame.rect).intersected(work.rect());
        for (int32_t y = area.top; y < area.bottom; ++y)
            for (int32_t x = area.left; x < area.right; ++x)
                if (frame.image->pixel(x - frame.rect.left, y - frame.rect.top) == doc.transparentIndex &&
                    work.differs(frame, x, y))
                    return;
        frame.transparentIndex = doc.transparentIndex;
        frame.overlay = !frame.restoreToBackground;
    }
    applyTransparentMask(frame, work);
    previous.overlay = true;
}

}  // namespace

void computeDirtyRect(TFrame& frame, const WorkScreen& work, TFrame* previous) {
    const TRect o = frame.rect.intersected(work.rect());
    if (o.isEmpty() || frame.localPalette || (previous && previous->localPalette) || !frame.image) {
        frame.dirtyRect = frame.rect;
        frame.unchanged = false;
        return;
    }
    if (previous && frame.rect.contains(previous->rect) && frame.transparentIndex < 0)
        previous->restoreToBackground = false;

    auto differs = [&](int32_t x, int32_t y) { return work.differs(frame, x, y); };
    const Box d1 = scanDiffering(o, frame, work);
    Box d = d1;
    if (frame.transparentIndex >= 0) {
        const uint8_t t = uint8_t(frame.transparentIndex);
        const bool previousRestores = previous && previous->restoreToBackground;
        auto visible = [&](int32_t x, int32_t y) {
            return frame.image->pixel(x - frame.rect.left, y - frame.rect.top) != t;
        };
        auto visibleLeft = [&](int32_t x, int32_t y) { return visible(x, y) || (previousRestores && differs(x, y)); };
        const Box d2 = scanBox(o, visible, visibleLeft);
        d = d1.area() < d2.area() && !previousRestores ? d1 : d2;
    }
    // Inclusive bounds plus one are exclusive ones; the second step adds a
    // margin of one pixel.
    TRect r{d.left, d.top, d.right, d.bottom};
    for (int step = 0; step < 2; ++step) {
        r.bottom = std::min(r.bottom + 1, o.bottom);
        r.right = std::min(r.right + 1, o.right);
    }
    if (frame.rect.left < o.left) r.left = frame.rect.left;
    if (frame.rect.top < o.top) r.top = frame.rect.top;
    if (frame.rect.right > o.right) r.right = frame.rect.right;
    if (frame.rect.bottom > o.bottom) r.bottom = frame.rect.bottom;
    frame.dirtyRect = r;
    frame.unchanged = !(!r.isEmpty() && r.left <= frame.rect.right && r.top <= frame.rect.bottom);

    // A frame restored to the background is erased where it was written, so
    // it is written whole: a viewer must erase all of its rectangle.
    if (frame.restoreToBackground) {
        frame.dirtyRect = frame.rect;
        frame.unchanged = false;
    }
}

void applyTransparentMask(TFrame& frame, const WorkScreen& work) {
    const TRect o = frame.rect.intersected(work.rect());
    if (o.isEmpty() || frame.transparentIndex < 0 || !frame.image) return;
    const uint8_t t = uint8_t(frame.transparentIndex);
    const TRect area = frame.dirtyRect.intersected(o);
    bool changed = false;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        uint8_t* row = frame.image->row(y - frame.rect.top);
        const uint8_t* screen = work.valueRow(y);
        const uint8_t* known = work.knownRow(y);
        for (int32_t x = area.left; x < area.right; ++x) {
            uint8_t& p = row[x - frame.rect.left];
            if (p != t && known[x] && p == screen[x]) {
                p = t;
                changed = true;
            }
        }
    }
    if (changed && !frame.restoreToBackground) frame.overlay = true;
}

bool splitFrame(TFrame& frame, const WorkScreen& work, SplitPieces& pieces) {
    const TRect o = frame.rect.intersected(work.rect());
    // Pieces of a frame restored to the background would each be erased on
    // their own; a local palette makes the comparison meaningless.
    if (o.isEmpty() || !frame.image || frame.localPalette || frame.restoreToBackground) return false;
    const TRect r = frame.dirtyRect.intersected(frame.rect);
    if (r.isEmpty()) return false;
    const TRect screen = work.rect();
    auto changedAt = [&](int32_t x, int32_t y) {
        return x < screen.left || y < screen.top || x >= screen.right || y >= screen.bottom || work.differs(frame, x, y);
    };
    // The longest run of unchanged lines between two changed ones.
    auto longestGap = [](int32_t from, int32_t to, auto&& changedLine, int32_t& gap, int32_t& start) {
        int32_t last = -1;
        gap = 0;
        for (int32_t i = from; i < to; ++i) {
            if (!changedLine(i)) continue;
            if (last >= 0 && i - last > gap) gap = i - last, start = last;
            last = i;
        }
    };
    int32_t gap = 0, start = 0;
    longestGap(r.top, r.bottom, [&](int32_t y) {
        for (int32_t x = r.left; x < r.right; ++x)
            if (changedAt(x, y)) return true;
        return false;
    }, gap, start);
    TRect a, b;
    if (int64_t(gap) * r.width() > 400 && r.height() < 10 * int64_t(gap)) {
        a = {r.left, r.top, r.right, start + 1};
        b = {r.left, start + gap, r.right, r.bottom};
    } else {
        longestGap(r.left, r.right, [&](int32_t x) {
            for (int32_t y = r.top; y < r.bottom; ++y)
                if (changedAt(x, y)) return true;
            return false;
        }, gap, start);
        if (!(int64_t(gap) * r.height() > 400 && r.width() < 10 * int64_t(gap))) return false;
        a = {r.left, r.top, start + 1, r.bottom};
        b = {start + gap, r.top, r.right, r.bottom};
    }
    pieces.original = &frame;
    pieces.first = std::make_unique<TFrame>(frame, a);
    pieces.second = std::make_unique<TFrame>(frame, b);
    pieces.first->next = pieces.second.get();
    pieces.first->frameTime = 0;
    pieces.first->repeat = 0;
    frame.splitPair = pieces.first.get();
    return true;
}

namespace {

// The optimising passes over the chain linked in list order: each image
// frame's dirty rectangle against the screen the frames before it leave,
// with mode 2 the transparent mask and the splits, which are returned to be
// put in the list.  Without `optimise` every image frame is written whole.
std::vector<SplitPieces> findDirtyRects(Document& doc, const TSize& screen, int mode, bool optimise) {
    FrameList& list = doc.frameList;
    WorkScreen work(optimise ? screen.width : 0, optimise ? screen.height : 0);
    TFrame* previous = doc.firstFrame->image ? doc.firstFrame : nullptr;
    TFrame* drawn = nullptr;
    std::vector<SplitPieces> splits;
    const Host& host = doc.host();
    // A long animation is not decoded whole: each image is parked once it
    // is drawn on the work screen and compared with the next.
    const bool park = optimise && parkingPays(doc.firstFrame);
    for (int i = 1; i < list.count(); ++i) {
        // Given up, the frames left keep the rectangles they had: the
        // chain stays whole, and whoever asked takes nothing from it.
        if (host.stopRequested()) break;
        TFrame& frame = *list.frameAt(i);
        if (!optimise) {
            if (frame.image) {
                frame.dirtyRect = frame.rect;
                frame.unchanged = false;
            }
            continue;
        }
        if (previous && previous != drawn) {
            work.drawAndDispose(*previous);
            drawn = previous;
        }
        if (frame.image && previous) {
            computeDirtyRect(frame, work, previous);
            doc.dirtyRectsUpToDate = true;
            if (mode == 2) {
                if (doc.transparentMaskOption && !frame.localPalette && !previous->restoreToBackground)
                    maskFrame(doc, frame, *previous, work);
                SplitPieces pieces{};
                if (doc.splitDirty && splitFrame(frame, work, pieces)) {
                    computeDirtyRect(*pieces.first, work, previous);
                    computeDirtyRect(*pieces.second, work, previous);
                    if (park) parkDone(*pieces.first), parkDone(*pieces.second);
                    splits.push_back(std::move(pieces));
                }
            }
        }
        if (frame.image) previous = &frame;
        if (park && drawn && drawn != previous) parkDone(*drawn);
    }
    // The first image is always written whole.
    for (int i = 0; i < list.count(); ++i)
        if (TFrame* f = list.frameAt(i); f->image) {
            f->dirtyRect = f->rect;
            f->unchanged = false;
            break;
        }
    return splits;
}

// Split frames are replaced by their two pieces (the splits are in list
// order).
void replaceSplitFrames(FrameList& list, std::vector<SplitPieces>& splits) {
    std::vector<int32_t> positions;
    std::vector<FrameList::Entry> firsts;
    int at = 0;
    for (SplitPieces& pieces : splits) {
        while (at < list.count() && list.frameAt(at) != pieces.original) ++at;
        if (at == list.count()) break;
        std::string firstName = pieces.first->name;
        list.setFrame(at, std::move(pieces.second));  // the original is destroyed here
        // Where the first piece lands once the pieces before it are in.
        positions.push_back(at + int32_t(positions.size()));
        firsts.push_back({std::move(firstName), std::move(pieces.first)});
    }
    list.insertAt(positions, std::move(firsts));
}

// Frames that change nothing are merged into the frame before them; true
// when some were.
bool mergeUnchangedFrames(FrameList& list) {
    std::vector<int32_t> merged;
    int beforeIndex = 0;  // the frame the next one may merge into
    for (int i = 1; i < list.count(); ++i) {
        TFrame& frame = *list.frameAt(i);
        TFrame& before = *list.frameAt(beforeIndex);
        // A frame that changes nothing shows the same screen as the one
        // before it, unless that one restores to the background (the screen
        // changes when it is erased) or is a comment (no time).
        if (!frame.unchanged || !before.image || before.restoreToBackground) {
            beforeIndex = i;
            continue;
        }
        const int64_t sum = int64_t(frame.frameTime) * frame.repeat + int64_t(before.frameTime) * before.repeat;
        if (sum >= mergeLimitMs) {
            beforeIndex = i;
            continue;
        }
        if (before.frameTime == frame.frameTime) before.repeat += frame.repeat;
        else before.frameTime = int32_t(sum), before.repeat = 1;
        merged.push_back(i);
    }
    list.takeAt(merged);
    return !merged.empty();
}

// Frames that stay although they change nothing keep their time with a
// single pixel that shows what is already there.
void keepUnchangedFrames(FrameList& list, const TSize& screen) {
    for (int i = 0; i < list.count(); ++i) {
        TFrame& f = *list.frameAt(i);
        if (!f.unchanged || !f.image) continue;
        const TRect o = f.rect.intersected({0, 0, screen.width, screen.height});
        f.dirtyRect = o.isEmpty() ? f.rect : TRect{o.left, o.top, o.left + 1, o.top + 1};
        f.unchanged = false;
    }
}

// The chain in list order, closed into a loop when the animation loops, the
// screen around it and the current frame.
void linkFinalChain(Document& doc) {
    FrameList& list = doc.frameList;
    const int count = list.count();
    for (int i = 0; i < count; ++i) {
        TFrame* f = list.frameAt(i);
        f->index = i;
        f->next = i + 1 < count ? list.frameAt(i + 1) : (doc.loopOption && count >= 2 ? list.frameAt(0) : nullptr);
    }
    doc.firstFrame = list.frameAt(0);
    const TSize size = boundingSize(doc.firstFrame);
    doc.screenWidth = size.width;
    doc.screenHeight = size.height;
    if (list.selectedIndex() < 0) list.select(0);
    doc.currentFrame = list.frameAt(list.selectedIndex());
}

}  // namespace

void rethread(Document& doc, int mode) {
    Host& host = doc.host();
    doc.startEdit();
    FrameList& list = doc.frameList;
    if (list.empty()) {
        doc.firstFrame = doc.currentFrame = nullptr;
        doc.screenWidth = doc.screenHeight = 0;
        return;
    }
    const int n = list.count();
    for (int i = 0; i < n; ++i) list.frameAt(i)->next = i + 1 < n ? list.frameAt(i + 1) : nullptr;
    doc.firstFrame = list.frameAt(0);
    const TSize screen = boundingSize(doc.firstFrame);
    // A screen too large to keep a picture of (a frame placed far out at
    // 65535, say) is simply written whole.
    const bool optimise =
        mode >= 1 && doc.cropToDirty && int64_t(screen.width) * screen.height <= maxOptimisedScreenPixels;
    StatusText status(host, optimise ? "Rethreading frames and optimizing..." : "Rethreading frames...");
    doc.dirtyRectsUpToDate = false;

    std::vector<SplitPieces> splits = findDirtyRects(doc, screen, mode, optimise);
    replaceSplitFrames(list, splits);
    if (mode == 2) {
        const bool merged = mergeUnchangedFrames(list);
        keepUnchangedFrames(list, screen);
        if (merged) doc.changed();
    }
    linkFinalChain(doc);
    doc.changed();
}

}  // namespace movigram
