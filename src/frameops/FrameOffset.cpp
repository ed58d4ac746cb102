#include "FrameOffset.h"

#include <algorithm>

#include "document/DecodeLimits.h"
#include "document/EditScope.h"
#include "document/Undo.h"

namespace movigram {

namespace {

constexpr OffsetModeText modeTexts[] = {
    {"Shift frames", "The selected frames will be shifted by the delta amount (in pixel units)"},
    {"Moving sprite",
     "The first selected frame will be shifted by the delta amount,\nthe second frame by 2x the delta amount and so "
     "on...\nUse this operation to create a moving sprite."},
    {"Crop frames", "The selected frames will be cropped by the bounding rectangle"},
    {"Delete frames", "The selected frames will be deleted"},
    {"Resize frames", "The selected frames will be resized (shrunk) to the indicated rectangle"},
};

// The frames of the selection that have an image, in ascending order.
template <typename Fn>
void forEachImageFrame(Document& doc, const FrameSelection& selection, Fn&& fn) {
    int k = 0;
    for (int32_t i : selection)
        if (TFrame* f = doc.frameList.frameAt(i); f && f->hasImage()) fn(*f, k++);
}

// A move loses pixels when the frame goes past the left or top edge; the
// undo record must then hold the images too, or undo would put the old rect
// on the cut image.
bool moveCuts(const TFrame& f, int64_t dx, int64_t dy) { return f.rect.left + dx < 0 || f.rect.top + dy < 0; }

// A GIF places images with 16-bit offsets.  Moves and rectangles are held to
// that range, checked in 64 bits before any arithmetic on the frames.
constexpr int64_t gifCoordinateMax = 65535;
bool inGifRange(int64_t v) { return v >= -gifCoordinateMax && v <= gifCoordinateMax; }

void finish(EditScope& edit, int show) {
    showFrame(edit.doc(), show);
    forgetFileSizes(edit.doc());
    edit.commit();
}

bool moveSelection(Document& doc, FrameSelection selection, int32_t dx, int32_t dy, bool sprite,
                   const std::string& label) {
    selection = normalizeSelection(doc.frameList, std::move(selection));
    if (selection.empty()) return false;
    if (!movedFramesStayInGif(doc, selection, dx, dy, sprite) || !movedScreenFits(doc, selection, dx, dy, sprite))
        return false;
    bool cuts = false;
    forEachImageFrame(doc, selection, [&](TFrame& f, int k) {
        const int64_t step = sprite ? k : 1;
        cuts = cuts || moveCuts(f, step * dx, step * dy);
    });
    EditScope edit(doc, TUndo::indexed(UndoKind::FramesChanged, doc.frameList, selection, label, cuts));
    forEachImageFrame(doc, selection, [&](TFrame& f, int k) {
        const int32_t step = sprite ? k : 1;
        moveFrameBy(f, step * dx, step * dy);
        if (sprite) f.restoreToBackground = true;
    });
    finish(edit, selection.front());
    return true;
}

}  // namespace

bool movedFramesStayInGif(const Document& doc, FrameSelection selection, int32_t dx, int32_t dy, bool sprite) {
    selection = normalizeSelection(doc.frameList, std::move(selection));
    bool fits = true;
    int64_t k = 0;
    for (int32_t i : selection) {
        const TFrame* f = doc.frameList.frameAt(i);
        if (!f->hasImage()) continue;
        const int64_t step = sprite ? k++ : 1;
        const int64_t x = step * dx, y = step * dy;
        fits = fits && inGifRange(x) && inGifRange(y) && inGifRange(f->rect.left + x) &&
               inGifRange(f->rect.top + y) && f->rect.right + x <= gifCoordinateMax &&
               f->rect.bottom + y <= gifCoordinateMax;
    }
    return fits;
}

bool movedScreenFits(const Document& doc, FrameSelection selection, int32_t dx, int32_t dy, bool sprite) {
    selection = normalizeSelection(doc.frameList, std::move(selection));
    std::vector<uint8_t> selected(size_t(doc.frameList.count()), 0);
    for (int32_t i : selection) selected[size_t(i)] = 1;
    // The screen reaches from 0, 0 to the far corner of every frame; a frame
    // moved past the left or top edge keeps at least its right and bottom.
    int64_t right = 1, bottom = 1, k = 0;
    for (int i = 0; i < doc.frameList.count(); ++i) {
        const TFrame* f = doc.frameList.frameAt(i);
        if (!f->hasImage()) continue;
        const int64_t step = selected[size_t(i)] ? (sprite ? k++ : 1) : 0;
        right = std::max(right, f->rect.right + step * dx);
        bottom = std::max(bottom, f->rect.bottom + step * dy);
    }
    const uint64_t limit = DecodeLimits::defaults().maxImagePixels;
    return uint64_t(right) <= limit && uint64_t(bottom) <= limit && uint64_t(right) * uint64_t(bottom) <= limit;
}

const OffsetModeText& offsetModeText(OffsetMode mode) {
    return modeTexts[std::clamp(int(mode), 0, int(std::size(modeTexts)) - 1)];
}

void moveFrameBy(TFrame& frame, int32_t dx, int32_t dy) {
    frame.moveTo({frame.rect.left + dx, frame.rect.top + dy});
    const TRect& r = frame.rect;
    if (r.left < 0 || r.top < 0) cropFrameTo(frame, {std::max(r.left, 0), std::max(r.top, 0), r.right, r.bottom});
}

void cropFrameTo(TFrame& frame, const TRect& r) {
    const TRect& f = frame.rect;
    // A rectangle of no width or height keeps no pixel either.
    const bool overlap = r.left < f.right && f.left < r.right && r.top < f.bottom && f.top < r.bottom &&
                         !r.isEmpty();
    const TRect n = overlap ? f.intersected(r) : TRect{};
    if (n == f || !frame.image) return;
    if (overlap) {
        auto image = TDib256::subImage(*frame.image, n.moved(-f.left, -f.top));
        image->fixedColorMask = frame.image->fixedColorMask;
        image->transparentIndex = frame.image->transparentIndex;
        frame.image = std::move(image);
    } else {
        auto image = std::make_unique<TDib256>(0, 0);
        image->colors() = frame.image->colors();
        image->colorsUsed = frame.image->colorsUsed;
        image->colorsImportant = frame.image->colorsImportant;
        image->fixedColorMask = frame.image->fixedColorMask;
        image->transparentIndex = frame.image->transparentIndex;
        frame.image = std::move(image);
    }
    frame.rect = n;
    frame.dirtyRect = n;
}

bool shiftFrames(Document& doc, FrameSelection selection, int32_t dx, int32_t dy, const std::string& label) {
    return moveSelection(doc, std::move(selection), dx, dy, false, label);
}

bool movingSprite(Document& doc, FrameSelection selection, int32_t dx, int32_t dy, const std::string& label) {
    return moveSelection(doc, std::move(selection), dx, dy, true, label);
}

bool cropFrames(Document& doc, FrameSelection selection, const TRect& r, bool align, const std::string& label) {
    selection = normalizeSelection(doc.frameList, std::move(selection));
    if (selection.empty()) return false;
    for (const int32_t v : {r.left, r.top, r.right, r.bottom})
        if (v < 0 || v > gifCoordinateMax) return false;
    // Aligning part of the animation would move it away from the rest.
    align = align && allImageFramesSelected(doc.frameList, selection);
    EditScope edit(doc, TUndo::indexed(UndoKind::FramesChanged, doc.frameList, selection, label, true));
    forEachImageFrame(doc, selection, [&](TFrame& f, int) {
        cropFrameTo(f, r);
        // An emptied frame keeps (0, 0, 0, 0): it has no pixels to place.
        if (align && !f.rect.isNull()) f.moveTo({f.rect.left - r.left, f.rect.top - r.top});
    });
    finish(edit, selection.front());
    return true;
}

bool deleteFrames(Document& doc, FrameSelection selection, const std::string& label) {
    selection = normalizeSelection(doc.frameList, std::move(selection));
    if (selection.empty()) return false;
    EditScope edit(doc, nullptr);
    edit.record(takeFrames(doc, selection, label, false));
    forgetFileSizes(doc);
    return true;
}

std::unique_ptr<TDib256> resampleImage(const TDib256& source, int32_t width, int32_t height) {
    auto image = std::make_unique<TDib256>(width, height);
    image->colors() = source.colors();
    image->colorsUsed = source.colorsUsed;
    image->colorsImportant = source.colorsImportant;
    image->fixedColorMask = source.fixedColorMask;
    image->transparentIndex = source.transparentIndex;
    if (source.width() == 0 || source.height() == 0) return image;
    // The centre of each new pixel falls on the old pixel it keeps, which
    // spreads the remainder of old size / new size evenly.
    std::vector<int32_t> columns(size_t(std::max(width, 0)));
    for (int32_t x = 0; x < width; ++x)
        columns[size_t(x)] = int32_t((int64_t(2 * x + 1) * source.width()) / (2 * int64_t(width)));
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* in = source.row(int32_t((int64_t(2 * y + 1) * source.height()) / (2 * int64_t(height))));
        uint8_t* out = image->row(y);
        for (int32_t x = 0; x < width; ++x) out[x] = in[columns[size_t(x)]];
    }
    return image;
}

