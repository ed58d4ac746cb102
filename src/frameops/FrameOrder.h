#pragma once
// Operations that add frames or change their order: duplicate, reverse
// order, moving a block of frames and the solid-colour frame.  Each records
// its undo step under the label its caller gives, but for moving frames.
#include <cstdint>
#include <string>

#include "FrameSelection.h"

namespace movigram {

// Inserts count - 1 copies of the selected frames (in ascending order, one
// run after the other) before the current frame.  False, with nothing
// recorded, when the selection is empty, count is below 2, or the copies
// would pass the decoding limits (GrowthLimits.h).
bool duplicateFrames(Document& doc, FrameSelection selection, int32_t count, const std::string& label);

// The frames at the selected positions change places end for end; the
// positions keep their places in the list.  Fewer than two selected frames
// change nothing and record nothing.
bool reverseOrder(Document& doc, FrameSelection selection, const std::string& label);

// Moves count frames from first to before the frame at destination
// (destination = the number of frames moves them to the end), as dragging
// lines of the frame list does; the first moved frame becomes current.
// Recorded as "move frames".  False, with nothing recorded, when the range
// is invalid or the move would change nothing.
bool moveFrames(Document& doc, int32_t first, int32_t count, int32_t destination);

// A full-screen frame of one palette index ("Solid color", 1000 ms, on the
// global palette) inserted before the current frame, which it then becomes.
// False without frames or with an index outside 0..255.
bool insertSolidColor(Document& doc, int32_t colorIndex, const std::string& label);

}  // namespace movigram
