#include "PaletteDitherer.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace movigram {

namespace {

// The 8 x 8 Bayer matrix: thresholds 0..63 in an order that spreads every
// level evenly.
constexpr uint8_t bayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
};

// How much the noise of an ordered pattern counts against it, beside the
// error of its mean colour.
constexpr double spreadWeight = 0.1;

uint32_t packed(const Rgb8& c) { return uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue; }

}  // namespace

PaletteDitherer::PaletteDitherer(const PaletteEntry* entries, int count, int skip, const QuantizeOptions& options)
    : search_(entries, count, skip),
      skip_(skip),
      method_(options.dither),
      strength_(std::clamp(options.ditherStrength, 1, QuantizeOptions::fullStrength)) {}

void PaletteDitherer::startPicture(int32_t width) {
    width_ = std::max(width, 0);
    leftToRight_ = true;
    if (method_ != DitherMethod::Diffusion) return;
    thisRow_.assign(size_t(width_) + 2, {0, 0, 0});
    nextRow_.assign(size_t(width_) + 2, {0, 0, 0});
}

void PaletteDitherer::mapRow(const Rgb8* source, const int16_t* fixed, uint8_t* out, int32_t screenX,
                             int32_t screenY) {
    switch (method_) {
    case DitherMethod::None:
        for (int32_t x = 0; x < width_; ++x) {
            const int16_t f = fixed ? fixed[x] : freePixel;
            out[x] = f >= 0 ? uint8_t(f) : uint8_t(nearest(source[x]));
        }
        break;
    case DitherMethod::Ordered: orderedRow(source, fixed, out, screenX, screenY); break;
    case DitherMethod::Diffusion: diffusionRow(source, fixed, out); break;
    }
}

PaletteDitherer::Mix PaletteDitherer::mixFor(const Rgb8& c) {
    const uint32_t key = packed(c);
    if (const auto found = mixes_.find(key); found != mixes_.end()) return found->second;
    const int first = nearest(c);
    Mix mix{uint8_t(first), uint8_t(first), 0};
    const PaletteEntry& p = search_.entry(first);
    const int er = c.red - p.red, eg = c.green - p.green, eb = c.blue - p.blue;
    if (er | eg | eb) {
        // The second colour: the one whose mix with the first comes nearest
        // to c, c's projection falling on the segment between them.  The
        // pattern's own noise, t (1 - t) times the squared distance of the
        // two colours, counts against a mix (a tenth of it: the eye averages
        // fine patterns), so that a few far colours do not speckle an area
        // that one colour shows nearly as well.
        double bestCost = double(er * er + eg * eg + eb * eb);
        double bestShare = 0;
        for (int k = 0; k < search_.count(); ++k) {
            if (k == first || k == skip_) continue;
            const PaletteEntry& q = search_.entry(k);
            const int dr = q.red - p.red, dg = q.green - p.green, db = q.blue - p.blue;
            const int length = dr * dr + dg * dg + db * db;
            const int along = er * dr + eg * dg + eb * db;
            if (length == 0 || along <= 0) continue;
            const double t = std::min(1.0, double(along) / length);
            const double mr = er - t * dr, mg = eg - t * dg, mb = eb - t * db;
            const double cost = mr * mr + mg * mg + mb * mb + spreadWeight * length * t * (1 - t);
            if (cost < bestCost) bestCost = cost, bestShare = t, mix.second = uint8_t(k);
        }
        mix.share = uint8_t(std::lround(bestShare * 64));
    }
    mixes_.emplace(key, mix);
    return mix;
}

void PaletteDitherer::orderedRow(const Rgb8* source, const int16_t* fixed, uint8_t* out, int32_t screenX,
                                 int32_t screenY) {
    const uint8_t* pattern = bayer[screenY & 7];
    for (int32_t x = 0; x < width_; ++x) {
        const int16_t f = fixed ? fixed[x] : freePixel;
        if (f >= 0) {
            out[x] = uint8_t(f);
            continue;
        }
        const Mix mix = mixFor(source[x]);
        out[x] = pattern[(screenX + x) & 7] < mix.share ? mix.second : mix.first;
    }
}

void PaletteDitherer::diffusionRow(const Rgb8* source, const int16_t* fixed, uint8_t* out) {
    std::swap(thisRow_, nextRow_);
    std::fill(nextRow_.begin(), nextRow_.end(), std::array<int32_t, 3>{0, 0, 0});
    const int step = leftToRight_ ? 1 : -1;
    const int32_t begin = leftToRight_ ? 0 : width_ - 1, end = leftToRight_ ? width_ : -1;
    for (int32_t x = begin; x != end; x += step) {
        const int16_t f = fixed ? fixed[x] : freePixel;
        const size_t at = size_t(x) + 1;
        if (f >= 0x100) {
            out[x] = uint8_t(f & 0xFF);
            continue;
        }
        const Rgb8& s = source[x];
        int want[3] = {s.red, s.green, s.blue};
        if (f < 0)
            for (int c = 0; c < 3; ++c) want[c] = std::clamp(want[c] + (thisRow_[at][size_t(c)] + 8) / 16, 0, 255);
        const int index = f >= 0 ? f : nearest({uint8_t(want[0]), uint8_t(want[1]), uint8_t(want[2])});
        out[x] = uint8_t(index);
        const PaletteEntry& p = search_.entry(index);
        const int got[3] = {p.red, p.green, p.blue};
        for (int c = 0; c < 3; ++c) {
            const int32_t e = (want[c] - got[c]) * 16 * strength_ / QuantizeOptions::fullStrength;
            const size_t ch = size_t(c);
            thisRow_[size_t(int(at) + step)][ch] += e * 7 / 16;
            nextRow_[size_t(int(at) - step)][ch] += e * 3 / 16;
            nextRow_[at][ch] += e * 5 / 16;
            nextRow_[size_t(int(at) + step)][ch] += e / 16;
        }
    }
    leftToRight_ = !leftToRight_;
}

}  // namespace movigram
