#include "MedianCutQuant.h"

#include <climits>
#include <new>

namespace movigram {

MedianCutQuant::MedianCutQuant(int colors, uint32_t width, uint32_t height, const uint8_t* pixels, int bitsPerPixel)
    : boxLimit_(colors),
      width_(width),
      height_(height),
      pixels_(pixels),
      bytesPerPixel_(bitsPerPixel / 8),
      sourceStride_(sourceStrideFor(width, bitsPerPixel)),
      outputStride_(size_t(dibStride(int32_t(width)))) {}

void MedianCutQuant::cellOf(const uint8_t* p, int& r, int& g, int& b) const {
    if (bytesPerPixel_ == 3) {
        b = p[0] >> 2, g = p[1] >> 2, r = p[2] >> 2;
    } else {
        const unsigned w = unsigned(p[0] | p[1] << 8);
        b = int(w & 31) * 2, g = int((w >> 5) & 31) * 2, r = int((w >> 10) & 31) * 2;
    }
}

bool MedianCutQuant::build() {
    if (bytesPerPixel_ != 2 && bytesPerPixel_ != 3) return false;
    if (uint64_t(width_) * height_ > UINT32_MAX) return false;
    std::unique_ptr<ColorHistogram> histogram;
    try {
        histogram = std::make_unique<ColorHistogram>();
        output_.assign(outputStride_ * height_, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    uint32_t* counts = histogram->data();
    for (uint32_t row = 0; row < height_; ++row) {
        const uint8_t* p = pixels_ + size_t(row) * sourceStride_;
        for (uint32_t x = 0; x < width_; ++x, p += bytesPerPixel_) {
            int r, g, b;
            cellOf(p, r, g, b);
            ++counts[ColorHistogram::index(r, g, b)];
        }
    }

    MedianCut cut(*histogram, uint32_t(uint64_t(width_) * height_), boxLimit_);
    cut.cut();
    cut.finish();
    boxCount_ = width_ && height_ ? cut.boxCount() : 0;
    paletteColors_ = cut.paletteColors();

    // Inverse map: every cell of a box holds the box's palette index; cells
    // outside all boxes (never met by a pixel) are looked up when met.
    constexpr uint32_t unset = 512;
    std::fill(counts, counts + ColorHistogram::cells, unset);
    for (int i = 0; i < boxCount_; ++i) {
        const ColorBox& box = cut.sortedBoxes()[size_t(i)];
        for (int r = box.min[0]; r <= box.max[0]; ++r)
            for (int g = box.min[1]; g <= box.max[1]; ++g)
                for (int b = box.min[2]; b <= box.max[2]; ++b) counts[ColorHistogram::index(r, g, b)] = uint32_t(i);
    }
    for (uint32_t row = 0; row < height_; ++row) {
        const uint8_t* p = pixels_ + size_t(row) * sourceStride_;
        uint8_t* out = output_.data() + size_t(row) * outputStride_;
        for (uint32_t x = 0; x < width_; ++x, p += bytesPerPixel_) {
            int r, g, b;
            cellOf(p, r, g, b);
            uint32_t& cell = counts[ColorHistogram::index(r, g, b)];
            if (cell == unset) {
                int best = 0, bestDistance = INT_MAX;
                for (int i = 0; i < boxCount_; ++i) {
                    const Rgb6& c = paletteColors_[size_t(i)];
                    const int dr = c[0] - r, dg = c[1] - g, db = c[2] - b;
                    const int d = dr * dr + dg * dg + db * db;
                    if (d < bestDistance) bestDistance = d, best = i;
                }
                cell = uint32_t(best);
            }
            out[x] = uint8_t(cell);
        }
    }
    return true;
}

std::unique_ptr<TDib256> MedianCutQuant::makeImage() const {
    auto image = std::make_unique<TDib256>(int32_t(width_), int32_t(height_));
    for (int i = 0; i < 256; ++i) {
        const Rgb6& c = paletteColors_[size_t(i)];
        image->colors()[size_t(i)] = {MedianCut::scale(c[2]), MedianCut::scale(c[1]), MedianCut::scale(c[0]), 0};
    }
    image->colorsUsed = boxCount_;
    // Output row r lies at r * stride, the same memory order as the source.
    if (!output_.empty()) std::copy(output_.begin(), output_.end(), image->bits());
    return image;
}

}  // namespace movigram
