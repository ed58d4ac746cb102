#include "TMyPalette.h"

#include <algorithm>

namespace movigram {

TMyPalette::TMyPalette(const std::vector<PaletteEntry>& entries) {
    colorCount = int(std::min<size_t>(entries.size(), 256));
    std::copy_n(entries.begin(), colorCount, entries_.begin());
}

TMyPalette TMyPalette::fromColorTable(const ColorTable& table, int count) {
    TMyPalette palette;
    palette.colorCount = std::clamp(count, 0, 256);
    for (int i = 0; i < palette.colorCount; ++i) {
        const RgbQuad& q = table[size_t(i)];
        palette.entries_[size_t(i)] = {q.red, q.green, q.blue, 0};
    }
    return palette;
}

ColorTable TMyPalette::toColorTable() const {
    ColorTable table{};
    for (int i = 0; i < colorCount; ++i) {
        const PaletteEntry& e = entries_[size_t(i)];
        table[size_t(i)] = {e.blue, e.green, e.red, 0};
    }
    return table;
}

}  // namespace movigram
