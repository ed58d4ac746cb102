#include "ScreenPicture.h"

#include <algorithm>

#include "document/Compose.h"

namespace movigram {

ScreenArea::ScreenArea(const TRect& r)
    : area(r), colors(size_t(r.area())), shown(size_t(r.area()), 0) {}

ScreenWalk::ScreenWalk(const Document& doc)
    : doc_(doc), screen_({0, 0, std::max(doc.screenWidth, 0), std::max(doc.screenHeight, 0)}) {
    // An animation with a transparent colour starts from nothing, others
    // from their background colour.
    if (doc.transparentIndex >= 0 || !doc.globalPalette) return;
    const PaletteEntry& e = doc.globalPalette->entry(std::clamp(doc.backgroundIndex, 0, 255));
    std::fill(screen_.colors.begin(), screen_.colors.end(), Rgb8{e.red, e.green, e.blue});
    std::fill(screen_.shown.begin(), screen_.shown.end(), uint8_t(1));
}

void ScreenWalk::draw(const TFrame& frame, const TFrame* previous) {
    // The restore step of the frame before, as composeFrame takes it.
    if (previous && previous->restoreToBackground) {
        const int fill = fillColorOf(*previous);
        const TRect& p = previous->rect;
        const TRect r = TRect{p.left, p.top, p.left + previous->image->width(), p.bottom}.intersected(screen_.area);
        const bool shown = fill != previous->transparentIndex;
        const ColorTable& table =
            doc_.globalPalette ? doc_.globalPalette->toColorTable() : previous->image->colors();
        const RgbQuad& q = table[size_t(std::clamp(fill, 0, 255))];
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x) {
                screen_.colors[screen_.at(x, y)] = {q.red, q.green, q.blue};
                screen_.shown[screen_.at(x, y)] = shown;
            }
    }
    // Then the frame's opaque pixels, each in the colours of its own table.
    const TRect r = frameArea(frame).intersected(screen_.area);
    const TDib256& image = *frame.image;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        const uint8_t* row = image.row(y - frame.rect.top);
        for (int32_t x = r.left; x < r.right; ++x) {
            const uint8_t v = row[x - frame.rect.left];
            if (v == frame.transparentIndex) continue;
            const RgbQuad& q = image.colors()[v];
            screen_.colors[screen_.at(x, y)] = {q.red, q.green, q.blue};
            screen_.shown[screen_.at(x, y)] = 1;
        }
    }
}

ScreenArea ScreenWalk::after(int index, const TRect& area) {
    const FrameList& list = doc_.frameList;
    for (; next_ <= index && next_ < list.count(); ++next_) {
        const TFrame& f = *list.frameAt(next_);
        if (!f.image || f.isComment) continue;
        draw(f, lastDrawn_);
        beforeLast_ = lastDrawn_;
        lastDrawn_ = &f;
    }
    ScreenArea out(area);
    const TRect inside = area.intersected(screen_.area);
    for (int32_t y = inside.top; y < inside.bottom; ++y)
        for (int32_t x = inside.left; x < inside.right; ++x) {
            out.colors[out.at(x, y)] = screen_.colors[screen_.at(x, y)];
            out.shown[out.at(x, y)] = screen_.shown[screen_.at(x, y)];
        }
    return out;
}

void ScreenWalk::redraw(int index) {
    // Drawing the frame again redoes the restore step of the one before it,
    // which leaves the screen as it was, then lays the new pixels on top.
    draw(*doc_.frameList.frameAt(index), beforeLast_);
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
