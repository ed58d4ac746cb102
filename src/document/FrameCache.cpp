#include "FrameCache.h"

#include <algorithm>
#include <vector>

#include "FrameChain.h"

namespace movigram {

void parkIdleFrames(const FrameList& list, uint64_t budget) {
    // Mostly nothing is to be done: one pass that allocates nothing tells.
    uint64_t bytes = 0;
    for (int i = 0; i < list.count(); ++i) {
        const TDib256* image = list.frameAt(i)->image.get();
        if (image && !image->isParked()) bytes += image->byteSize();
    }
    if (bytes <= budget) return;
    struct Resident {
        uint64_t lastUse;
        TDib256* image;
    };
    std::vector<Resident> resident;
    for (int i = 0; i < list.count(); ++i) {
        TDib256* image = list.frameAt(i)->image.get();
        if (image && !image->isParked()) resident.push_back({image->lastUse(), image});
    }
    std::sort(resident.begin(), resident.end(),
              [](const Resident& a, const Resident& b) { return a.lastUse < b.lastUse; });
    for (const Resident& r : resident) {
        if (bytes <= budget) break;
        r.image->park();
        bytes -= r.image->byteSize();
    }
}

bool parkingPays(TFrame* firstFrame, uint64_t budget) {
    uint64_t bytes = 0;
    forEachInChain(firstFrame, [&](TFrame& frame) {
        if (frame.image) bytes += frame.image->byteSize();
    });
    return bytes > budget;
}

void parkDone(TFrame& frame) {
    if (frame.image) frame.image->park();
}

}  // namespace movigram
