#pragma once
// A true-colour picture (one still image, a pasted image) to 8 bits with the
// quantiser and dithering chosen.  Median cut without dithering is
// MedianCutQuant exactly as it always was; median cut with dithering puts
// the pixels on the median cut's palette with PaletteDitherer; the high
// quality quantiser is QualityQuant.
#include <memory>

#include "RgbColor.h"
#include "document/QuantizeOptions.h"
#include "document/TDib256.h"

namespace movigram {

// Null when the reduction fails (no memory, or a depth other than 16 and 24
// bits).  Output rows keep the source's memory order.
std::unique_ptr<TDib256> quantizeDeep(const DeepRows& rows, int colors, const QuantizeOptions& options);

}  // namespace movigram
