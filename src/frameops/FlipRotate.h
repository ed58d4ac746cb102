#pragma once
// Turning frames within their rectangles, and reversing the order of frames.
#include <vector>

#include "FrameSelection.h"
#include "document/FrameList.h"
#include "document/TFrame.h"

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

// The operations of the flip and rotate dialog, in the order of its list.
enum FlipRotateOperation : int { FlipOperation = 0, MirrorOperation, Rotate90, Rotate180, Rotate270 };
// "Flip (vertical mirror)", "Mirror (horizontal)", "Rotate 90", ...
const char* flipRotateOperationName(int operation);
// The clockwise angle of a rotation (90, 180 or 270): "Rotate 90" to
// "Rotate 270" turn clockwise, or counter-clockwise with rotateLeft.  0 for
// flip and mirror.
int rotationAngle(int operation, bool rotateLeft);

// Flips, mirrors or rotates every selected frame that has an image, after
// recording the index record that undoes it (also for an empty selection).
// A quarter turn exchanges the co-ordinates of the frames' rects.  False for
// an unknown operation.
bool flipRotateFrames(Document& doc, FrameSelection selection, int operation, bool rotateLeft);

}  // namespace movigram
