#pragma once
// Operations that add frames or change their order: duplicate, reverse
// order and the solid-colour frame.
#include <cstdint>

#include "FrameSelection.h"

namespace movigram {

// Inserts count - 1 copies of the selected frames (in ascending order, one
// run after the other) before the current frame.  False, with nothing
// recorded, when the selection is empty, count is below 2, or the copies
// would pass the decoding limits (GrowthLimits.h).
bool duplicateFrames(Document& doc, FrameSelection selection, int32_t count);

// The frames at the selected positions change places end for end; the
// positions keep their places in the list.  Fewer than two selected frames
// change nothing and record nothing.
bool reverseOrder(Document& doc, FrameSelection selection);

// A full-screen frame of one palette index ("Solid color", 1000 ms, on the
// global palette) inserted before the current frame, which it then becomes.
// False without frames or with an index outside 0..255.
bool insertSolidColor(Document& doc, int32_t colorIndex);

}  // namespace movigram
