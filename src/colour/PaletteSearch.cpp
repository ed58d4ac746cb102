#include "PaletteSearch.h"

#include <algorithm>
#include <climits>

namespace movigram {

namespace {

constexpr int cellShift = 3;
constexpr int cellsPerAxis = 256 >> cellShift;
constexpr int32_t outside = 4096;

int distance(const PaletteEntry& e, int r, int g, int b) {
    const int dr = e.red - r, dg = e.green - g, db = e.blue - b;
    return dr * dr + dg * dg + db * db;
}

// For each entry, the squared distance to the nearest and to the farthest
// point of the cube lo..lo+span; returns the smallest farthest distance.
// Built twice, for processors with AVX2 and for the rest, and chosen when
// the program starts.
__attribute__((target_clones("avx2", "default"))) int32_t cellDistances(const int32_t* red, const int32_t* green,
                                                                        const int32_t* blue, const int32_t* lo,
                                                                        int32_t span, int32_t* nearSums) {
    int32_t bound = INT32_MAX;
    for (int k = 0; k < 256; ++k) {
        const int32_t v[3] = {red[k], green[k], blue[k]};
        int32_t nearSum = 0, farSum = 0;
        for (int c = 0; c < 3; ++c) {
            const int32_t below = lo[c] - v[c], above = v[c] - (lo[c] + span);
            const int32_t nearest = std::max(std::max(below, above), 0);
            const int32_t farthest = std::max(v[c] - lo[c], lo[c] + span - v[c]);
            nearSum += nearest * nearest;
            farSum += farthest * farthest;
        }
        nearSums[k] = nearSum;
        bound = std::min(bound, farSum);
    }
    return bound;
}

}  // namespace

PaletteSearch::PaletteSearch(const PaletteEntry* entries, int count, int skip)
    : entries_(entries, entries + std::clamp(count, 0, 256)),
      count_(int(entries_.size())),
      red_(256, outside),
      green_(256, outside),
      blue_(256, outside),
      start_(size_t(cellsPerAxis * cellsPerAxis * cellsPerAxis), 0),
      size_(start_.size(), 0) {
    // An empty palette answers 0 like nearestColor(); entry 0 is then black.
    if (entries_.empty()) entries_.push_back({});
    for (int k = 0; k < count_; ++k) {
        if (k == skip) continue;
        red_[size_t(k)] = entries_[size_t(k)].red;
        green_[size_t(k)] = entries_[size_t(k)].green;
        blue_[size_t(k)] = entries_[size_t(k)].blue;
    }
}

void PaletteSearch::fillCell(uint32_t cell) {
    const int32_t lo[3] = {int32_t(cell >> 10) << cellShift, int32_t(cell >> 5 & 31) << cellShift,
                           int32_t(cell & 31) << cellShift};
    alignas(32) int32_t nearSums[256];
    const int32_t bound = cellDistances(red_.data(), green_.data(), blue_.data(), lo, (1 << cellShift) - 1, nearSums);
    const size_t first = pool_.size();
    for (int k = 0; k < count_; ++k)
        if (nearSums[k] <= bound && red_[size_t(k)] != outside) pool_.push_back(uint8_t(k));
    start_[cell] = uint32_t(first + 1);
    size_[cell] = uint16_t(pool_.size() - first);
}

int PaletteSearch::nearest(uint8_t r, uint8_t g, uint8_t b) {
    const uint32_t color = 1u << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
    const size_t slot = (color * 2654435761u) >> (32 - memoBits);
    if (memoColor_.empty()) {
        memoColor_.assign(size_t(1) << memoBits, 0);
        memoIndex_.assign(size_t(1) << memoBits, 0);
    }
    if (memoColor_[slot] == color) return memoIndex_[slot];
    const uint32_t cell = uint32_t(r >> cellShift) << 10 | uint32_t(g >> cellShift) << 5 | uint32_t(b >> cellShift);
    if (start_[cell] == 0) fillCell(cell);
    const uint8_t* candidates = pool_.data() + start_[cell] - 1;
    int best = -1, bestDistance = INT_MAX;
    // Candidates are in index order: the first of equal distances wins.
    for (uint16_t i = 0; i < size_[cell]; ++i) {
        const int k = candidates[i];
        const int d = distance(entries_[size_t(k)], r, g, b);
        if (d < bestDistance) bestDistance = d, best = k;
    }
    if (best < 0) best = 0;
    memoColor_[slot] = color;
    memoIndex_[slot] = uint8_t(best);
    return best;
}

}  // namespace movigram
