#include "MedianCut.h"

#include <algorithm>
#include <numeric>

namespace movigram {

MedianCut::MedianCut(const ColorHistogram& histogram, uint32_t totalPixels, int boxLimit)
    : histogram_(histogram), boxLimit_(std::clamp(boxLimit, 1, 256)) {
    boxes_[0] = {{0, 0, 0}, {63, 63, 63}, totalPixels};
    boxCount_ = 1;
    shrink(boxes_[0]);
}

// Sum of the cells of the box whose coordinate on axis equals value.
uint64_t MedianCut::sliceSum(const ColorBox& box, int axis, int value) const {
    std::array<int, 3> lo{box.min[0], box.min[1], box.min[2]}, hi{box.max[0], box.max[1], box.max[2]};
    lo[size_t(axis)] = hi[size_t(axis)] = value;
    uint64_t sum = 0;
    for (int r = lo[0]; r <= hi[0]; ++r)
        for (int g = lo[1]; g <= hi[1]; ++g) {
            const uint32_t* row = histogram_.data() + ColorHistogram::index(r, g, 0);
            for (int b = lo[2]; b <= hi[2]; ++b) sum += row[b];
        }
    return sum;
}

void MedianCut::shrink(ColorBox& box) const {
    for (int axis = 0; axis < 3; ++axis) {
        const size_t a = size_t(axis);
        while (box.min[a] <= box.max[a] && sliceSum(box, axis, box.min[a]) == 0) ++box.min[a];
        while (box.max[a] >= box.min[a] && box.max[a] > 0 && sliceSum(box, axis, box.max[a]) == 0) --box.max[a];
        // An empty box stays empty: minimum above maximum.
        if (box.min[a] > box.max[a]) return;
    }
}

bool MedianCut::split(int which) {
    ColorBox& box = boxes_[size_t(which)];
    int axis = 0;
    int extent = box.max[0] - box.min[0];
    for (int a = 1; a < 3; ++a)
        if (box.max[size_t(a)] - box.min[size_t(a)] > extent) axis = a, extent = box.max[size_t(a)] - box.min[size_t(a)];
    const size_t ax = size_t(axis);

    const uint64_t half = box.pixelCount / 2;
    uint64_t lower = 0;
    int slice = box.min[ax];
    for (; slice <= box.max[ax]; ++slice) {
        const uint64_t s = sliceSum(box, axis, slice);
        lower += s;
        if (lower > half) {
            if (slice == box.max[ax]) {
                lower -= s;
                --slice;
            }
            break;
        }
    }
    if (slice > box.max[ax]) slice = box.max[ax] - 1;  // counts inconsistent: split below the top

    ColorBox upper = box;
    upper.min[ax] = uint16_t(slice + 1);
    upper.pixelCount = uint32_t(box.pixelCount - lower);
    box.max[ax] = uint16_t(slice);
    box.pixelCount = uint32_t(lower);
    shrink(box);
    shrink(upper);
    boxes_[size_t(boxCount_++)] = upper;
    return true;
}

void MedianCut::cut(Progress* progress) {
    while (boxCount_ < boxLimit_) {
        if (progress) progress->setProgress(boxCount_ * 100 / boxLimit_);
        int best = -1;
        uint32_t most = 0;
        for (int i = 0; i < boxCount_; ++i) {
            const ColorBox& b = boxes_[size_t(i)];
            const bool singleCell = b.min[0] >= b.max[0] && b.min[1] >= b.max[1] && b.min[2] >= b.max[2];
            if (!singleCell && b.pixelCount > most) most = b.pixelCount, best = i;
        }
        if (best < 0) break;
        split(best);
    }
}

void MedianCut::finish() {
    for (int i = 0; i < boxCount_; ++i) {
        const ColorBox& box = boxes_[size_t(i)];
        uint64_t sums[3] = {0, 0, 0};
        for (int r = box.min[0]; r <= box.max[0]; ++r)
            for (int g = box.min[1]; g <= box.max[1]; ++g)
                for (int b = box.min[2]; b <= box.max[2]; ++b) {
                    const uint64_t n = histogram_.at(r, g, b);
                    sums[0] += uint64_t(r) * n;
                    sums[1] += uint64_t(g) * n;
                    sums[2] += uint64_t(b) * n;
                }
        for (int c = 0; c < 3; ++c)
            boxColors_[size_t(i)][size_t(c)] =
                box.pixelCount ? uint8_t(std::min<uint64_t>(sums[c] / box.pixelCount, 255)) : 0;
    }

    std::array<int, 256> order;
    std::iota(order.begin(), order.end(), 0);
    auto key = [&](int i) {
        const Rgb6& c = boxColors_[size_t(i)];
        return c[0] * 30 + c[1] * 59 + c[2] * 11;
    };
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (int i = 0; i + 1 < boxCount_; ++i)
            if (key(order[size_t(i + 1)]) < key(order[size_t(i)])) {
                std::swap(order[size_t(i)], order[size_t(i + 1)]);
                swapped = true;
            }
    }
    for (int i = 0; i < boxCount_; ++i) {
        paletteColors_[size_t(i)] = boxColors_[size_t(order[size_t(i)])];
        sorted_[size_t(i)] = boxes_[size_t(order[size_t(i)])];
    }
}

}  // namespace movigram
