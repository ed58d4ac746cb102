#pragma once
// The program knows two restore methods, "do not restore" and "restore to
// background".  A file that uses "restore to previous" (GIF disposal 3) is
// rewritten on reading so that it shows the same screens in a browser with
// the two methods alone: a frame that follows such a frame is extended to
// repaint what the restore would have brought back.
#include <cstdint>
#include <vector>

#include "FrameChain.h"

namespace movigram {

// disposals holds the GIF disposal method of every frame of the chain
// (comment frames 0).  Does nothing when no frame but the last uses 3.
void resolveRestoreToPrevious(FrameChain& frames, const std::vector<uint8_t>& disposals,
                              const TMyPalette* global);

}  // namespace movigram
