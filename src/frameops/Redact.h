#pragma once
// Hiding part of the picture (a password, a token, a face) on a run of
// frames: the area is pixelated or blurred.  The redacted picture is made
// once, from the average of the screens the selected frames show there, and
// written into each of them alike, so the frames stay identical where they
// were and the optimiser keeps seeing nothing new there.
#include <string>

#include "FrameSelection.h"

namespace movigram {

inline constexpr int smallestCell = 2, largestCell = 256;
inline constexpr int smallestBlurRadius = 1, largestBlurRadius = 100;

// area is in screen coordinates and may reach past the screen or a frame:
// each selected image frame gets the part of it that the frame covers.  A
// pixel where none of the selected frames' screens shows anything (all
// transparent) is left alone; elsewhere the redacted colour goes in through
// the frame's palette, so a transparent pixel over a visible screen becomes
// an opaque redacted one unless the screen under it shows that colour
// already.
// Pixelate: cells of cell x cell pixels, aligned to the area's top-left
// corner, each the plain mean (in sRGB values) of its visible pixels.
bool pixelateArea(Document& doc, FrameSelection selection, const TRect& area, int cell, const std::string& label);
// Blur: a box blur of the given radius run three times (close to a Gaussian
// of deviation ~radius), over the area only: the edges are clamped, and
// invisible pixels carry no weight.
bool blurArea(Document& doc, FrameSelection selection, const TRect& area, int radius, const std::string& label);
// Both: one undo step (none when no pixel changed); false, with nothing
// recorded, when the size is out of range or the area misses every selected
// image frame.

}  // namespace movigram
