#include "Redact.h"

#include <algorithm>
#include <cmath>

#include "ScreenPicture.h"
#include "document/EditScope.h"

namespace movigram {

namespace {

// Colour sums with a weight: what both filters work on.  Weights are 0 or 1
// per pixel at first (visible or not) and sums of them after a pass.
struct Weighted {
    float red = 0, green = 0, blue = 0, weight = 0;
};

std::vector<int> framesTouching(const Document& doc, const FrameSelection& selection, const TRect& area) {
    std::vector<int> frames;
    for (int32_t i : selection) {
        const TFrame& f = *doc.frameList.frameAt(i);
        if (f.image && !f.isComment && frameArea(f).touches(area)) frames.push_back(i);
    }
    return frames;
}

// The mean of the screens the frames show over area.
std::vector<Weighted> meanScreen(const Document& doc, const std::vector<int>& frames, const TRect& area) {
    std::vector<Weighted> sum(size_t(area.area()));
    ScreenWalk walk(doc);
    for (int i : frames) {
        const ScreenArea screen = walk.after(i, area);
        for (size_t p = 0; p < sum.size(); ++p) {
            if (!screen.shown[p]) continue;
            sum[p].red += screen.colors[p].red;
            sum[p].green += screen.colors[p].green;
            sum[p].blue += screen.colors[p].blue;
            sum[p].weight += 1;
        }
    }
    for (Weighted& w : sum)
        if (w.weight > 0) w = {w.red / w.weight, w.green / w.weight, w.blue / w.weight, 1};
    return sum;
}

uint8_t channel(float v) { return uint8_t(std::clamp(std::lround(v), 0l, 255l)); }

// The filtered colours become the picture to paint; pixels no frame shows
// stay unpainted.
ScreenArea toPicture(const TRect& area, const std::vector<Weighted>& visible, const std::vector<Weighted>& filtered) {
    ScreenArea picture(area);
    for (size_t p = 0; p < filtered.size(); ++p) {
        const Weighted& w = filtered[p];
        if (visible[p].weight <= 0 || w.weight <= 0) continue;
        picture.colors[p] = {channel(w.red / w.weight), channel(w.green / w.weight), channel(w.blue / w.weight)};
        picture.shown[p] = 1;
    }
    return picture;
}

std::vector<Weighted> pixelated(const std::vector<Weighted>& mean, const TRect& area, int cell) {
    const int32_t w = area.width(), h = area.height();
    std::vector<Weighted> out(mean.size());
    for (int32_t cy = 0; cy < h; cy += cell)
        for (int32_t cx = 0; cx < w; cx += cell) {
            const int32_t ey = std::min(cy + cell, h), ex = std::min(cx + cell, w);
            Weighted s;
            for (int32_t y = cy; y < ey; ++y)
                for (int32_t x = cx; x < ex; ++x) {
                    const Weighted& m = mean[size_t(y) * size_t(w) + size_t(x)];
                    if (m.weight <= 0) continue;
                    s.red += m.red, s.green += m.green, s.blue += m.blue, s.weight += 1;
                }
            for (int32_t y = cy; y < ey; ++y)
                for (int32_t x = cx; x < ex; ++x) out[size_t(y) * size_t(w) + size_t(x)] = s;
        }
    return out;
}

// One box pass along a line of n values step apart, the ends repeated past
// the edges: a running sum over 2 * radius + 1 values.
void boxLine(Weighted* line, size_t step, int32_t n, int radius, std::vector<Weighted>& scratch) {
    scratch.assign(size_t(n), {});
    auto at = [&](int32_t i) -> const Weighted& { return line[size_t(std::clamp(i, 0, n - 1)) * step]; };
    Weighted s;
    for (int32_t i = -radius; i <= radius; ++i) {
        const Weighted& v = at(i);
        s.red += v.red, s.green += v.green, s.blue += v.blue, s.weight += v.weight;
    }
    for (int32_t i = 0; i < n; ++i) {
        scratch[size_t(i)] = s;
        const Weighted &in = at(i + radius + 1), &out = at(i - radius);
        s.red += in.red - out.red, s.green += in.green - out.green, s.blue += in.blue - out.blue;
        s.weight += in.weight - out.weight;
    }
    const float scale = 1.0f / float(2 * radius + 1);
    for (int32_t i = 0; i < n; ++i) {
        const Weighted& v = scratch[size_t(i)];
        line[size_t(i) * step] = {v.red * scale, v.green * scale, v.blue * scale, v.weight * scale};
    }
}

std::vector<Weighted> blurred(const std::vector<Weighted>& mean, const TRect& area, int radius) {
    const int32_t w = area.width(), h = area.height();
    // Colours weighted by visibility, so what no frame shows does not darken
    // its neighbours; the weight is divided out at the end.
    std::vector<Weighted> out(mean.size());
    for (size_t p = 0; p < mean.size(); ++p) {
        const Weighted& m = mean[p];
        out[p] = m.weight > 0 ? m : Weighted{};
    }
    std::vector<Weighted> scratch;
    for (int pass = 0; pass < 3; ++pass) {
        for (int32_t y = 0; y < h; ++y) boxLine(&out[size_t(y) * size_t(w)], 1, w, radius, scratch);
        for (int32_t x = 0; x < w; ++x) boxLine(&out[size_t(x)], size_t(w), h, radius, scratch);
    }
    return out;
}

template <typename Filter>
bool redact(Document& doc, FrameSelection selection, const TRect& area, const std::string& label, Filter filter) {
    selection = normalizeSelection(doc.frameList, std::move(selection));
    const TRect inside = area.intersected({0, 0, doc.screenWidth, doc.screenHeight});
    if (inside.isEmpty()) return false;
    const std::vector<int> frames = framesTouching(doc, selection, inside);
    if (frames.empty()) return false;

    const std::vector<Weighted> mean = meanScreen(doc, frames, inside);
    const ScreenArea picture = toPicture(inside, mean, filter(mean, inside));

    EditScope edit(doc, TUndo::indexed(UndoKind::FramesChanged, doc.frameList, frames, label));
    PalettePainter painter(doc);
    ScreenWalk walk(doc);
    bool changed = false;
    for (int i : frames)
        if (painter.paint(i, picture, walk.after(i, inside))) {
            walk.redraw(i);
            changed = true;
        }
    if (!changed) {
        edit.cancel();
        return true;
    }
    forgetFileSizes(doc);
    return true;
}

}  // namespace

bool pixelateArea(Document& doc, FrameSelection selection, const TRect& area, int cell, const std::string& label) {
    if (cell < smallestCell || cell > largestCell) return false;
    return redact(doc, std::move(selection), area, label,
                  [cell](const std::vector<Weighted>& mean, const TRect& r) { return pixelated(mean, r, cell); });
}

bool blurArea(Document& doc, FrameSelection selection, const TRect& area, int radius, const std::string& label) {
    if (radius < smallestBlurRadius || radius > largestBlurRadius) return false;
    return redact(doc, std::move(selection), area, label,
                  [radius](const std::vector<Weighted>& mean, const TRect& r) { return blurred(mean, r, radius); });
}

}  // namespace movigram
