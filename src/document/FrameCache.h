#pragma once
// How much of a long animation stays decoded.  Images may be parked
// (TDib256.h): those read from a GIF keep their LZW data for it, others are
// encoded when parked.  Whatever was decoded since is let go again here,
// the least recently decoded first, so that memory follows what the user
// looks at rather than the animation's length.
#include <cstdint>

#include "FrameList.h"
#include "TFrame.h"

namespace movigram {

// What the editor keeps decoded of a document's frames.
constexpr uint64_t decodedFramesBudget = uint64_t(256) << 20;

// Parks the least recently decoded images of the list's frames until the
// images decoded hold at most budget bytes of pixels.  Only where nobody
// holds a pointer into a frame's rows: between commands, not during one.
void parkIdleFrames(const FrameList& list, uint64_t budget = decodedFramesBudget);

// Whether the images of the chain, all decoded, would hold more than
// budget bytes: a pass over them then parks each image once it is done with
// it (parkDone), so that a long animation is never decoded whole.
bool parkingPays(TFrame* firstFrame, uint64_t budget = decodedFramesBudget);
// Runs look() on the frame and parks its image again if it was parked:
// a quick look at a frame (a thumbnail's samples) leaves a long animation
// as it found it.  On the thread that owns the frame.
template <typename Look>
auto peekFrame(TFrame& frame, Look&& look) {
    const bool parked = frame.image && frame.image->isParked();
    struct Repark {
        TFrame& frame;
        bool parked;
        ~Repark() {
            if (parked) frame.image->park();
        }
    } repark{frame, parked};
    return look(frame);
}

// Parks the frame's image, when it has one.  The same rule as above: only
// where nobody else reads it or holds a pointer into it.
void parkDone(TFrame& frame);

}  // namespace movigram
