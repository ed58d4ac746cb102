#include "TDib256.h"

#include <algorithm>
#include <cstring>

namespace movigram {

TDib256::TDib256(int32_t width, int32_t height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      stride_(dibStride(width_)),
      bits_(size_t(stride_) * size_t(height_), 0) {}

TDib256::TDib256(const TDib256& other)
    : colorsUsed(other.colorsUsed),
      colorsImportant(other.colorsImportant),
      fixedColorMask(other.fixedColorMask),
      colorMap(other.colorMap ? std::make_unique<std::array<uint8_t, 256>>(*other.colorMap) : nullptr),
      transparentIndex(other.transparentIndex),
      width_(other.width_),
      height_(other.height_),
      stride_(other.stride_),
      bits_(other.bits_),
      colors_(other.colors_) {}

TDib256& TDib256::operator=(const TDib256& other) {
    if (this != &other) {
        TDib256 copy(other);
        *this = std::move(copy);
    }
    return *this;
}

std::unique_ptr<TDib256> TDib256::subImage(const TDib256& source, const TRect& part) {
    const TRect r = part.intersected(source.bounds());
    auto image = std::make_unique<TDib256>(std::max(part.width(), 0), std::max(part.height(), 0));
    image->colors_ = source.colors_;
    image->colorsUsed = source.colorsUsed;
    image->colorsImportant = source.colorsImportant;
    if (r.isEmpty()) return image;
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::memcpy(image->row(y - part.top) + (r.left - part.left), source.row(y) + r.left,
                    size_t(r.width()));
    return image;
}

std::unique_ptr<TDib256> TDib256::expand(int32_t width, int32_t height, int bitsPerPixel,
                                         const uint8_t* bits, const ColorTable& table,
                                         int colorsUsed, int colorsImportant) {
    auto image = std::make_unique<TDib256>(width, height);
    image->colors_ = table;
    image->colorsUsed = colorsUsed;
    image->colorsImportant = colorsImportant;
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8) return image;
    const int perByte = 8 / bitsPerPixel;
    const size_t sourceStride = size_t((width + perByte - 1) / perByte + 3) / 4 * 4;
    const int mask = (1 << bitsPerPixel) - 1;
    // Both layouts are bottom-up, so memory row r maps to memory row r.
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* in = bits + size_t(r) * sourceStride;
        uint8_t* out = image->bits_.data() + size_t(r) * size_t(image->stride_);
        if (bitsPerPixel == 8) {
            std::memcpy(out, in, size_t(width));
            continue;
        }
        for (int32_t x = 0; x < width; ++x) {
            const int shift = 8 - bitsPerPixel * (x % perByte + 1);
            out[x] = uint8_t((in[x / perByte] >> shift) & mask);
        }
    }
    return image;
}

void TDib256::fillRow(int32_t y, int32_t x, uint8_t value, int32_t count) {
    std::memset(row(y) + x, value, size_t(count));
}

void TDib256::fill(uint8_t value) { std::fill(bits_.begin(), bits_.end(), value); }

void TDib256::fillRect(const TRect& rect, uint8_t value) {
    const TRect r = rect.intersected(bounds());
    if (r.isEmpty()) return;
    for (int32_t y = r.top; y < r.bottom; ++y) std::memset(row(y) + r.left, value, size_t(r.width()));
}

void TDib256::blit(int32_t x, int32_t y, const TDib256& source, int key) {
    const TRect target = TRect{x, y, x + source.width(), y + source.height()}.intersected(bounds());
    if (target.isEmpty()) return;
    const size_t n = size_t(target.width());
    for (int32_t ty = target.top; ty < target.bottom; ++ty) {
        const uint8_t* in = source.row(ty - y) + (target.left - x);
        uint8_t* out = row(ty) + target.left;
        if (key < 0) {
            std::memcpy(out, in, n);
        } else {
            const uint8_t k = uint8_t(key);
            for (size_t i = 0; i < n; ++i)
                if (in[i] != k) out[i] = in[i];
        }
    }
}

}  // namespace movigram
