#pragma once
// Reduces one true-colour image (16-bit 5-5-5 or 24-bit BGR rows, in memory
// order) to 8 bits with a palette of up to 256 colours.  After the cut the
// histogram becomes the inverse map: each cell holds its palette index, so
// every pixel is classified by one table read.
#include <cstdint>
#include <memory>
#include <vector>

#include "MedianCut.h"
#include "document/TDib256.h"

namespace movigram {

class MedianCutQuant {
public:
    // pixels: height rows of sourceStride bytes each, where sourceStride is
    // (bytesPerPixel x width + 3) rounded down to a multiple of four.
    MedianCutQuant(int colors, uint32_t width, uint32_t height, const uint8_t* pixels, int bitsPerPixel);

    static size_t sourceStrideFor(uint32_t width, int bitsPerPixel) {
        return (size_t(bitsPerPixel / 8) * width + 3) / 4 * 4;
    }

    // False when the memory could not be had or the depth is not 16 or 24.
    bool build();
    // The 8-bit image: rows in the source's memory order, the palette in the
    // colour table (entries past the box count black).
    std::unique_ptr<TDib256> makeImage() const;

    int colorCount() const { return boxCount_; }

private:
    void cellOf(const uint8_t* p, int& r, int& g, int& b) const;

    int boxLimit_;
    uint32_t width_, height_;
    const uint8_t* pixels_;
    int bytesPerPixel_;
    size_t sourceStride_, outputStride_;
    int boxCount_ = 0;
    std::vector<uint8_t> output_;
    std::array<Rgb6, 256> paletteColors_{};
};

}  // namespace movigram
