#pragma once
// Screens as maximum compression compares them: one 32-bit value a pixel
// that tells both ways of showing a GIF apart.  Opaque colours are dense ids
// of their RGB values.  A restored area is transparent in a browser but shows
// the frame's fill colour in the program, so it gets its own value per fill
// colour; a pixel nothing was ever drawn on is transparent in both.  Two
// pixels look the same in both views exactly when their values are equal.
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "document/TFrame.h"

namespace movigram::screen {

constexpr uint32_t never = 0xFFFFFFFF;
constexpr uint32_t restoredBit = 0x80000000;
inline bool isOpaque(uint32_t v) { return v < restoredBit; }
inline uint32_t restoredTo(uint32_t colourId) { return restoredBit | colourId; }

inline uint32_t rgbOf(const PaletteEntry& e) { return uint32_t(e.red) << 16 | uint32_t(e.green) << 8 | e.blue; }

// Dense ids of the RGB colours met so far.
class ColourIds {
public:
    uint32_t idOf(uint32_t rgb) {
        const auto [it, added] = ids_.try_emplace(rgb, uint32_t(rgbs_.size()));
        if (added) rgbs_.push_back(rgb);
        return it->second;
    }
    uint32_t rgbOf(uint32_t id) const { return rgbs_[id]; }
    // The id of a colour met, else UINT32_MAX.
    uint32_t find(uint32_t rgb) const {
        const auto it = ids_.find(rgb);
        return it == ids_.end() ? UINT32_MAX : it->second;
    }
    size_t count() const { return rgbs_.size(); }

private:
    std::unordered_map<uint32_t, uint32_t> ids_;
    std::vector<uint32_t> rgbs_;
};

// How a frame's pixel values look: the colour id of each value as the
// program and browsers show it (entries past the palette's count are
// black), and the colour its area is filled with when restored.
struct FrameColours {
    std::array<uint32_t, 256> idOfValue{};
    uint32_t fillId = 0;
};

FrameColours frameColours(const TFrame& frame, const TMyPalette* global, ColourIds& ids);

}  // namespace movigram::screen
