#pragma once
// A lossy GIF LZW encoder.  Each string may run on through strings of the
// table whose indices show colours close to the pixels' own (squared RGB
// distance below a threshold), so that long strings are found in noisy
// areas.  A bounded search over the strings that may continue the current
// one, starting from the greedy choice (the pixel's own index, else the
// closest colour), weighs rate against distortion: of the strings it
// reaches it takes the one of least cost per pixel, its code's bits plus
// lambda times its summed squared error, over its length.  The threshold
// keeps any one pixel's error small; lambda, from the same quality level,
// spends the error where it buys the most length.  Pixels marked fixed are
// always written as their own index (or, when marked so, as one
// alternative index: the transparent one).  Codes, code sizes and table
// clearing are those of the plain encoder (LzwEncoder.h): with threshold 0
// the bytes are the same.
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
    // The bits a unit of squared error is worth at a threshold (lambda).
    static double lambdaOf(uint32_t threshold);

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
    // width * height indices written, top row first.  limits (may be null)
    // holds for each index a threshold of its own, below threshold, for the
    // pixels of that index (a colour that already stands for others may
    // move less).
    void encode(const uint8_t* firstRow, std::ptrdiff_t rowStep, uint32_t width, uint32_t height,
                const uint8_t* keep, const uint32_t* colours, uint32_t threshold, int minCodeSize, ByteSink& out,
                int alternative = noAlternative, uint8_t* written = nullptr, const uint32_t* limits = nullptr);

    struct Rgb {
        int r, g, b;
    };

private:
    static constexpr uint16_t none = 0xFFFF;
    static constexpr uint32_t unfit = UINT32_MAX;
    // The squared error of writing index for the pixel at, unfit when it
    // may not.
    uint32_t errorOf(uint32_t index, size_t at, const Rgb* palette, uint32_t threshold, int alternative) const;
    // The cheapest string (per pixel) of the table that continues the one
    // of code with the pixels from `from` on, within what each may become:
    // its codes go to best_, their count is returned, and its cost per
    // pixel (codeBits plus lambda times its squared error, over its
    // length) goes to cost.
    size_t bestFrom(uint32_t code, size_t from, const Rgb* palette, uint32_t threshold, int alternative,
                    double codeBits, double lambda, double& cost);
    // The string table as a tree: each code's first child and next sibling,
    // and the indices it starts and ends in.
    std::vector<uint16_t> firstChild_, nextSibling_;
    std::vector<uint8_t> first_, last_;
    // The image's pixels and their Keeps in order; the search's state.
    std::vector<uint8_t> pixels_, kinds_;
    struct Step {
        uint16_t node;
        uint16_t first, cursor;  // the child followed first; the last child tried after it
        bool ownDone;
        uint64_t error;  // squared, along the path to node
    };
    std::vector<Step> stack_;
    std::vector<uint16_t> path_, best_, ownBest_;
    const uint32_t* limits_ = nullptr;
};

}  // namespace movigram
