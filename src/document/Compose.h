#pragma once
// Drawing frames onto a screen picture the way the program shows them: a
// restored area is filled with the frame's transparent index or the chain's
// background index.
#include <functional>
#include <string>

#include "FrameList.h"
#include "TFrame.h"

namespace movigram {

// The colour a frame's area is restored with.
int fillColorOf(const TFrame& frame);

// Draws frame onto the work frame.  With eraseMode a frame restored to the
// background is erased instead of drawn (the screen while the next frame is
// being drawn).
void composeFrame(TFrame& work, TFrame& frame, TFrame* previous, bool eraseMode);

// A new full-screen frame showing the animation as it looks after frame
// `index` of the list.
std::unique_ptr<TFrame> compositeAt(const FrameList& list, int index, const std::string& name,
                                    TSize screen, const TMyPalette& globalPalette);

// Walks the image frames of the list in order, composing the screen the
// program shows after each; visit(index, screen) sees that screen (screen
// size, on the global palette; fill: the index an empty screen holds).
// Frames with a local palette are not visited, and the screen's restore
// step starts afresh after them.
void forEachScreen(const FrameList& list, TSize screen, const TMyPalette& globalPalette, int fill, int background,
                   const std::function<void(int, const TDib256&)>& visit);

// Makes a transparent frame opaque by drawing it over the background frame's
// pixels; the background frame is expected to sit at the screen origin.
void mergeUnder(TFrame& frame, const TFrame& background);
// Draws frame over the background frame's image.
void mergeOver(TFrame& background, const TFrame& frame);

}  // namespace movigram
