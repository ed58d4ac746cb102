#include "PaletteSearch.h"

#include <algorithm>
#include <climits>

namespace movigram {

namespace {

constexpr int cellShift = 3;
constexpr int cellsPerAxis = 256 >> cellShift;

int distance(const PaletteEntry& e, int r, int g, int b) {
    const int dr = e.red - r, dg = e.green - g, db = e.blue - b;
    return dr * dr + dg * dg + db * db;
}

}  // namespace

PaletteSearch::PaletteSearch(const PaletteEntry* entries, int count, int skip)
    : entries_(entries, entries + std::clamp(count, 0, 256)),
      count_(int(entries_.size())),
      skip_(skip),
      start_(size_t(cellsPerAxis * cellsPerAxis * cellsPerAxis), 0),
      size_(start_.size(), 0) {}

void PaletteSearch::fillCell(uint32_t cell) {
    const int lo[3] = {int(cell >> 10) << cellShift, int(cell >> 5 & 31) << cellShift, int(cell & 31) << cellShift};
    const int span = (1 << cellShift) - 1;
    auto nearestAndFarthest = [&](const PaletteEntry& e, int& nearSum, int& farSum) {
        const int v[3] = {e.red, e.green, e.blue};
        nearSum = farSum = 0;
        for (int c = 0; c < 3; ++c) {
            const int low = lo[c], high = lo[c] + span;
            const int near = v[c] < low ? low - v[c] : v[c] > high ? v[c] - high : 0;
            const int far = std::max(std::abs(v[c] - low), std::abs(v[c] - high));
            nearSum += near * near;
            farSum += far * far;
        }
    };
    int bound = INT_MAX;
    for (int k = 0; k < count_; ++k) {
        if (k == skip_) continue;
        int nearSum, farSum;
        nearestAndFarthest(entries_[size_t(k)], nearSum, farSum);
        bound = std::min(bound, farSum);
    }
    const size_t first = pool_.size();
    for (int k = 0; k < count_; ++k) {
        if (k == skip_) continue;
        int nearSum, farSum;
        nearestAndFarthest(entries_[size_t(k)], nearSum, farSum);
        if (nearSum <= bound) pool_.push_back(uint8_t(k));
    }
    start_[cell] = uint32_t(first + 1);
    size_[cell] = uint16_t(pool_.size() - first);
}

int PaletteSearch::nearest(uint8_t r, uint8_t g, uint8_t b) {
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
    return best < 0 ? 0 : best;
}

}  // namespace movigram
