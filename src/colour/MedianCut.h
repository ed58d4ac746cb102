#pragma once
// The median cut over a 6-bit colour histogram, shared by the optimised
// global palette and the true-colour quantiser.
//
// Strategy: start with one box around every counted cell; repeatedly split
// the box holding most pixels (lowest box number on ties, never a single
// cell) across its longest axis (ties to red, then green) at the slice where
// the running pixel sum first exceeds half the box, never leaving the upper
// part empty; shrink both halves to the tight bounds of their non-empty
// cells.  Each box's colour is its count-weighted mean; the palette is sorted
// dark to light by 30/59/11 luminance with a stable bubble sort.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "document/Progress.h"

namespace movigram {

struct ColorBox {
    std::array<uint16_t, 3> min{};  // red, green, blue, inclusive, 6-bit
    std::array<uint16_t, 3> max{};
    uint32_t pixelCount = 0;
};

using Rgb6 = std::array<uint8_t, 3>;

class ColorHistogram {
public:
    static constexpr int cells = 64 * 64 * 64;
    ColorHistogram() : counts_(cells, 0) {}
    static int index(int r, int g, int b) { return r * 4096 + g * 64 + b; }
    uint32_t& at(int r, int g, int b) { return counts_[size_t(index(r, g, b))]; }
    uint32_t at(int r, int g, int b) const { return counts_[size_t(index(r, g, b))]; }
    uint32_t* data() { return counts_.data(); }
    const uint32_t* data() const { return counts_.data(); }

private:
    std::vector<uint32_t> counts_;
};

class MedianCut {
public:
    MedianCut(const ColorHistogram& histogram, uint32_t totalPixels, int boxLimit);

    // Splits boxes until boxLimit boxes exist or none can be split; progress
    // is told the box count before each split.
    void cut(Progress* progress = nullptr);
    // Weighted means, luminance order; results in paletteColors (6-bit) and
    // sortedBoxes.
    void finish();

    int boxCount() const { return boxCount_; }
    const std::array<ColorBox, 256>& boxes() const { return boxes_; }
    const std::array<ColorBox, 256>& sortedBoxes() const { return sorted_; }
    const std::array<Rgb6, 256>& boxColors() const { return boxColors_; }
    // Palette order, 6-bit values (all zero past boxCount).
    const std::array<Rgb6, 256>& paletteColors() const { return paletteColors_; }

    // 6-bit to 8-bit: 63 becomes 255, any other v becomes 4v.
    static uint8_t scale(uint8_t v) { return v == 63 ? 255 : uint8_t(v * 4); }

private:
    uint64_t sliceSum(const ColorBox& box, int axis, int value) const;
    void shrink(ColorBox& box) const;
    bool split(int which);

    const ColorHistogram& histogram_;
    int boxLimit_;
    int boxCount_ = 0;
    std::array<ColorBox, 256> boxes_{};
    std::array<ColorBox, 256> sorted_{};
    std::array<Rgb6, 256> boxColors_{};
    std::array<Rgb6, 256> paletteColors_{};
};

}  // namespace movigram
