#pragma once
// One palette of up to 256 colours for a whole chain of frames, every pixel
// weighing the same: a median cut on the 6-bit histogram of the frames'
// colours (pixels are counted by colour, never by index).
#include <memory>
#include <optional>

#include "MedianCut.h"
#include "document/Host.h"
#include "document/TFrame.h"

namespace movigram {

class TOptimizedPalette {
public:
    // colors: size of the palette asked for; reservedColor, when given, takes
    // entry 0 (and counts against colors).  includeLocal: frames with a local
    // palette contribute too.
    TOptimizedPalette(int colors, std::optional<PaletteEntry> reservedColor, TFrame* firstFrame, Host* progress,
                      bool includeLocal);

    // Counts, cuts and orders.  False when nothing could be computed (no
    // memory, or no pixels at all).
    bool build();
    // The result: the reserved colour first when given, then the box colours
    // from dark to light.
    TMyPalette makePalette() const;

    uint32_t totalPixels() const { return totalPixels_; }
    int boxCount() const { return cut_ ? cut_->boxCount() : 0; }

private:
    int boxLimit_;
    std::optional<PaletteEntry> reserved_;
    TFrame* firstFrame_;
    Host* progress_;
    bool includeLocal_;
    uint32_t totalPixels_ = 0;
    std::unique_ptr<ColorHistogram> histogram_;
    std::unique_ptr<MedianCut> cut_;
    std::array<PaletteEntry, 256> colors_{};
};

}  // namespace movigram
