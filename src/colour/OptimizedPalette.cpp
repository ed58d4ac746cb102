#include "OptimizedPalette.h"

#include <algorithm>
#include <new>

#include "QualityQuant.h"
#include "SharedPalette.h"
#include "document/FrameChain.h"

namespace movigram {

namespace {

uint32_t packed(uint8_t r, uint8_t g, uint8_t b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | b; }
PaletteEntry unpacked(uint32_t c) { return {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 0}; }

// The luminance key of the cut's palette order, on 8-bit values.
uint32_t luminance(uint32_t c) { return (c >> 16 & 0xFF) * 30 + (c >> 8 & 0xFF) * 59 + (c & 0xFF) * 11; }

}  // namespace

TOptimizedPalette::TOptimizedPalette(int colors, std::optional<PaletteEntry> reservedColor, TFrame* firstFrame,
                                     Progress* progress, bool includeLocal)
    : boxLimit_(reservedColor ? colors - 1 : colors),
      reserved_(reservedColor),
      firstFrame_(firstFrame),
      progress_(progress),
      includeLocal_(includeLocal) {}

bool TOptimizedPalette::collectExact(const TDib256& image, const uint64_t (&counts)[256]) {
    for (int i = 0; i < 256; ++i) {
        if (!counts[i]) continue;
        const RgbQuad& q = image.colors()[size_t(i)];
        const uint32_t c = packed(q.red, q.green, q.blue);
        const auto at = std::lower_bound(exactColors_.begin(), exactColors_.end(), c);
        if (at != exactColors_.end() && *at == c) continue;
        if (int(exactColors_.size()) >= boxLimit_) return false;
        exactColors_.insert(at, c);
    }
    return true;
}

bool TOptimizedPalette::build() {
    try {
        histogram_ = std::make_unique<ColorHistogram>();
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int frames = chainCount(firstFrame_);
    int visited = 0;
    uint64_t total = 0;
    bool fits = true;
    exactColors_.clear();
    auto contributes = [&](const TFrame& f) { return f.image && (!f.localPalette || includeLocal_); };
    const bool quality = quantizer_ == Quantizer::HighQuality;
    std::vector<bool> sampled;
    if (quality) {
        size_t contributing = 0;
        forEachInChain(firstFrame_, [&](TFrame& f) { contributing += contributes(f); });
        sampled = FrameSampler::evenly(contributing, sampledFrames);
    }
    std::unordered_map<uint32_t, uint64_t> weights;
    size_t contributed = 0;
    forEachInChain(firstFrame_, [&](TFrame& f) {
        ++visited;
        if (!contributes(f)) return;
        const TDib256& image = *f.image;
        total += uint64_t(image.width()) * uint64_t(image.height());
        // Pixels are counted per value first, then per colour: one image
        // holds at most 256 colours.  Transparent pixels show no colour of
        // their own and are not counted: in a frame that holds only what
        // changed they would outweigh every visible colour.
        uint64_t counts[256] = {};
        for (int32_t y = 0; y < image.height(); ++y) {
            const uint8_t* row = image.row(y);
            for (int32_t x = 0; x < image.width(); ++x) ++counts[row[x]];
        }
        if (f.transparentIndex >= 0 && f.transparentIndex < 256) {
            total -= counts[f.transparentIndex];
            counts[f.transparentIndex] = 0;
        }
        uint32_t* cells = histogram_->data();
        for (int i = 0; i < 256; ++i) {
            if (!counts[i]) continue;
            const RgbQuad& q = image.colors()[size_t(i)];
            cells[ColorHistogram::index(q.red >> 2, q.green >> 2, q.blue >> 2)] += uint32_t(counts[i]);
        }
        fits = fits && collectExact(image, counts);
        if (quality && sampled[contributed])
            for (int i = 0; i < 256; ++i)
                if (counts[i]) {
                    const RgbQuad& q = image.colors()[size_t(i)];
                    weights[packed(q.red, q.green, q.blue)] += counts[i];
                }
        ++contributed;
        if (progress_ && frames) progress_->setProgress(visited * 40 / frames);
    });
    // Counts are 32-bit: a chain of more than four billion pixels is refused.
    if (total == 0 || total > UINT32_MAX) {
        histogram_.reset();
        return false;
    }
    totalPixels_ = uint32_t(total);

    if (fits && extra_) {
        const uint32_t c = packed(extra_->red, extra_->green, extra_->blue);
        const auto at = std::lower_bound(exactColors_.begin(), exactColors_.end(), c);
        if ((at == exactColors_.end() || *at != c) && int(exactColors_.size()) < boxLimit_) exactColors_.insert(at, c);
    }
    exact_ = fits;
    if (exact_) {
        std::stable_sort(exactColors_.begin(), exactColors_.end(),
                         [](uint32_t a, uint32_t b) { return luminance(a) < luminance(b); });
        for (size_t i = 0; i < exactColors_.size(); ++i) colors_[i] = unpacked(exactColors_[i]);
        if (progress_) progress_->setProgress(50);
        histogram_.reset();
        return true;
    }

    // The library makes no palette of one colour: the median cut's single box
    // is the mean of all colours.
    if (quality && boxLimit_ > 1) {
        histogram_.reset();
        if (progress_) progress_->setProgress(45);
        return buildQuality(weights);
    }

    cut_ = std::make_unique<MedianCut>(*histogram_, totalPixels_, std::max(boxLimit_, 1));
    ProgressBand boxes(progress_, 40, 50);
    cut_->cut(progress_ ? &boxes : nullptr);
    cut_->finish();
    for (int i = 0; i < 256; ++i) {
        const Rgb6& c = cut_->paletteColors()[size_t(i)];
        colors_[size_t(i)] = {MedianCut::scale(c[0]), MedianCut::scale(c[1]), MedianCut::scale(c[2]), 0};
    }
    histogram_.reset();
    return true;
}

bool TOptimizedPalette::buildQuality(const std::unordered_map<uint32_t, uint64_t>& weights) {
    auto cells = std::make_unique<ColorCells>();
    for (const auto& [c, n] : weights)
        cells->add({uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)}, uint32_t(std::min<uint64_t>(n, UINT32_MAX)));
    qualityColors_ = qualityPalette(*cells, boxLimit_);
    if (qualityColors_.empty()) return false;
    for (size_t i = 0; i < qualityColors_.size(); ++i) colors_[i] = qualityColors_[i];
    if (progress_) progress_->setProgress(50);
    return true;
}

TMyPalette TOptimizedPalette::makePalette() const {
    std::vector<PaletteEntry> entries;
    if (reserved_) entries.push_back(*reserved_);
    for (int i = 0; i < boxCount(); ++i) entries.push_back(colors_[size_t(i)]);
    TMyPalette palette(entries);
    palette.transparentIndex = reserved_ ? 0 : -1;
    return palette;
}

}  // namespace movigram
