#include "RestorePrevious.h"

#include <algorithm>
#include <unordered_map>

#include "ViewerCanvas.h"

namespace movigram {

namespace {

uint32_t packRgb(const Rgba& c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }

// Maps colours into one frame's palette: exact matches first (lowest index),
// else the nearest colour by squared distance.
class ColorMatcher {
public:
    ColorMatcher(const TFrame& frame, const TMyPalette* global, int exclude) : exclude_(exclude) {
        for (int v = 0; v < 256; ++v) {
            colors_[v] = ViewerCanvas::colorOf(frame, global, uint8_t(v));
            if (v != exclude) exact_.try_emplace(packRgb(colors_[v]), uint8_t(v));
        }
    }
    uint8_t indexOf(const Rgba& c) {
        if (auto it = exact_.find(packRgb(c)); it != exact_.end()) return it->second;
        int best = 0;
        int64_t bestDistance = INT64_MAX;
        for (int v = 0; v < 256; ++v) {
            if (v == exclude_) continue;
            const int64_t dr = c.r - colors_[v].r, dg = c.g - colors_[v].g, db = c.b - colors_[v].b;
            const int64_t d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) bestDistance = d, best = v;
        }
        exact_.emplace(packRgb(c), uint8_t(best));
        return uint8_t(best);
    }
    bool matchesExactly(const Rgba& c) { return colors_[indexOf(c)] == Rgba{c.r, c.g, c.b, 255}; }

private:
    int exclude_;
    Rgba colors_[256];
    std::unordered_map<uint32_t, uint8_t> exact_;
};

// The smallest rectangle holding every pixel of the areas where the two
// canvases differ.
TRect differingArea(const ViewerCanvas& a, const ViewerCanvas& b, const std::vector<TRect>& areas) {
    TRect box;
    for (const TRect& area : areas)
        for (int32_t y = area.top; y < area.bottom; ++y)
            for (int32_t x = area.left; x < area.right; ++x)
                if (a.at(x, y) != b.at(x, y)) box = box.united({x, y, x + 1, y + 1});
    return box;
}

// Whether drawing the frame onto the model gives the truth in the areas,
// leaving the model as it is.
bool drawingMatches(const ViewerCanvas& model, const TFrame& frame, const TMyPalette* global,
                    const ViewerCanvas& truth, const std::vector<TRect>& areas) {
    const TRect drawn = frame.rect.intersected({0, 0, model.width(), model.height()});
    Rgba lookup[256];
    for (int v = 0; v < 256; ++v) lookup[v] = ViewerCanvas::colorOf(frame, global, uint8_t(v));
    for (const TRect& area : areas)
        for (int32_t y = area.top; y < area.bottom; ++y)
            for (int32_t x = area.left; x < area.right; ++x) {
                Rgba shown = model.at(x, y);
                if (x >= drawn.left && x < drawn.right && y >= drawn.top && y < drawn.bottom) {
                    const uint8_t v = frame.image->pixel(x - frame.rect.left, y - frame.rect.top);
                    if (v != frame.transparentIndex) shown = lookup[v];
                }
                if (shown != truth.at(x, y)) return false;
            }
    return true;
}

// The pixels of an area of a canvas, row by row.
std::vector<Rgba> copyArea(const ViewerCanvas& canvas, const TRect& area) {
    std::vector<Rgba> pixels;
    pixels.reserve(size_t(area.area()));
    for (int32_t y = area.top; y < area.bottom; ++y)
        pixels.insert(pixels.end(), &canvas.at(area.left, y), &canvas.at(area.left, y) + area.width());
    return pixels;
}

void pasteArea(ViewerCanvas& canvas, const TRect& area, const std::vector<Rgba>& pixels) {
    const Rgba* in = pixels.data();
    for (int32_t y = area.top; y < area.bottom; ++y, in += area.width())
        std::copy_n(in, area.width(), &canvas.at(area.left, y));
}

// Whether the canvas as it was before `saved` (its pixels under savedArea)
// was painted over has a clear pixel in area.
bool anyClearBefore(const ViewerCanvas& canvas, const TRect& savedArea, const std::vector<Rgba>& saved,
                    const TRect& area) {
    const TRect r = area.intersected({0, 0, canvas.width(), canvas.height()});
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x) {
            const bool wasSaved = x >= savedArea.left && x < savedArea.right && y >= savedArea.top &&
                                  y < savedArea.bottom;
            const Rgba& c = wasSaved ? saved[size_t(y - savedArea.top) * size_t(savedArea.width()) +
                                             size_t(x - savedArea.left)]
                                     : canvas.at(x, y);
            if (c.a == 0) return true;
        }
    return false;
}

