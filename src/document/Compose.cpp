#include "Compose.h"

#include <cstring>

#include <algorithm>

namespace movigram {

int fillColorOf(const TFrame& frame) {
    if (frame.transparentIndex >= 0) return frame.transparentIndex;
    // The background index of the first frame with an image from here on.
    for (const TFrame* f = &frame; f; f = f->next) {
        if (f->image) return std::max(f->backgroundIndex, 0);
        if (f->next == &frame) break;
    }
    return 0;
}

void composeFrame(TFrame& work, TFrame& frame, TFrame* previous, bool eraseMode) {
    if (!frame.image || !work.image) return;
    if (work.restoreToBackground) work.image->fill(uint8_t(fillColorOf(work)));

    const int32_t w = std::max(frame.rect.right, work.rect.right);
    const int32_t h = std::max(frame.rect.bottom, work.rect.bottom);
    if (work.rect.left > 0 || work.rect.top > 0 || w > work.rect.right || h > work.rect.bottom) {
        auto grown = std::make_unique<TDib256>(w, h);
        grown->colors() = work.image->colors();
        grown->colorsUsed = work.image->colorsUsed;
        grown->colorsImportant = work.image->colorsImportant;
        grown->fill(uint8_t(std::clamp(work.backgroundIndex, 0, 255)));
        grown->blit(work.rect.left, work.rect.top, *work.image, -1);
        work.image = std::move(grown);
        work.rect = {0, 0, w, h};
        work.dirtyRect = work.rect;
    }

    if (previous && previous->image && previous->restoreToBackground) {
        const TRect& r = previous->rect;
        work.image->fillRect({r.left, r.top, r.left + previous->image->width(), r.bottom},
                             uint8_t(fillColorOf(*previous)));
    }

    if (frame.restoreToBackground && eraseMode) {
        work.image->fillRect(frame.rect, uint8_t(fillColorOf(frame)));
    } else {
        work.image->blit(frame.rect.left, frame.rect.top, *frame.image,
                         frame.transparentIndex >= 0 ? frame.transparentIndex : -1);
    }
}

void forEachScreen(const FrameList& list, TSize screen, const TMyPalette& globalPalette, int fill, int background,
                   const std::function<void(int, const TDib256&)>& visit) {
    auto work = TFrame::blank(screen.width, screen.height, fill, globalPalette);
    work->backgroundIndex = background;
    // The frame before, as far as its restore step needs it.
    TFrame* previous = nullptr;
    for (int i = 0; i < list.count(); ++i) {
        TFrame& f = *list.frameAt(i);
        if (!f.image) continue;
        if (f.localPalette) {
            previous = nullptr;
            continue;
        }
        composeFrame(*work, f, previous, false);
        visit(i, *work->image);
        previous = &f;
    }
}

namespace {

// No pixel of the frame lets what is under it show through.
bool hidesAllBelow(const TFrame& f) {
    if (f.transparentIndex < 0) return true;
    const TDib256& image = *f.image;
    const auto t = uint8_t(f.transparentIndex);
    if (const auto uses = image.knownUses(t)) return !*uses;
    for (int32_t y = 0; y < image.height(); ++y) {
        const uint8_t* row = image.row(y);
        if (std::memchr(row, t, size_t(image.width()))) return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<TFrame> compositeAt(const FrameList& list, int index, const std::string& name,
                                    TSize screen, const TMyPalette& globalPalette) {
    if (index < 0 || index >= list.count()) return nullptr;
    // Drawing starts at the last frame that hides everything before it:
    // one that covers the whole screen without a transparent pixel.  (Frames
    // whose rectangles only add up to the screen's bounds may leave gaps.)
    int start = 0;
    int transparent = -1;
    const TRect whole{0, 0, screen.width, screen.height};
    for (int i = index; i >= 0; --i) {
        const TFrame* f = list.frameAt(i);
        if (!f->hasImage()) continue;
        if (i < index && f->transparentIndex >= 0) transparent = f->transparentIndex;
        if (f->rect.contains(whole) && hidesAllBelow(*f)) {
            start = i;
            break;
        }
    }

    const TFrame* at = list.frameAt(index);
    const TMyPalette& palette = at->localPalette ? *at->localPalette : globalPalette;
    auto result = TFrame::blank(screen.width, screen.height, std::max(transparent, 0), palette);
    result->name = name;
    result->repeat = 0;
    result->transparentIndex = transparent;

    TFrame* previous = nullptr;
    for (int i = start; i <= index; ++i) {
        TFrame* f = list.frameAt(i);
        if (!f->hasImage()) continue;
        composeFrame(*result, *f, previous, false);
        previous = f;
    }
    return result;
}

void mergeUnder(TFrame& frame, const TFrame& background) {
    const TRect overlap = frame.rect.intersected(background.rect);
    if (overlap.isEmpty() || frame.transparentIndex < 0 || frame.localPalette || !frame.image ||
        !background.image)
        return;
    auto merged = TDib256::subImage(*background.image, overlap);
    merged->blit(frame.rect.left - overlap.left, frame.rect.top - overlap.top, *frame.image,
                 frame.transparentIndex);
    frame.image = std::move(merged);
    frame.transparentIndex = -1;
    frame.restoreToBackground = false;
    frame.dirtyRect = frame.rect;
}

void mergeOver(TFrame& background, const TFrame& frame) {
    TFrame copy(frame, TRect{});
    mergeUnder(copy, background);
    background.image = std::move(copy.image);
}

}  // namespace movigram
