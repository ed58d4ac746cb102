#pragma once
// Operations on an animation chain: frames linked through `next`, which is
// circular when the animation loops.  Every walk stops at null or when it
// comes back to its start.
#include <cstdint>
#include <memory>
#include <vector>

#include "TFrame.h"

namespace movigram {

// Frames owned in order, linked through `next` (never circular).
using FrameChain = std::vector<std::unique_ptr<TFrame>>;

// Sets the `next` links of an owned chain in order, the last one null.
void linkChain(FrameChain& chain);

template <typename Fn>
void forEachInChain(TFrame* first, Fn&& fn) {
    for (TFrame* f = first; f;) {
        TFrame* following = f->next;
        fn(*f);
        if (following == first) break;
        f = following;
    }
}

int chainCount(TFrame* first);
TFrame* chainLast(TFrame* first);
// The first frame after `after` that has an image, or null.
TFrame* nextImageFrame(TFrame* first, TFrame* after);
void renumber(TFrame* first, int32_t start);
void setFrameTimeAll(TFrame* first, int32_t ms);
void setBackgroundAll(TFrame* first, int32_t index);
int32_t chainBackground(TFrame* first);
int32_t documentTransparent(TFrame* first);
bool sameTransparent(TFrame* first);
TSize boundingSize(TFrame* first);
// The pixels of all the images, as stored.
uint64_t imagePixels(TFrame* first);
// Links frame behind the last frame of a non-circular chain, or makes it the first.
void chainAppend(TFrame*& first, TFrame* frame);

void setTransparentAll(TFrame* first, int32_t index, bool includeLocal);

// Finds the largest common time unit of all frames (1000, 500, 250, 100, 50,
// then 49 down to 10), rewrites frameTime and repeat with it and returns it.
int32_t normalizeFrameTimes(TFrame* first);

}  // namespace movigram
