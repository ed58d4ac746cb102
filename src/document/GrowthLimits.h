#pragma once
// Operations that add frames (duplicate, the transition effects) are held to
// the limits a file read is held to (DecodeLimits.h), so that a count typed
// by the user cannot take all the memory there is: the sizes are checked
// before anything is made.
#include <cstdint>

#include "DecodeLimits.h"
#include "FrameList.h"

namespace movigram {

// Whether the list may take `runs` more runs of framesPerRun frames holding
// bytesPerRun decoded bytes each.  Computed without overflow for any count.
inline bool growthFits(const FrameList& list, uint64_t runs, uint64_t framesPerRun, uint64_t bytesPerRun,
                       const DecodeLimits& limits = DecodeLimits::defaults()) {
    if (framesPerRun && runs > limits.maxFrames / framesPerRun) return false;
    if (uint64_t(list.count()) + runs * framesPerRun > limits.maxFrames) return false;
    if (bytesPerRun && runs > limits.maxTotalBytes / bytesPerRun) return false;
    uint64_t bytes = runs * bytesPerRun;
    for (int i = 0; i < list.count(); ++i)
        if (const TDib256* image = list.frameAt(i)->image.get()) bytes += image->byteSize();
    return bytes <= limits.maxTotalBytes;
}

}  // namespace movigram
