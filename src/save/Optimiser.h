#pragma once
// Rebuilding the animation chain from the frame list, and the optimisations
// of a save: dirty rectangles, the transparent mask, split dirty rectangles
// and the merging of frames that change nothing.
#include "document/Document.h"

namespace movigram {

// mode 0: relink the frames; every image frame's dirtyRect = rect.
// mode 1: as 0, and with cropToDirty the dirty rectangles are computed.
// mode 2: as 1, and with cropToDirty the transparent mask and the split run;
//         then frames that change nothing are merged into their predecessor.
// When the document's host asks to stop, the passes give up between frames
// and leave a chain that is whole but not optimised.
void rethread(Document& doc, int mode);

class WorkScreen;

// The steps of one frame: `work` is the screen while the frame is being
// drawn, previous the image frame before it (or null).
void computeDirtyRect(TFrame& frame, const WorkScreen& work, TFrame* previous);
void applyTransparentMask(TFrame& frame, const WorkScreen& work);

// The two frames that replace a split frame: the first is shown for no time
// together with the second, which keeps the frame's time.
struct SplitPieces {
    TFrame* original = nullptr;
    std::unique_ptr<TFrame> first, second;
};
// Splits the frame's dirty rectangle in two around its longest band of
// unchanged rows (or columns); false when no band is worth it.
bool splitFrame(TFrame& frame, const WorkScreen& work, SplitPieces& pieces);

}  // namespace movigram
