#pragma once
// Maximum compression: a chain written as a GIF that shows the same screens
// for the same times as the chain does, in the program and in a web
// browser, laid out for size rather than kept frame by frame.  Per image it
// measures which restore method of the image before it leaves the least to
// draw, which colour table, transparent index and code size encode smallest,
// whether its rows encode smaller interlaced or with strings cut short where
// the next then reaches further, and lets the LZW parse write unchanged
// pixels either transparent or in their own colour, whichever continues its
// strings.  Frames that change nothing lengthen the image before them.
// Every image has its graphic control extension, so that a frame read
// without one keeps the time the program gives it.  Whether the first or
// the last image reaches the screen's corner, and whether fill colours
// nothing draws get global entries, are decided by planning both ways.  The
// document's frames are not changed.
//
// The rarer ways of writing an image (ImageRefiner) are tried on a second
// thread, an image at a time and in order, while the next images are
// planned; the file is the same as on one thread.
#include <cstdint>

#include "GifPlan.h"
#include "document/Progress.h"
#include "document/TFrame.h"

namespace movigram {

struct MaxCompressionOptions {
    int32_t loopCount = 0;
    Progress* progress = nullptr;
    // Whether each image is refined on a second thread while the next is
    // planned; the file is the same either way.
    bool secondThread = true;
    // Whether an image may be restored to the screen before it (GIF
    // disposal 3).  Off, every image is kept or restored to the background:
    // some widely used decoders show restore to previous wrongly.
    bool restoreToPrevious = false;
    // 0-100: below 100 each image is encoded lossily (the pixels it must
    // draw may take close colours; the others stay exact).
    int lossyQuality = 100;
};

// Whether frames of this many image pixels in all (imagePixels) are enough
// for work on a second thread to pay for starting one.
bool worthASecondThread(uint64_t pixels);

// Lays out the chain starting at first; false when it is beyond what the
// planner handles (a screen too large to keep pictures of) or the progress
// asked it to stop, and nothing should be taken from plan.
bool planMaxCompression(TFrame* first, const TMyPalette& globalPalette, const MaxCompressionOptions& options,
                        GifPlan& plan);

}  // namespace movigram
