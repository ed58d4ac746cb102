#pragma once
// The nearest palette entry to any 8-bit colour, fast enough to ask once per
// pixel: the colour cube is cut into 32 x 32 x 32 cells, and the first time
// a cell is met it keeps the few entries that can be nearest to any colour
// inside it (those whose distance to the cell is not above the smallest
// farthest distance of any entry).  Answers are those of nearestColor():
// squared RGB distance, the lowest index winning ties.
#include <cstdint>
#include <vector>

#include "document/TMyPalette.h"

namespace movigram {

class PaletteSearch {
public:
    // The first count entries; skip (when >= 0) is never chosen.
    PaletteSearch(const PaletteEntry* entries, int count, int skip = -1);

    int nearest(uint8_t r, uint8_t g, uint8_t b);
    int count() const { return count_; }
    const PaletteEntry& entry(int i) const { return entries_[size_t(i)]; }

private:
    void fillCell(uint32_t cell);

    std::vector<PaletteEntry> entries_;
    int count_;
    // The entries' channels for the cell computation, 256 of each; the
    // skipped entry and those past count lie far outside the cube.
    std::vector<int32_t> red_, green_, blue_;
    // Per cell: where its candidates start in pool_, plus one (0 = not yet
    // computed), and how many there are.
    std::vector<uint32_t> start_;
    std::vector<uint16_t> size_;
    std::vector<uint8_t> pool_;
    // The answers for colours met lately (pictures repeat their colours
    // far more often than a cell holds one candidate): the colour with a
    // marker bit, and its entry.
    static constexpr int memoBits = 12;
    std::vector<uint32_t> memoColor_;
    std::vector<uint8_t> memoIndex_;
};

}  // namespace movigram
