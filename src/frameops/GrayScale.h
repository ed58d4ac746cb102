#pragma once
// The gray-scale command: colour tables turned to gray, each converted frame
// on a local palette of its own gray levels.
#include <string>

#include "FrameSelection.h"

namespace movigram {

// trunc(0.30 R + 0.59 G + 0.11 B) of the first "important" entries (all 256
// when that count is 0).  A table of fewer than 16 entries keeps the colours
// whose bit is set in the image's fixedColorMask.  Pixels are not touched.
void grayColorTable(TDib256& image);
// Gray table, then a new local palette of exactly the colours the image
// uses; the frame's transparent index follows its pixels.
void grayFrame(TFrame& frame);

// The command records the whole animation under label before its dialog
// opens, and withdraws the record when the dialog is cancelled.
void recordGrayScale(Document& doc, const std::string& label);
void cancelGrayScale(Document& doc);
// OK of the dialog: converts the selected frames that have an image, then
// rebuilds one global palette when local palettes are merged.
void applyGrayScale(Document& doc, FrameSelection selection);
// Both steps, for callers without a dialog.  False for an empty selection,
// which then records nothing.
bool grayScale(Document& doc, FrameSelection selection, const std::string& label);

}  // namespace movigram
