#include "GeometricEffects.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "EffectTable.h"

namespace movigram {

namespace {

// 0 and 1 swap, 2 and 3 swap.
int32_t opposite(int32_t direction) { return direction ^ 1; }

// The banner's working directions: where the picture moves.
enum Shift : int32_t { ShiftLeft = 0, ShiftRight = 1, ShiftUp = 2, ShiftDown = 3 };

// The "to next frame" sequences stop one step short of the next frame,
// which completes them.
int32_t divisorOf(const EffectParams& p, int32_t n) {
    const bool toNext = p.effect == WipeToNext || p.effect == SpiralToNext || p.effect == BlindToNext;
    return toNext ? n + 1 : n;
}

}  // namespace

TWipeFrame::TWipeFrame(const TFrame& source, const EffectParams& params, const TFrame* nextFrame)
    : TEffectsFrame(source, params) {
    std::unique_ptr<TDib256> target;
    if (nextFrame && image) target = makeTarget(*nextFrame);
    const int32_t n = frameCount_, d = divisorOf(params, n);
    const int32_t w = image ? image->width() : 0, h = image ? image->height() : 0;
    // Inserted in reverse order, "from solid color" must grow from the
    // other side to uncover the picture in the chosen direction.
    const int32_t direction = params.effect == WipeFromSolid ? opposite(params.direction) : params.direction;
    for (int32_t i = 0; i < n; ++i) {
        TFrame& frame = generate(i, *this);
        if (!frame.image) continue;
        const int32_t across = int32_t(int64_t(w) * (i + 1) / d), down = int32_t(int64_t(h) * (i + 1) / d);
        TRect region;
        switch (direction) {
        case LeftToRight: region = {0, 0, across, h}; break;
        case RightToLeft: region = {w - across, 0, w, h}; break;
        case TopToBottom: region = {0, 0, w, down}; break;
        default: region = {0, h - down, w, h}; break;
        }
        fillRegion(*frame.image, region, target.get());
    }
}

TSpiralFrame::TSpiralFrame(const TFrame& source, const EffectParams& params, const TFrame* nextFrame)
    : TEffectsFrame(source, params) {
    std::unique_ptr<TDib256> target;
    if (nextFrame && image) target = makeTarget(*nextFrame);
    const TFrame pristine(*this, TRect{});
    const int32_t n = frameCount_, d = divisorOf(params, n);
    const int32_t w = image ? image->width() : 0, h = image ? image->height() : 0;
    const bool insideOut = (params.direction == InsideOut) != (params.effect == SpiralFromSolid);
    for (int32_t i = 0; i < n; ++i) {
        TFrame& frame = generate(i, pristine);
        if (!frame.image) continue;
        const int32_t across = int32_t(int64_t(w) * (i + 1) / d), down = int32_t(int64_t(h) * (i + 1) / d);
        const int32_t mx = insideOut ? (w - across) / 2 : across / 2;
        const int32_t my = insideOut ? (h - down) / 2 : down / 2;
        const TRect inner{mx, my, w - mx, h - my};
        if (insideOut) {
            fillRegion(*frame.image, inner, target.get());
        } else {
            fillRegion(*frame.image, frame.image->bounds(), target.get());
            fillRegion(*frame.image, inner, pristine.image.get());
        }
    }
}

TBlindFrame::TBlindFrame(const TFrame& source, const EffectParams& params, const TFrame* nextFrame)
    : TEffectsFrame(source, params) {
    std::unique_ptr<TDib256> target;
    if (nextFrame && image) target = makeTarget(*nextFrame);
    const int32_t n = frameCount_, period = divisorOf(params, n);
    const int32_t w = image ? image->width() : 0, h = image ? image->height() : 0;
    for (int32_t i = 0; i < n; ++i) {
        TFrame& frame = generate(i, *this);
        if (!frame.image) continue;
        if (params.direction == Vertical) {
            for (int32_t s = 0; s < w; s += period)
                fillRegion(*frame.image, {s, 0, s + std::min(i + 1, w - s), h}, target.get());
        } else {
            for (int32_t s = 0; s < h; s += period)
                fillRegion(*frame.image, {0, s, w, s + std::min(i + 1, h - s)}, target.get());
        }
    }
}

TBannerFrame::TBannerFrame(const TFrame& source, const EffectParams& params) : TEffectsFrame(source, params) {
    const TFrame pristine(*this, TRect{});
    const int32_t n = frameCount_;
    const int32_t direction = params.effect == BannerScrollIn ? params.direction : opposite(params.direction);
    const bool wrap = params.effect == BannerRotate;
    const int32_t w = image ? image->width() : 0, h = image ? image->height() : 0;
    for (int32_t k = 1; k <= n; ++k) {
        TFrame& frame = generate(k - 1, pristine);
        if (!frame.image) continue;
        const int32_t size = direction <= ShiftRight ? w : h;
        shiftPicture(*frame.image, direction, int32_t(int64_t(k) * size / (n + 1)), fillValue_, wrap);
    }
}

void shiftPicture(TDib256& image, int32_t direction, int32_t offset, uint8_t fill, bool wrap) {
    const int32_t w = image.width(), h = image.height();
    if (offset <= 0) return;
    if (direction == ShiftLeft || direction == ShiftRight) {
        if (offset > w) return;
        std::vector<uint8_t> line(static_cast<size_t>(w));
        for (int32_t y = 0; y < h; ++y) {
            uint8_t* p = image.row(y);
            std::memcpy(line.data(), p, size_t(w));
            const int32_t kept = w - offset;
            if (direction == ShiftLeft) {  // the right band is freed
                std::memcpy(p, line.data() + offset, size_t(kept));
                if (wrap) std::memcpy(p + kept, line.data(), size_t(offset));
                else std::memset(p + kept, fill, size_t(offset));
            } else {  // the left band is freed
                std::memcpy(p + offset, line.data(), size_t(kept));
                if (wrap) std::memcpy(p, line.data() + kept, size_t(offset));
                else std::memset(p, fill, size_t(offset));
            }
        }
        return;
    }
    if (offset > h) return;
    const TDib256 before(image);
    for (int32_t y = 0; y < h; ++y) {
        // Row y takes the row it shows after the move, or the fill.
        int32_t from = direction == ShiftUp ? y + offset : y - offset;
        if (from < 0 || from >= h) {
            if (!wrap) {
                std::memset(image.row(y), fill, size_t(w));
                continue;
            }
            from = (from + h) % h;
        }
        std::memcpy(image.row(y), before.row(from), size_t(w));
    }
}

}  // namespace movigram
