#include "FadeDissolve.h"

#include <algorithm>
#include <ctime>
#include <random>
#include <vector>

#include "EffectTable.h"

namespace movigram {

TFadeInOutFrame::TFadeInOutFrame(const TFrame& source, const EffectParams& params)
    : TEffectsFrame(source, params) {
    localPalette.reset();
    // Only the entries the picture uses are interpolated.
    int n = 0;
    if (image)
        for (int32_t y = 0; y < image->height(); ++y) {
            const uint8_t* row = image->row(y);
            for (int32_t x = 0; x < image->width(); ++x) n = std::max(n, row[x] + 1);
        }
    const ColorTable colors = image ? image->colors() : ColorTable{};
    const int kr = redOf(params.solidColor), kg = greenOf(params.solidColor), kb = blueOf(params.solidColor);
    const int steps = frameCount_;
    for (int32_t i = 0; i < steps; ++i) {
        TFrame& frame = generate(i, *this);
        // Signed division rounds toward zero, as the steps must.
        auto step = [&](int from, int to) { return uint8_t(from + i * (to - from) / steps); };
        auto palette = std::make_unique<TMyPalette>();
        for (int j = 0; j < n; ++j) {
            const RgbQuad& e = colors[size_t(j)];
            const PaletteEntry c{step(kr, e.red), step(kg, e.green), step(kb, e.blue), 0};
            if (frame.image) frame.image->colors()[size_t(j)] = {c.blue, c.green, c.red, 0};
            palette->setEntry(j, c);
        }
        palette->colorCount = n;
        palette->transparentIndex = -1;
        frame.localPalette = std::move(palette);
    }
}

TDissolveFrame::TDissolveFrame(const TFrame& source, const EffectParams& params, const TFrame* nextFrame,
                               std::optional<uint32_t> seed)
    : TEffectsFrame(source, params) {
    std::unique_ptr<TDib256> target;
    if (nextFrame && image) target = makeTarget(*nextFrame);
    std::mt19937 random(seed ? *seed : uint32_t(std::time(nullptr)));
    auto draw = [&random] { return uint32_t(random() >> 1); };  // uniform over 31 bits

    const int32_t n = frameCount_;
    const int32_t w = image ? image->width() : 0, h = image ? image->height() : 0;
    const int32_t cw = std::max(params.cellWidth, 1), ch = std::max(params.cellHeight, 1);
    const bool cells = cw > 1 || ch > 1;
    const bool endsSolid = params.effect == DissolveFromSolid || params.effect == DissolveToSolid;

    // Pixel mode makes every decision at once: one bit per byte of the
    // pixel buffer, set with probability 1/4, and frame j reads the bits
    // 56 positions further on than frame j - 1.
    const size_t length = image ? image->byteSize() : 0;
    std::vector<uint8_t> bits;
    if (!cells) {
        bits.resize((length + 7) / 8 + 7 * size_t(n));
        for (uint8_t& b : bits) b = uint8_t(draw() & draw());
    }

    for (int32_t j = 0; j < n; ++j) {
        TFrame& frame = generate(j, lastGenerated());
        if (!frame.image || length == 0) continue;
        TDib256& pixels = *frame.image;
        if (j == n - 1 && endsSolid) {
            pixels.fill(fillValue_);
        } else if (cells) {
            for (int32_t top = 0; top < h; top += ch)
                for (int32_t left = 0; left < w; left += cw)
                    if (int64_t(j) >= int64_t(draw() % uint32_t(n + 1)))
                        fillRegion(pixels, {left, top, std::min(left + cw, w), std::min(top + ch, h)}, target.get());
        } else {
            uint8_t* out = pixels.bits();
            const uint8_t* from = target ? target->bits() : nullptr;
            const size_t offset = 7 * size_t(j);
            for (size_t b = 0; b < length; ++b)
                if ((bits[b / 8 + offset] >> (b % 8)) & 1) out[b] = from ? from[b] : fillValue_;
        }
    }
}

}  // namespace movigram
