#pragma once
// The "High quality" quantiser: palettes made by libimagequant, from one
// true-colour picture, from several (the frames of a video), or from colours
// counted in 8-bit frames.  Deep pixels reach it at full range (a 5-bit 31
// is 255).  Its palettes are ordinary palettes: any caller may put pixels on
// them with PaletteDitherer.
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

// Colours gathered from pictures or counted pixels, turned into one palette.
class QualityHistogram {
public:
    QualityHistogram();
    ~QualityHistogram();
    QualityHistogram(const QualityHistogram&) = delete;
    QualityHistogram& operator=(const QualityHistogram&) = delete;

    // False when the library refused (no memory).
    bool addPicture(const DeepRows& rows);
    bool addColors(std::span<const WeightedColor> colors);
    // At most `colors` entries (1..256); empty when nothing was added or the
    // library failed.
    std::vector<PaletteEntry> palette(int colors);

private:
    struct Library;
    std::unique_ptr<Library> liq_;
    bool empty_ = true;
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
