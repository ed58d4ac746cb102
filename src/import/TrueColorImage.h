#pragma once
// A picture deeper than 8 bits on its way to the quantiser.  Rows are kept
// bottom-up, the memory order of an 8-bit image, so the quantiser's output
// needs no flip; each row is padded to four bytes.  Pixels are 16-bit 5-5-5
// words (bits 0..4 blue, 5..9 green, 10..14 red) or blue, green, red bytes.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "colour/RgbColor.h"
#include "document/DecodeLimits.h"
#include "document/Document.h"
#include "document/Host.h"
#include "document/QuantizeOptions.h"
#include "document/TDib256.h"

namespace movigram {

class TrueColorImage {
public:
    // A black picture, or nothing when its size is not positive, breaks the
    // limits or the memory cannot be had.  bitsPerPixel is 16 or 24.
    static std::optional<TrueColorImage> create(int64_t width, int64_t height, int bitsPerPixel,
                                                const DecodeLimits& limits);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int bitsPerPixel() const { return bitsPerPixel_; }
    size_t stride() const { return stride_; }

    // Row y of the picture, 0 being the top.
    uint8_t* row(int32_t y) { return pixels_.data() + size_t(height_ - 1 - y) * stride_; }
    const uint8_t* row(int32_t y) const { return pixels_.data() + size_t(height_ - 1 - y) * stride_; }
    const uint8_t* data() const { return pixels_.data(); }
    // The rows in memory order, for the quantisers.
    DeepRows rows() const { return {pixels_.data(), uint32_t(width_), uint32_t(height_), bitsPerPixel_}; }

    // The colour of a pixel with 8-bit channels (5-bit channels scaled to
    // 0..255 and rounded).
    Rgb8 rgbAt(int32_t x, int32_t y) const;

private:
    TrueColorImage() = default;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int bitsPerPixel_ = 24;
    size_t stride_ = 0;
    std::vector<uint8_t> pixels_;
};

// Bytes of one image of width x height at bytesPerPixel, or 0 when the size
// is not positive or passes the limits.
uint64_t checkedImageBytes(int64_t width, int64_t height, int bytesPerPixel, const DecodeLimits& limits);

// The 8-bit image of up to 256 colours made by the quantiser and dithering
// chosen (the median cut without dithering unless told otherwise); null when
// the reduction fails.  The status text "Reducing to 256 colors" is shown
// while it runs.
std::unique_ptr<TDib256> reduceTo256(const TrueColorImage& image, Host* host = nullptr,
                                     const QuantizeOptions& options = {});
// The same with the document's quantiser and dithering and its host: for an
// image pasted from the clipboard, before the paste rule of the reading
// policy (acceptPastedFrame) takes it.
std::unique_ptr<TDib256> reduceTo256(const TrueColorImage& image, Document& doc);

// What a still-image reader yields: an 8-bit image, or a deeper one that is
// still to be reduced.
struct DecodedImage {
    std::unique_ptr<TDib256> indexed;
    std::optional<TrueColorImage> trueColor;
    explicit operator bool() const { return indexed || trueColor; }
};

}  // namespace movigram