// An index for transparent pixels that no visible pixel of the area uses:
// an unused entry of the palette, else one past its end.
int pickTransparentIndex(const TFrame& frame, const TMyPalette* global, const ViewerCanvas& target,
                         const TRect& area) {
    bool used[256] = {};
    ColorMatcher matcher(frame, global, -1);
    for (int32_t y = area.top; y < area.bottom; ++y)
        for (int32_t x = area.left; x < area.right; ++x)
            if (target.at(x, y).a) used[matcher.indexOf(target.at(x, y))] = true;
    const TMyPalette* palette = frame.localPalette ? frame.localPalette.get() : global;
    const int count = palette ? palette->colorCount : 0;
    for (int v = count - 1; v >= 0; --v)
        if (!used[v]) return v;
    for (int v = count; v < 256; ++v)
        if (!used[v]) return v;
    return 0;  // all 256 colours visible: one of them is given up
}

// Gives the frame an exact palette entry for every colour it must paint:
// missing colours are appended to its local palette, which a frame on the
// global palette gets as a copy of that one.  Past 256 entries the nearest
// colour has to do.
void addMissingColors(TFrame& frame, const TMyPalette* global, const ViewerCanvas& target,
                      const ViewerCanvas& model, const TRect& area, int key) {
    std::vector<Rgba> missing;
    {
        ColorMatcher matcher(frame, global, key);
        std::unordered_map<uint32_t, bool> seen;
        for (int32_t y = area.top; y < area.bottom; ++y)
            for (int32_t x = area.left; x < area.right; ++x) {
                const Rgba& want = target.at(x, y);
                if (want.a == 0 || (key >= 0 && want == model.at(x, y))) continue;
                if (!seen.emplace(packRgb(want), true).second) continue;
                if (!matcher.matchesExactly(want)) missing.push_back(want);
            }
    }
    if (missing.empty()) return;
    if (!frame.localPalette) frame.localPalette = std::make_unique<TMyPalette>(global ? *global : TMyPalette());
    TMyPalette& palette = *frame.localPalette;
    for (const Rgba& c : missing) {
        if (palette.colorCount == key) ++palette.colorCount;  // the transparent entry stays as it is
        if (palette.colorCount >= 256) break;
        palette.setEntry(palette.colorCount++, {c.r, c.g, c.b, 0});
    }
    frame.image->colors() = palette.toColorTable();
    frame.image->colorsUsed = palette.colorCount;
}

