#pragma once
// 8-bit colours, and the rows of a picture deeper than 8 bits as the readers
// hold them: 16-bit 5-5-5 words (bits 0..4 blue, 5..9 green, 10..14 red) or
// blue, green, red bytes, each row padded to four bytes.
#include <cstddef>
#include <cstdint>

namespace movigram {

struct Rgb8 {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    friend bool operator==(const Rgb8&, const Rgb8&) = default;
};

// A 5-bit channel at full range: the high bits repeated below, so 31 is 255.
inline uint8_t widen5(unsigned v) { return uint8_t(v << 3 | v >> 2); }

struct DeepRows {
    const uint8_t* pixels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    int bitsPerPixel = 24;

    // (bytes per pixel x width + 3) rounded down to a multiple of four.
    size_t stride() const { return (size_t(bitsPerPixel / 8) * width + 3) / 4 * 4; }
    const uint8_t* row(uint32_t r) const { return pixels + size_t(r) * stride(); }

    // Row r in memory order as 8-bit colours.  5-bit channels are widened to
    // full range, or with fullRange false as the median cut scales them
    // (31 becomes 248).
    void colors(uint32_t r, Rgb8* out, bool fullRange = true) const {
        const uint8_t* p = row(r);
        if (bitsPerPixel == 24) {
            for (uint32_t x = 0; x < width; ++x, p += 3) out[x] = {p[2], p[1], p[0]};
            return;
        }
        for (uint32_t x = 0; x < width; ++x, p += 2) {
            const unsigned w = unsigned(p[0] | p[1] << 8);
            if (fullRange)
                out[x] = {widen5(w >> 10 & 31), widen5(w >> 5 & 31), widen5(w & 31)};
            else
                out[x] = {uint8_t((w >> 10 & 31) << 3), uint8_t((w >> 5 & 31) << 3), uint8_t((w & 31) << 3)};
        }
    }
};

}  // namespace movigram
