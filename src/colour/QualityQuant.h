#pragma once
// The "High quality" quantiser.  Colours are gathered with their pixel
// counts, from true-colour pictures or from the colour tables of 8-bit
// frames; libimagequant makes a palette from them, and a few rounds of
// k-means in RGB (each entry moved to the mean of the colours nearest to
// it) fit that palette to the squared error the program measures.  Deep
// pixels reach it at full range (a 5-bit 31 is 255).
//
// Pictures are gathered into the 6-bit cells of the median cut's
// histogram, each cell keeping the mean of its colours: the library then
// works on at most 2^18 colours whatever the size of the picture, and a
// cell that holds one colour keeps it exactly.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "RgbColor.h"
#include "document/QuantizeOptions.h"
#include "document/TDib256.h"
#include "document/TMyPalette.h"

namespace movigram {

struct WeightedColor {
    Rgb8 color;
    uint32_t count = 0;
};

class ColorCells;

// A palette of at most `count` entries (1..256): the library works on the
// cells' mean colours, the k-means on the colours themselves (or the cell
// means when there were too many to keep).  Empty when there are no colours
// or the library failed.
std::vector<PaletteEntry> qualityPalette(const ColorCells& colors, int count);

// Colours of pictures with their pixel counts, for one palette: the colours
// themselves while there are at most exactLimit different ones, then the
// sums of the 6-bit cells.
class ColorCells {
public:
    static constexpr size_t exactLimit = size_t(1) << 16;

    ColorCells();
    void add(const Rgb8& c, uint32_t count = 1);
    void addPicture(const DeepRows& rows);
    // The mean colour of every cell in use with its count, in cell order.
    std::vector<WeightedColor> cellColors() const;
    // Every colour with its count, in colour order; the cell means when
    // there were too many.
    std::vector<WeightedColor> colors() const;
    // Whether colors() gives the colours themselves.
    bool exact() const { return cells_.empty(); }

private:
    void grow();
    void spill();

    // Open addressing on 0xRRGGBB keys; a free slot holds emptyKey.
    static constexpr uint32_t emptyKey = 0xFFFFFFFF;
    std::vector<uint32_t> keys_;
    std::vector<uint64_t> counts_;
    size_t used_ = 0;
    // Once spilled: sums of red, green, blue and the count per cell.
    std::vector<std::array<uint64_t, 4>> cells_;
};

// One true-colour picture to 8 bits, as MedianCutQuant does it, with the
// dithering asked for.
class QualityQuant {
public:
    QualityQuant(int colors, const DeepRows& rows, const QuantizeOptions& options);

    // False when the memory could not be had, the size is not positive or
    // the depth is not 16 or 24.
    bool build();
    // Rows in the source's memory order, the palette in the colour table.
    std::unique_ptr<TDib256> makeImage() const;
    int colorCount() const { return int(palette_.size()); }

private:
    int colors_;
    DeepRows rows_;
    QuantizeOptions options_;
    std::vector<PaletteEntry> palette_;
    std::vector<uint8_t> output_;  // width x height, no padding
};

}  // namespace movigram
