#pragma once
// How much of a long animation stays decoded.  Images read from a GIF keep
// their LZW data and may be parked (TDib256.h); whatever was decoded since
// is let go again here, the least recently decoded first, so that memory
// follows what the user looks at rather than the animation's length.
#include <cstdint>

#include "FrameList.h"

namespace movigram {

// What the editor keeps decoded of the frames that could be parked.
constexpr uint64_t decodedFramesBudget = uint64_t(256) << 20;

// Parks the least recently decoded images of the list's frames until the
// images that could be parked hold at most budget bytes of pixels.  Only
// where nobody holds a pointer into a frame's rows: between commands, not
// during one.
void parkIdleFrames(const FrameList& list, uint64_t budget = decodedFramesBudget);

}  // namespace movigram
