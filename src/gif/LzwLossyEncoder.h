#pragma once
// A lossy GIF LZW encoder.  While extending the current string it may take a
// string of the table whose next index shows a colour close to the wanted
// pixel's (squared RGB distance below a threshold), so that long strings are
// found in noisy areas.  The colour error of each pixel taken so is carried
// on to the next pixel of the row, so that the row keeps its average colour.
// Pixels marked fixed are always written as their own index (or, when
// marked so, as one alternative index: the transparent one).  Codes, code
// sizes and table clearing are those of the plain encoder (LzwEncoder.h): with
// threshold 0 the bytes are the same.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ByteSink.h"

namespace movigram {

class LzwLossyEncoder {
public:
    LzwLossyEncoder();

    // The squared RGB distance below which a pixel may be written as
    // another index, for a quality level 0-100 (100: none; lossless).
    static uint32_t thresholdOf(int quality);

    // What may become of a pixel.
    enum Keep : uint8_t {
        Close = 0,        // any index within the threshold
        Exact = 1,        // its own index
        OrAlternative = 2,  // its own index or the alternative one
    };
    static constexpr int noAlternative = -1;

    // Writes the byte m, the data sub-blocks and the terminator for height
    // rows of width indices; row y starts at firstRow + y * rowStep.  keep
    // (may be null: all Close) holds a Keep for each of the width * height
    // pixels, top row first.  colours holds the 0xRRGGBB of each of the 2^m
    // indices.  Every index must be below 2^m.  The alternative index (the
    // transparent one) is never written for a pixel of another index unless
    // the pixel is OrAlternative.  written (may be null) receives the
    // width * height indices written, top row first.
    void encode(const uint8_t* firstRow, std::ptrdiff_t rowStep, uint32_t width, uint32_t height,
                const uint8_t* keep, const uint32_t* colours, uint32_t threshold, int minCodeSize, ByteSink& out,
                int alternative = noAlternative, uint8_t* written = nullptr);

private:
    static constexpr uint16_t none = 0xFFFF;
    // The string table as a tree: each code's first child and next sibling,
    // and the index it ends in.
    std::vector<uint16_t> firstChild_, nextSibling_;
    std::vector<uint8_t> last_;
};

}  // namespace movigram
