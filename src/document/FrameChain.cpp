#include "FrameChain.h"

namespace movigram {

void linkChain(FrameChain& chain) {
    for (size_t i = 0; i < chain.size(); ++i)
        chain[i]->next = i + 1 < chain.size() ? chain[i + 1].get() : nullptr;
}

int chainCount(TFrame* first) {
    int n = 0;
    forEachInChain(first, [&](TFrame&) { ++n; });
    return n;
}

TFrame* chainLast(TFrame* first) {
    TFrame* last = nullptr;
    forEachInChain(first, [&](TFrame& f) { last = &f; });
    return last;
}

TFrame* nextImageFrame(TFrame* first, TFrame* after) {
    for (TFrame* f = after ? after->next : nullptr; f && f != first && f != after; f = f->next)
        if (f->hasImage()) return f;
    return nullptr;
}

void renumber(TFrame* first, int32_t start) {
    forEachInChain(first, [&](TFrame& f) { f.index = start++; });
}

void setFrameTimeAll(TFrame* first, int32_t ms) {
    forEachInChain(first, [&](TFrame& f) {
        if (f.hasImage()) f.frameTime = ms;
    });
}

void setBackgroundAll(TFrame* first, int32_t index) {
    forEachInChain(first, [&](TFrame& f) {
        if (f.hasImage()) f.backgroundIndex = index;
    });
}

int32_t chainBackground(TFrame* first) {
    int32_t result = -1;
    bool found = false;
    forEachInChain(first, [&](TFrame& f) {
        if (!found && f.hasImage()) {
            result = f.backgroundIndex;
            found = true;
        }
    });
    return result;
}

int32_t documentTransparent(TFrame* first) {
    int32_t result = -1;
    forEachInChain(first, [&](TFrame& f) {
        if (result < 0 && f.transparentIndex >= 0 && !f.localPalette) result = f.transparentIndex;
    });
    return result;
}

bool sameTransparent(TFrame* first) {
    bool any = false, same = true;
    int32_t value = -1;
    forEachInChain(first, [&](TFrame& f) {
        if (!f.hasImage()) return;
        if (!any) {
            value = f.transparentIndex;
            any = true;
        } else if (f.transparentIndex != value) {
            same = false;
        }
    });
    return same;
}

TSize boundingSize(TFrame* first) {
    TRect bounds{0, 0, 1, 1};
    forEachInChain(first, [&](TFrame& f) {
        if (f.hasImage()) bounds = bounds.united(f.rect);
    });
    return {bounds.width(), bounds.height()};
}

uint64_t imagePixels(TFrame* first) {
    uint64_t pixels = 0;
    forEachInChain(first, [&](TFrame& f) {
        if (f.image) pixels += uint64_t(std::max(f.rect.width(), 0)) * uint64_t(std::max(f.rect.height(), 0));
    });
    return pixels;
}

void chainAppend(TFrame*& first, TFrame* frame) {
    if (!first) {
        first = frame;
        return;
    }
    chainLast(first)->next = frame;
}

void setTransparentAll(TFrame* first, int32_t index, bool includeLocal) {
    TFrame* previous = nullptr;
    forEachInChain(first, [&](TFrame& f) {
        if (f.localPalette && !includeLocal) {
            previous = nullptr;
            return;
        }
        if (!f.hasImage() || f.transparentIndex == index) return;
        if (index < 0 && previous && f.rect.contains(previous->rect)) {
            f.restoreToBackground = false;
        } else if (index >= 0 && f.transparentIndex < 0 && !f.overlay) {
            f.restoreToBackground = true;
        }
        f.transparentIndex = index;
        previous = &f;
    });
}

int32_t normalizeFrameTimes(TFrame* first) {
    static constexpr int32_t leading[] = {1000, 500, 250, 100, 50};
    auto clearCommentRepeats = [&] {
        forEachInChain(first, [](TFrame& f) {
            if (!f.hasImage()) f.repeat = 0;
        });
    };
    auto divides = [&](int32_t unit) {
        clearCommentRepeats();
        bool ok = true;
        forEachInChain(first, [&](TFrame& f) {
            if (int64_t(f.frameTime) * f.repeat % unit != 0) ok = false;
        });
        return ok;
    };
    int32_t unit = 10;
    bool found = false;
    for (int32_t candidate : leading)
        if (!found && divides(candidate)) unit = candidate, found = true;
    for (int32_t candidate = 49; !found && candidate > 10; --candidate)
        if (divides(candidate)) unit = candidate, found = true;
    clearCommentRepeats();
    forEachInChain(first, [&](TFrame& f) {
        if (!f.hasImage()) return;
        f.repeat = int32_t(int64_t(f.frameTime) * f.repeat / unit);
        f.frameTime = unit;
    });
    return unit;
}

}  // namespace movigram
