#include "ScreenPicture.h"

#include <algorithm>

#include "document/Compose.h"

namespace movigram {

ScreenArea::ScreenArea(const TRect& r)
    : area(r), colors(size_t(r.area())), shown(size_t(r.area()), 0) {}

ScreenWalk::ScreenWalk(const Document& doc) : doc_(doc) {
    const TMyPalette none;
    const int fill = doc.transparentIndex >= 0 ? doc.transparentIndex : std::max(doc.backgroundIndex, 0);
    work_ = TFrame::blank(doc.screenWidth, doc.screenHeight, fill, doc.globalPalette ? *doc.globalPalette : none);
    work_->backgroundIndex = doc.backgroundIndex;
}

ScreenArea ScreenWalk::after(int index, const TRect& area) {
    const FrameList& list = doc_.frameList;
    for (; next_ <= index && next_ < list.count(); ++next_) {
        TFrame& f = *list.frameAt(next_);
        if (!f.image) continue;
        composeFrame(*work_, f, lastDrawn_, false);
        beforeLast_ = lastDrawn_;
        lastDrawn_ = &f;
    }
    ScreenArea out(area);
    const TFrame& frame = *list.frameAt(index);
    const ColorTable& colors = frame.image ? frame.image->colors() : work_->image->colors();
    const TDib256& image = *work_->image;
    const TRect inside = area.intersected(image.bounds());
    for (int32_t y = inside.top; y < inside.bottom; ++y)
        for (int32_t x = inside.left; x < inside.right; ++x) {
            const uint8_t v = image.pixel(x, y);
            if (v == doc_.transparentIndex) continue;
            const RgbQuad& q = colors[v];
            out.colors[out.at(x, y)] = {q.red, q.green, q.blue};
            out.shown[out.at(x, y)] = 1;
        }
    return out;
}

void ScreenWalk::redraw(int index) {
    // Drawing the frame again redoes the restore step of the one before it,
    // which leaves the screen as it was, then lays the new pixels on top.
    composeFrame(*work_, *doc_.frameList.frameAt(index), beforeLast_, false);
}

TRect frameArea(const TFrame& frame) {
    if (!frame.image) return {};
    const TRect& r = frame.rect;
    return r.intersected({r.left, r.top, r.left + frame.image->width(), r.top + frame.image->height()});
}

PaletteSearch& PalettePainter::searchFor(const TFrame& frame, int skip) {
    const TMyPalette* palette = frame.localPalette ? frame.localPalette.get() : doc_.globalPalette.get();
    if (!palette || palette->colorCount <= 0) {
        // A frame on no palette at all: its image's own colour table.
        tablePalettes_.push_back(std::make_unique<TMyPalette>(TMyPalette::fromColorTable(frame.image->colors(), 256)));
        palette = tablePalettes_.back().get();
    }
    auto& search = searches_[{palette, skip}];
    if (!search) search = std::make_unique<PaletteSearch>(palette->entries().data(), palette->colorCount, skip);
    return *search;
}

bool PalettePainter::paint(int index, const ScreenArea& picture, const ScreenArea& under) {
    TFrame& frame = *doc_.frameList.frameAt(index);
    if (!frame.image || frame.isComment) return false;
    const TRect part = picture.area.intersected(frameArea(frame));
    if (part.isEmpty()) return false;
    // Colours go to the nearest entry of the whole palette, whatever each
    // frame's transparent index, so frames agree; a frame whose transparent
    // index is that entry shows it through a transparent pixel when the
    // screen under it has it, else takes the next nearest entry.
    PaletteSearch& search = searchFor(frame, -1);
    const int transparent = frame.transparentIndex;
    // Under a transparent pixel the screen shows what the frames before
    // left, earlier paintings included.
    auto showsUnder = [&](int32_t x, int32_t y, const Rgb8& c) {
        const size_t u = under.at(x, y);
        return under.shown[u] && under.colors[u] == c;
    };
    bool changed = false;
    for (int32_t y = part.top; y < part.bottom; ++y) {
        uint8_t* row = frame.image->row(y - frame.rect.top);
        for (int32_t x = part.left; x < part.right; ++x) {
            const size_t p = picture.at(x, y);
            if (!picture.shown[p]) continue;
            const Rgb8 c = picture.colors[p];
            int v = search.nearest(c.red, c.green, c.blue);
            uint8_t& pixel = row[x - frame.rect.left];
            const bool clear = transparent >= 0 && pixel == transparent;
            if (clear) {
                const PaletteEntry& e = search.entry(v);
                if (showsUnder(x, y, {e.red, e.green, e.blue})) continue;
            }
            if (v == transparent) {
                v = searchFor(frame, transparent).nearest(c.red, c.green, c.blue);
                // A palette of nothing but the transparent colour.
                if (v == transparent) continue;
            }
            if (pixel == v) continue;
            pixel = uint8_t(v);
            changed = true;
        }
    }
    return changed;
}

}  // namespace movigram
