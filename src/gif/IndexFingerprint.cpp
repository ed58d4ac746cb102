#include "IndexFingerprint.h"

#include <bit>
#include <cstring>

namespace movigram {

namespace {

// Each eight bytes of a row are folded into a lane by a 64 x 64 -> 128
// bit multiply whose halves are xor-ed, so an index changed anywhere spreads
// over the whole state (a plain multiply would carry a change only upwards,
// and two edits could cancel in the top bit).  One multiply per eight
// indices keeps it several times faster than decoding or encoding the image.
constexpr uint64_t seed = 0x9E3779B97F4A7C15ull;
constexpr uint64_t mixer = 0xD6E8FEB86659FD93ull;

inline uint64_t fold(uint64_t a, uint64_t b) {
    const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    return uint64_t(product) ^ uint64_t(product >> 64);
}

inline uint64_t loadLe64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

}  // namespace

uint64_t indexFingerprint(const uint8_t* firstRow, std::ptrdiff_t rowStep, uint32_t width, uint32_t height) {
    // Four lanes take turns at the words of a row, so that four multiplies
    // are under way at once instead of each waiting for the one before.
    uint64_t h = fold(seed ^ width, mixer ^ (uint64_t(height) << 32));
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = firstRow + std::ptrdiff_t(y) * rowStep;
        uint64_t lane[4] = {h, h ^ 1, h ^ 2, h ^ 3};
        uint32_t x = 0;
        for (; x + 32 <= width; x += 32)
            for (int k = 0; k < 4; ++k) lane[k] = fold(lane[k] ^ loadLe64(row + x + 8 * k), mixer);
        for (int k = 0; x + 8 <= width; x += 8, ++k) lane[k] = fold(lane[k] ^ loadLe64(row + x), mixer);
        if (x < width) {
            uint8_t tail[8] = {};
            std::memcpy(tail, row + x, width - x);
            lane[3] = fold(lane[3] ^ loadLe64(tail), mixer);
        }
        // Rows are told apart, so a row's end never lines up with the next
        // row's start the same way for a different picture.
        h = fold(lane[0] ^ seed, mixer);
        for (int k = 1; k < 4; ++k) h = fold(h ^ lane[k], mixer);
        h = fold(h ^ seed, mixer ^ y);
    }
    return h;
}

}  // namespace movigram
