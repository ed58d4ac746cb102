#include "ThumbnailScreens.h"

#include <algorithm>

namespace movigram {

namespace {

QRgb checker(size_t x, size_t y) { return ((x / 4 + y / 4) & 1) ? qRgb(0xff, 0xff, 0xff) : qRgb(0xd9, 0xd9, 0xd9); }

constexpr QRgb outsidePatch = qRgb(0x9a, 0x9a, 0x9a);

// The first grid line at or after `from` and the first at or after `to`
// (the lines are ascending).
std::pair<size_t, size_t> linesWithin(const std::vector<int32_t>& lines, int32_t from, int32_t to) {
    const auto first = std::lower_bound(lines.begin(), lines.end(), from);
    const auto last = std::lower_bound(first, lines.end(), to);
    return {size_t(first - lines.begin()), size_t(last - lines.begin())};
}

template <typename ColorOf>
FrameSamples sample(const TFrame& frame, const SampleGrid& grid, ColorOf&& colorOf) {
    FrameSamples out;
    out.clears = frame.restoreToBackground;
    if (!frame.image || frame.isComment) return out;
    const TDib256& image = *frame.image;
    const TRect& r = frame.rect;
    // The points both inside the frame's rectangle and its image.
    const auto [left, right] = linesWithin(grid.xs, r.left, std::min(r.right, r.left + image.width()));
    const auto [top, bottom] = linesWithin(grid.ys, r.top, std::min(r.bottom, r.top + image.height()));
    if (left >= right || top >= bottom) return out;
    out.left = left, out.right = right, out.top = top, out.bottom = bottom;
    const size_t points = (right - left) * (bottom - top);
    out.colors.reserve(points);
    const int key = frame.transparentIndex;
    auto colorOfPixel = [&](uint8_t v) { return v == key ? Rgba{} : colorOf(v); };
    auto pixelAt = [&](size_t tx, size_t ty) { return image.pixel(grid.xs[tx] - r.left, grid.ys[ty] - r.top); };
    if (points < 256) {
        // Fewer points than colours: each looked up as it comes.
        for (size_t ty = top; ty < bottom; ++ty)
            for (size_t tx = left; tx < right; ++tx) out.colors.push_back(colorOfPixel(pixelAt(tx, ty)));
        return out;
    }
    Rgba lookup[256];
    for (int v = 0; v < 256; ++v) lookup[v] = colorOfPixel(uint8_t(v));
    for (size_t ty = top; ty < bottom; ++ty)
        for (size_t tx = left; tx < right; ++tx) out.colors.push_back(lookup[pixelAt(tx, ty)]);
    return out;
}

QImage boxed(QSize box, const SampleGrid& grid, auto&& colorAt) {
    QImage image(box, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const int w = int(grid.xs.size()), h = int(grid.ys.size());
    const int x0 = (box.width() - w) / 2, y0 = (box.height() - h) / 2;
    for (int ty = 0; ty < h; ++ty) {
        if (y0 + ty < 0 || y0 + ty >= box.height()) continue;
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y0 + ty));
        for (int tx = 0; tx < w; ++tx)
            if (x0 + tx >= 0 && x0 + tx < box.width()) out[x0 + tx] = colorAt(size_t(tx), size_t(ty));
    }
    return image;
}

}  // namespace

SampleGrid SampleGrid::fitting(TSize screen, QSize box) {
    const double scale = std::min(double(box.width()) / screen.width, double(box.height()) / screen.height);
    const int w = std::max(1, int(screen.width * scale)), h = std::max(1, int(screen.height * scale));
    SampleGrid grid;
    grid.xs.resize(size_t(w));
    grid.ys.resize(size_t(h));
    for (int t = 0; t < w; ++t) grid.xs[size_t(t)] = int32_t(int64_t(t) * screen.width / w);
    for (int t = 0; t < h; ++t) grid.ys[size_t(t)] = int32_t(int64_t(t) * screen.height / h);
    return grid;
}

FrameSamples FrameSamples::of(const TFrame& frame, const TMyPalette* global, const SampleGrid& grid) {
    return sample(frame, grid, [&](uint8_t v) { return ViewerCanvas::colorOf(frame, global, v); });
}

FrameSamples FrameSamples::patchOf(const TFrame& frame, const TMyPalette* global, const SampleGrid& grid) {
    const TMyPalette* palette = frame.localPalette ? frame.localPalette.get() : global;
    return sample(frame, grid, [&](uint8_t v) {
        if (palette) {
            const PaletteEntry& e = palette->entry(v);
            return Rgba{e.red, e.green, e.blue, 255};
        }
        const RgbQuad& q = frame.image->colors()[v];
        return Rgba{q.red, q.green, q.blue, 255};
    });
}

void showSamples(const FrameSamples& frame, const SampleGrid& grid, ScreenPoints& points, bool dispose) {
    const bool clears = dispose && frame.clears;
    const size_t width = grid.xs.size();
    const Rgba* in = frame.colors.data();
    for (size_t ty = frame.top; ty < frame.bottom; ++ty) {
        Rgba* out = points.data() + ty * width;
        for (size_t tx = frame.left; tx < frame.right; ++tx, ++in) {
            if (clears) out[tx] = Rgba{};
            else if (in->a) out[tx] = *in;
        }
    }
}

QImage screenThumbnail(const ScreenPoints& points, const SampleGrid& grid, QSize box) {
    const size_t width = grid.xs.size();
    return boxed(box, grid, [&](size_t tx, size_t ty) {
        const Rgba& p = points[ty * width + tx];
        return p.a ? qRgb(p.r, p.g, p.b) : checker(tx, ty);
    });
}

QImage patchThumbnail(const FrameSamples& frame, const SampleGrid& grid, QSize box) {
    const size_t span = frame.right - frame.left;
    return boxed(box, grid, [&](size_t tx, size_t ty) {
        if (tx < frame.left || tx >= frame.right || ty < frame.top || ty >= frame.bottom) return outsidePatch;
        const Rgba& p = frame.colors[(ty - frame.top) * span + (tx - frame.left)];
        return p.a ? qRgb(p.r, p.g, p.b) : checker(tx, ty);
    });
}

}  // namespace movigram
