#pragma once
// Turning frames within their rectangles, and reversing the order of frames:
// the pure transforms that the flip and rotate command and undo both apply.
#include <memory>
#include <vector>

#include "FrameList.h"
#include "TFrame.h"

namespace movigram {

void flipImage(TDib256& image);    // upside down
void mirrorImage(TDib256& image);  // left to right
// Width and height exchanged: pixel (x, y) takes the old (y, x).
std::unique_ptr<TDib256> transposeImage(const TDib256& image);

// Turns a frame's picture clockwise by 90, 180 or 270 degrees.  A quarter
// turn exchanges the co-ordinates of rect and dirtyRect (left with top, right
// with bottom); the half turn keeps them.  Frames without image are left alone.
void rotateFrame(TFrame& frame, int degrees);
void flipFrame(TFrame& frame);
void mirrorFrame(TFrame& frame);

// The frames at the ascending positions change places end for end; the
// positions and the frames between them stay.  Item texts follow the frames.
void reverseFrames(FrameList& list, const std::vector<int32_t>& positions);

}  // namespace movigram