// Replaces the frame's picture by the part `area` of the target screen,
// leaving transparent what the model screen already shows right.
void repaintFrame(TFrame& frame, const TMyPalette* global, const ViewerCanvas& target,
                  const ViewerCanvas& model, const TRect& area) {
    int key = frame.transparentIndex;
    addMissingColors(frame, global, target, model, area, key);

    // Pixels the model screen gets wrong must be painted; pixels that must be
    // empty need a transparent index.  The frame's own transparent index
    // serves unless its colour is one of those to paint.
    bool needsTransparent = false, keyInTheWay = false;
    ColorMatcher withoutKey(frame, global, key);
    for (int32_t y = area.top; y < area.bottom; ++y)
        for (int32_t x = area.left; x < area.right; ++x) {
            const Rgba& want = target.at(x, y);
            if (want.a == 0) needsTransparent = true;
            else if (key >= 0 && want != model.at(x, y) && !withoutKey.matchesExactly(want)) keyInTheWay = true;
        }
    if ((key < 0 && needsTransparent) || keyInTheWay) {
        key = pickTransparentIndex(frame, global, target, area);
        if (frame.localPalette && key >= frame.localPalette->colorCount)
            frame.localPalette->colorCount = key + 1;
    }

    ColorMatcher matcher(frame, global, key);
    auto image = std::make_unique<TDib256>(area.width(), area.height());
    image->colors() = frame.image->colors();
    image->colorsUsed = frame.image->colorsUsed;
    image->colorsImportant = frame.image->colorsImportant;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        uint8_t* out = image->row(y - area.top);
        for (int32_t x = area.left; x < area.right; ++x) {
            const Rgba& want = target.at(x, y);
            const bool keep = want.a == 0 || (key >= 0 && want == model.at(x, y));
            out[x - area.left] = keep ? uint8_t(key) : matcher.indexOf(want);
        }
    }
    frame.image = std::move(image);
    frame.rect = area;
    frame.dirtyRect = area;
    frame.transparentIndex = key;
}

}  // namespace

void resolveRestoreToPrevious(FrameChain& frames, const std::vector<uint8_t>& disposals,
                              const TMyPalette* global) {
    std::vector<size_t> images;
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i]->hasImage()) images.push_back(i);
    bool needed = false;
    for (size_t k = 0; k + 1 < images.size(); ++k)
        if (disposals[images[k]] == uint8_t(Disposal::Previous)) needed = true;
    if (!needed) return;

    TRect bounds{0, 0, 1, 1};
    for (size_t i : images) bounds = bounds.united(frames[i]->rect);
    const TRect screen{0, 0, bounds.right, bounds.bottom};

    // truth: the screen as the file shows it; model: as the rewritten frames
    // show it with the two restore methods the program has.  Both are only
    // ever looked at where something happens (the frame, and where they may
    // differ), so that the work per frame follows the frame's size and not the
    // screen's.
    ViewerCanvas truth(screen.right, screen.bottom), model(screen.right, screen.bottom);
    // Outside these areas truth and model are equal.
    std::vector<TRect> unequal;
    for (size_t k = 0; k < images.size(); ++k) {
        TFrame& frame = *frames[images[k]];
        const uint8_t disposal = disposals[images[k]];
        const bool last = k + 1 == images.size();
        const TRect drawnRect = frame.rect;
        const TRect under = drawnRect.intersected(screen);

        const std::vector<Rgba> before = copyArea(truth, under);
        truth.draw(frame, global);
        unequal.push_back(under);
        if (drawingMatches(model, frame, global, truth, unequal)) {
            model.draw(frame, global);
            unequal.clear();
        } else {
            const TRect area = under.united(differingArea(truth, model, unequal));
            repaintFrame(frame, global, truth, model, area);
            model.draw(frame, global);
            unequal.assign(1, area);
        }

        if (disposal == uint8_t(Disposal::Background))
            frame.restoreToBackground = true;
        else if (disposal == uint8_t(Disposal::Previous) && !last)
            frame.restoreToBackground = anyClearBefore(truth, under, before, frame.rect);
        else
            frame.restoreToBackground = false;
        frame.overlay = frame.transparentIndex >= 0 && !frame.restoreToBackground;
        if (frame.restoreToBackground) {
            model.clear(frame.rect);
            unequal.push_back(frame.rect.intersected(screen));
        }

        if (disposal == uint8_t(Disposal::Background)) truth.clear(drawnRect);
        if (disposal == uint8_t(Disposal::Previous)) pasteArea(truth, under, before);
        if (disposal == uint8_t(Disposal::Background) || disposal == uint8_t(Disposal::Previous))
            unequal.push_back(under);
    }
}

}  // namespace movigram
