#pragma once
// The timing edits a screen recording needs: playing a part faster or
// slower, capping long pauses, and merging frames that show nothing new.
#include <cstdint>
#include <string>

#include "FrameSelection.h"

namespace movigram {

// Browsers show a frame of less than this for much longer (100 ms), so a
// faster animation drops frames rather than go below it.
inline constexpr int32_t shortestDelay = 20;  // ms
inline constexpr double slowestSpeed = 0.25, fastestSpeed = 4.0;

// The selected frames play `factor` (0.25..4) times as fast: each delay is
// divided by it, the times rounded to the 10 ms a GIF keeps without the
// rounding adding up.  Where a delay would fall below shortestDelay, frames
// are dropped and their time goes to the frame kept after them, which shows
// what they drew as well; so a run of selected frames keeps its total time
// divided by factor.  Frames that cannot be dropped without changing what
// the screen shows (a local palette, transparency showing through, a frame
// restored to the background over more than its own area) keep their place
// with shortestDelay.  One undo step; false, with nothing recorded, when the
// factor is out of range or no image frame is selected.
bool changeSpeed(Document& doc, FrameSelection selection, double factor, const std::string& label);

// Every image frame shown longer than maxMs (>= 10) is shown maxMs.  One
// undo step; false when no frame was longer (nothing recorded) or maxMs is
// below 10.
bool capPauses(Document& doc, int32_t maxMs, const std::string& label);

// The selected image frames are each shown `ms` (1..655350): their time
// becomes ms and their repeat 1.  One undo step; false, with nothing
// recorded, when ms is out of range or no selected frame changes.
inline constexpr const char* delayEditLabel = "set delay";
bool setDelays(Document& doc, FrameSelection selection, int32_t ms, const std::string& label);

// Frames that leave the screen exactly as the frame before them left it are
// merged into it, their time added to its.  Frames with a local palette are
// never merged.  One undo step; the number of frames removed (0: nothing
// recorded).
int removeDuplicateFrames(Document& doc, const std::string& label);

}  // namespace movigram
