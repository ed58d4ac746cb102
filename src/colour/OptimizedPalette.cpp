#include "OptimizedPalette.h"

#include <new>

#include "document/FrameChain.h"

namespace movigram {

TOptimizedPalette::TOptimizedPalette(int colors, std::optional<PaletteEntry> reservedColor, TFrame* firstFrame,
                                     Host* progress, bool includeLocal)
    : boxLimit_(reservedColor ? colors - 1 : colors),
      reserved_(reservedColor),
      firstFrame_(firstFrame),
      progress_(progress),
      includeLocal_(includeLocal) {}

bool TOptimizedPalette::build() {
    try {
        histogram_ = std::make_unique<ColorHistogram>();
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int frames = chainCount(firstFrame_);
    int visited = 0;
    uint64_t total = 0;
    forEachInChain(firstFrame_, [&](TFrame& f) {
        ++visited;
        if (!f.image || (f.localPalette && !includeLocal_)) return;
        const TDib256& image = *f.image;
        total += uint64_t(image.width()) * uint64_t(image.height());
        uint32_t cellOf[256];
        for (int i = 0; i < 256; ++i) {
            const RgbQuad& q = image.colors()[size_t(i)];
            cellOf[i] = uint32_t(ColorHistogram::index(q.red >> 2, q.green >> 2, q.blue >> 2));
        }
        uint32_t* counts = histogram_->data();
        for (int32_t y = 0; y < image.height(); ++y) {
            const uint8_t* row = image.row(y);
            for (int32_t x = 0; x < image.width(); ++x) ++counts[cellOf[row[x]]];
        }
        if (progress_ && frames) progress_->setProgress(visited * 40 / frames);
    });
    // Counts are 32-bit: a chain of more than four billion pixels is refused.
    if (total == 0 || total > UINT32_MAX) {
        histogram_.reset();
        return false;
    }
    totalPixels_ = uint32_t(total);

    cut_ = std::make_unique<MedianCut>(*histogram_, totalPixels_, std::max(boxLimit_, 1));
    cut_->cut([&](int boxes) {
        if (progress_) progress_->setProgress(boxes * 10 / std::max(boxLimit_, 1) + 40);
    });
    cut_->finish();
    for (int i = 0; i < 256; ++i) {
        const Rgb6& c = cut_->paletteColors()[size_t(i)];
        colors_[size_t(i)] = {MedianCut::scale(c[0]), MedianCut::scale(c[1]), MedianCut::scale(c[2]), 0};
    }
    histogram_.reset();
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
