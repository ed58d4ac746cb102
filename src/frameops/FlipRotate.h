#pragma once
// The flip and rotate command: which operation, which angle, and applying
// it to the selected frames with its undo record.
#include <string>
#include <vector>

#include "FrameSelection.h"
#include "document/Document.h"
#include "document/FrameTransforms.h"

namespace movigram {

// The operations of the flip and rotate dialog, in the order of its list.
enum class FlipRotateOperation { Flip = 0, Mirror, Rotate90, Rotate180, Rotate270 };
// "Flip (vertical mirror)", "Mirror (horizontal)", "Rotate 90", ...
const char* flipRotateOperationName(FlipRotateOperation operation);
// The clockwise angle of a rotation (90, 180 or 270): "Rotate 90" to
// "Rotate 270" turn clockwise, or counter-clockwise with rotateLeft.  0 for
// flip and mirror.
int rotationAngle(FlipRotateOperation operation, bool rotateLeft);

// Flips, mirrors or rotates every selected frame that has an image, after
// recording under label the index record that undoes it (also for an empty
// selection).
// A quarter turn exchanges the co-ordinates of the frames' rects.  False for
// an unknown operation.
bool flipRotateFrames(Document& doc, FrameSelection selection, FlipRotateOperation operation, bool rotateLeft,
                      const std::string& label);

}  // namespace movigram
