#pragma once
// A logical palette of 256 entries with the number of entries in use and an
// optional transparent index.
#include <array>
#include <cstdint>
#include <vector>

#include "TDib256.h"

namespace movigram {

struct PaletteEntry {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t flags = 0;
    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

class TMyPalette {
public:
    // Empty: 256 black entries, none in use.
    TMyPalette() = default;
    // From raw entries; colorCount = entries.size() (at most 256).
    explicit TMyPalette(const std::vector<PaletteEntry>& entries);
    // From a colour table of (blue, green, red, 0) quads, count entries in use.
    static TMyPalette fromColorTable(const ColorTable& table, int count);

    int colorCount = 0;
    int32_t transparentIndex = -1;

    const PaletteEntry& entry(int i) const { return entries_[size_t(i)]; }
    void setEntry(int i, const PaletteEntry& e) { entries_[size_t(i)] = e; }
    const std::array<PaletteEntry, 256>& entries() const { return entries_; }

    // The entries as (blue, green, red, 0) quads, for an image's colour table.
    ColorTable toColorTable() const;

    friend bool operator==(const TMyPalette&, const TMyPalette&) = default;

private:
    std::array<PaletteEntry, 256> entries_{};
};

}  // namespace movigram