bool resizeFrames(Document& doc, FrameSelection selection, int32_t width, int32_t height,
                  const std::string& label) {
    selection = normalizeSelection(doc.frameList, std::move(selection));
    const TRect s = selectionRect(doc.frameList, selection);
    if (selection.empty() || s.width() <= 0 || s.height() <= 0) return false;
    width = std::min(width, s.width());
    height = std::min(height, s.height());
    if (width < 1 || height < 1) return false;
    EditScope edit(doc, TUndo::indexed(UndoKind::FramesChanged, doc.frameList, selection, label, true));
    auto scale = [](int32_t v, int32_t origin, int32_t from, int32_t to) {
        return origin + int32_t(int64_t(v - origin) * to / from);
    };
    forEachImageFrame(doc, selection, [&](TFrame& f, int) {
        if (f.rect.isEmpty()) return;
        TRect n{scale(f.rect.left, s.left, s.width(), width), scale(f.rect.top, s.top, s.height(), height),
                scale(f.rect.right, s.left, s.width(), width), scale(f.rect.bottom, s.top, s.height(), height)};
        // A frame keeps at least one pixel in each direction.
        n.right = std::max(n.right, n.left + 1);
        n.bottom = std::max(n.bottom, n.top + 1);
        if (n.width() != f.image->width() || n.height() != f.image->height())
            f.image = resampleImage(*f.image, n.width(), n.height());
        f.rect = n;
        f.dirtyRect = n;
    });
    finish(edit, selection.front());
    return true;
}

}  // namespace movigram
