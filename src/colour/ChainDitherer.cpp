#include "ChainDitherer.h"

#include <algorithm>
#include <climits>
#include <new>

#include "document/FrameChain.h"

namespace movigram {

namespace {

constexpr uint32_t known = 1u << 24;
constexpr int64_t maxScreenPixels = int64_t(1) << 26;

uint32_t packed(const RgbQuad& q) { return known | uint32_t(q.red) << 16 | uint32_t(q.green) << 8 | q.blue; }

}  // namespace

ChainDitherer::ChainDitherer(TFrame* first, const TMyPalette& palette, const QuantizeOptions& options)
    : palette_(palette),
      options_(options),
      plain_(palette.entries().data(), palette.colorCount, -1, options),
      tracking_(options.dither == DitherMethod::Diffusion) {
    if (palette.transparentIndex >= 0)
        skipping_ = std::make_unique<PaletteDitherer>(palette.entries().data(), palette.colorCount,
                                                      palette.transparentIndex, options);
    if (!tracking_) return;
    int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    forEachInChain(first, [&](TFrame& f) {
        if (!f.image) return;
        left = std::min(left, f.rect.left);
        top = std::min(top, f.rect.top);
        right = std::max(right, f.rect.left + f.image->width());
        bottom = std::max(bottom, f.rect.top + f.image->height());
    });
    // Frames spread far apart over the GIF's coordinates would need a screen
    // of billions of pixels: such an animation is dithered frame by frame.
    const int64_t cells = (int64_t(right) - left) * (int64_t(bottom) - top);
    if (left >= right || top >= bottom || cells > maxScreenPixels) {
        tracking_ = false;
        return;
    }
    left_ = left, top_ = top, width_ = right - left, height_ = bottom - top;
    try {
        source_.assign(size_t(cells), 0);
        output_.assign(size_t(cells), -1);
    } catch (const std::bad_alloc&) {
        tracking_ = false;
        source_ = {};
        output_ = {};
    }
}

int64_t ChainDitherer::at(const TFrame& frame, int32_t x, int32_t y) const {
    const int64_t sx = int64_t(frame.rect.left) + x - left_, sy = int64_t(frame.rect.top) + y - top_;
    if (sx < 0 || sy < 0 || sx >= width_ || sy >= height_) return -1;
    return sy * width_ + sx;
}

void ChainDitherer::remap(TFrame& frame) {
    TDib256& image = *frame.image;
    const int32_t w = image.width(), h = image.height();
    const int t = frame.transparentIndex >= 0 && frame.transparentIndex < 256 ? frame.transparentIndex : -1;
    const int p = palette_.transparentIndex;
    PaletteDitherer& ditherer = t >= 0 && p >= 0 && skipping_ ? *skipping_ : plain_;
    const ColorTable colors = image.colors();

    std::vector<Rgb8> row(size_t(std::max(w, 0)));
    std::vector<int16_t> fixed(row.size());
    std::vector<uint8_t> out(size_t(std::max(w, 0)) * size_t(std::max(h, 0)));
    bool used[256] = {};
    ditherer.startPicture(w);
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* in = image.row(y);
        for (int32_t x = 0; x < w; ++x) {
            const RgbQuad& q = colors[in[x]];
            row[size_t(x)] = {q.red, q.green, q.blue};
            fixed[size_t(x)] = PaletteDitherer::freePixel;
            if (in[x] == t) {
                fixed[size_t(x)] = PaletteDitherer::transparent(0);
            } else if (tracking_) {
                const int64_t s = at(frame, x, y);
                const int shown = s >= 0 ? output_[size_t(s)] : -1;
                if (shown >= 0 && source_[size_t(s)] == packed(q) && !(t >= 0 && shown == p))
                    fixed[size_t(x)] = PaletteDitherer::kept(shown);
            }
        }
        uint8_t* o = out.data() + size_t(y) * size_t(w);
        ditherer.mapRow(row.data(), fixed.data(), o, frame.rect.left, frame.rect.top + y);
        for (int32_t x = 0; x < w; ++x) {
            if (in[x] == t) continue;
            used[o[x]] = true;
            if (!tracking_) continue;
            if (const int64_t s = at(frame, x, y); s >= 0) {
                source_[size_t(s)] = packed(colors[in[x]]);
                output_[size_t(s)] = o[x];
            }
        }
    }

    // The transparent value, chosen as a fixed mapping chooses it.
    int newTransparent = -1;
    if (t >= 0) {
        const RgbQuad& q = colors[size_t(t)];
        newTransparent = p >= 0 ? p : plain_.nearest({q.red, q.green, q.blue});
        if (p < 0 && used[newTransparent]) {
            int free = 0;
            while (free < palette_.colorCount && used[free]) ++free;
            if (free < palette_.colorCount) newTransparent = free;
        }
    }
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* dst = image.row(y);
        const uint8_t* src = out.data() + size_t(y) * size_t(w);
        for (int32_t x = 0; x < w; ++x) dst[x] = dst[x] == t ? uint8_t(newTransparent) : src[x];
    }
    for (int k = 0; k < palette_.colorCount; ++k) {
        const PaletteEntry& e = palette_.entry(k);
        image.colors()[size_t(k)] = {e.blue, e.green, e.red, 0};
    }
    image.colorsUsed = palette_.colorCount;
    // Dithered pixels have no one value per old value.
    image.colorMap.reset();
    image.transparentIndex = newTransparent;
    frame.transparentIndex = newTransparent;
    afterFrame(frame);
}

void ChainDitherer::pass(const TFrame& frame) {
    if (!tracking_ || !frame.image) return;
    const TDib256& image = *frame.image;
    for (int32_t y = 0; y < image.height(); ++y) {
        const uint8_t* in = image.row(y);
        for (int32_t x = 0; x < image.width(); ++x) {
            if (in[x] == frame.transparentIndex) continue;
            if (const int64_t s = at(frame, x, y); s >= 0) {
                source_[size_t(s)] = packed(image.colors()[in[x]]);
                output_[size_t(s)] = -1;
            }
        }
    }
    afterFrame(frame);
}

void ChainDitherer::afterFrame(const TFrame& frame) {
    if (!tracking_ || !frame.restoreToBackground) return;
    for (int32_t y = 0; y < frame.image->height(); ++y)
        for (int32_t x = 0; x < frame.image->width(); ++x)
            if (const int64_t s = at(frame, x, y); s >= 0) source_[size_t(s)] = 0, output_[size_t(s)] = -1;
}

}  // namespace movigram
