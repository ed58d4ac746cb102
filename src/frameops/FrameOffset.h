#pragma once
// The operations of the offset dialog: shift, moving sprite, crop, delete and
// resize of the selected frames.  Each records its undo entry under the
// label its caller gives, changes the frames, rebuilds the chain (which
// recomputes the logical screen) and marks the document modified.  All
// return false when the selection holds no frame and nothing was done;
// shift, moving sprite and crop also when an offset, a frame's new position
// or a corner of the rectangle would leave the GIF's 16-bit coordinates
// (beyond 65535, or below 0 for a rectangle, below -65535 for a position; a
// moved frame's right and bottom edges too, see movedFramesStayInGif); shift
// and moving sprite also when the screen would grow past what
// movedScreenFits allows.
#include <cstdint>
#include <string>

#include "FrameSelection.h"

namespace movigram {

enum class OffsetMode : int32_t { Shift = 0, MovingSprite = 1, Crop = 2, Delete = 3, Resize = 4 };

struct OffsetModeText {
    const char* title;
    const char* explanation;
};
const OffsetModeText& offsetModeText(OffsetMode mode);

// Moves the frame by (dx, dy); a frame that goes past the left or top edge of
// the logical screen loses the part beyond it.
void moveFrameBy(TFrame& frame, int32_t dx, int32_t dy);
// Cuts the frame to r; a frame outside r becomes empty, with rect (0, 0, 0, 0).
void cropFrameTo(TFrame& frame, const TRect& r);

bool shiftFrames(Document& doc, FrameSelection selection, int32_t dx, int32_t dy, const std::string& label);
// Whether every selected frame, moved by (dx, dy) (the k-th of them k times
// with sprite), stays where a GIF can place it: the offsets and its left and
// top within -65535 to 65535, and its right and bottom edges at most 65535.
// A frame reaching further could not be saved whole: the file's screen ends
// at 65535.
bool movedFramesStayInGif(const Document& doc, FrameSelection selection, int32_t dx, int32_t dy, bool sprite);
// Whether the screen (from 0, 0 to the far corner of every frame) stays
// within the pixels one image may have (DecodeLimits.h) once the selected
// frames move by (dx, dy), the k-th of them k times with sprite.  A larger
// screen could not be shown, nor read back once saved.
bool movedScreenFits(const Document& doc, FrameSelection selection, int32_t dx, int32_t dy, bool sprite);
// The k-th selected frame with an image moves by (k * dx, k * dy), counting
// from 0, and restores to the background.
bool movingSprite(Document& doc, FrameSelection selection, int32_t dx, int32_t dy, const std::string& label);
// Crops to r; with align the frames then move up-left by r's corner, which
// happens only when every frame with an image is selected.
bool cropFrames(Document& doc, FrameSelection selection, const TRect& r, bool align, const std::string& label);
bool deleteFrames(Document& doc, FrameSelection selection, const std::string& label);
// Shrinks the selection's bounding rectangle to width x height (never
// larger than it is), keeping its top-left corner: each selected frame's
// rect is scaled with it and its image resampled by keeping evenly spread
// pixels.  False when the size is below 1 x 1.
bool resizeFrames(Document& doc, FrameSelection selection, int32_t width, int32_t height,
                  const std::string& label);
// The image of width x height made of evenly spread pixels of the source.
std::unique_ptr<TDib256> resampleImage(const TDib256& source, int32_t width, int32_t height);

}  // namespace movigram
