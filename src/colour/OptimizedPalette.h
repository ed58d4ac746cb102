#pragma once
// One palette of up to 256 colours for a whole chain of frames, every pixel
// weighing the same: a median cut on the 6-bit histogram of the frames'
// colours (pixels are counted by colour, never by index).
//
// When the colours the frames show fit in the palette asked for, no colour
// has to be merged with another: the palette then holds exactly those
// colours, at full 8-bit precision, and the cut is not made.
//
// With the high quality quantiser the colours are not cut but handed, at
// full precision with their pixel counts, to QualityQuant's library; an
// animation of more than 256 frames gives the colours of 256 of them, spread
// evenly from the first to the last.
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "MedianCut.h"
#include "document/Host.h"
#include "document/QuantizeOptions.h"
#include "document/TFrame.h"

namespace movigram {

class TOptimizedPalette {
public:
    // colors: size of the palette asked for; reservedColor, when given, takes
    // entry 0 (and counts against colors).  includeLocal: frames with a local
    // palette contribute too.
    TOptimizedPalette(int colors, std::optional<PaletteEntry> reservedColor, TFrame* firstFrame, Progress* progress,
                      bool includeLocal);

    // A colour no pixel shows that the palette should hold too when every
    // colour fits (the document's background).
    void alsoHold(const PaletteEntry& color) { extra_ = color; }
    // The quantiser that makes the palette when the colours do not fit.
    void useQuantizer(Quantizer quantizer) { quantizer_ = quantizer; }

    static constexpr size_t sampledFrames = 256;

    // Counts, cuts and orders.  False when nothing could be computed (no
    // memory, or no pixels at all).
    bool build();
    // The result: the reserved colour first when given, then the colours
    // from dark to light.
    TMyPalette makePalette() const;

    uint32_t totalPixels() const { return totalPixels_; }
    // The colours after the reserved one: boxes of the cut, or the exact
    // colours when they fit.
    int boxCount() const {
        return exact_ ? int(exactColors_.size()) : cut_ ? cut_->boxCount() : int(qualityColors_.size());
    }
    // True when the palette holds the frames' colours exactly.
    bool exact() const { return exact_; }

private:
    // Collects the distinct colours of the image's used values; false once
    // there are more than fit.
    bool collectExact(const TDib256& image, const uint64_t (&counts)[256]);
    // The palette of the high quality quantiser from the weighed colours;
    // false when the library failed.
    bool buildQuality(const std::unordered_map<uint32_t, uint64_t>& weights);

    int boxLimit_;
    std::optional<PaletteEntry> reserved_;
    std::optional<PaletteEntry> extra_;
    TFrame* firstFrame_;
    Progress* progress_;
    bool includeLocal_;
    Quantizer quantizer_ = Quantizer::MedianCut;
    uint32_t totalPixels_ = 0;
    std::unique_ptr<ColorHistogram> histogram_;
    std::unique_ptr<MedianCut> cut_;
    std::array<PaletteEntry, 256> colors_{};
    bool exact_ = false;
    std::vector<uint32_t> exactColors_;  // 0xRRGGBB, sorted while collecting
    std::vector<PaletteEntry> qualityColors_;
};

}  // namespace movigram
