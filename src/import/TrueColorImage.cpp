#include "TrueColorImage.h"

#include <new>

#include "colour/DeepQuantize.h"
#include "colour/MedianCutQuant.h"

namespace movigram {

uint64_t checkedImageBytes(int64_t width, int64_t height, int bytesPerPixel, const DecodeLimits& limits) {
    if (width <= 0 || height <= 0 || bytesPerPixel <= 0) return 0;
    // Both factors stay below 2^31, so the products fit in 64 bits.
    if (width > INT32_MAX - 3 || height > INT32_MAX) return 0;
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    if (pixels > limits.maxImagePixels) return 0;
    const uint64_t rowBytes = (uint64_t(width) * uint64_t(bytesPerPixel) + 3) / 4 * 4;
    const uint64_t bytes = rowBytes * uint64_t(height);
    if (bytes > limits.maxTotalBytes) return 0;
    return bytes;
}

std::optional<TrueColorImage> TrueColorImage::create(int64_t width, int64_t height, int bitsPerPixel,
                                                     const DecodeLimits& limits) {
    if (bitsPerPixel != 16 && bitsPerPixel != 24) return std::nullopt;
    const uint64_t bytes = checkedImageBytes(width, height, bitsPerPixel / 8, limits);
    if (bytes == 0) return std::nullopt;
    TrueColorImage image;
    image.width_ = int32_t(width);
    image.height_ = int32_t(height);
    image.bitsPerPixel_ = bitsPerPixel;
    image.stride_ = MedianCutQuant::sourceStrideFor(uint32_t(width), bitsPerPixel);
    try {
        image.pixels_.assign(size_t(bytes), 0);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return image;
}

Rgb8 TrueColorImage::rgbAt(int32_t x, int32_t y) const {
    const uint8_t* p = row(y);
    if (bitsPerPixel_ == 24) {
        p += size_t(x) * 3;
        return {p[2], p[1], p[0]};
    }
    p += size_t(x) * 2;
    const unsigned w = unsigned(p[0] | p[1] << 8);
    auto widen = [](unsigned v) { return uint8_t((v * 255 + 15) / 31); };
    return {widen((w >> 10) & 31), widen((w >> 5) & 31), widen(w & 31)};
}

std::unique_ptr<TDib256> reduceTo256(const TrueColorImage& image, Host* host, const QuantizeOptions& options) {
    Host quiet;
    StatusText status(host ? *host : quiet, "Reducing to 256 colors");
    return quantizeDeep(image.rows(), 256, options);
}

std::unique_ptr<TDib256> reduceTo256(const TrueColorImage& image, Document& doc) {
    return reduceTo256(image, &doc.host(), doc.quantize);
}

}  // namespace movigram
