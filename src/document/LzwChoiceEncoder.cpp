#include "LzwChoiceEncoder.h"

#include <algorithm>
#include <cstring>

namespace movigram {

// The parse is greedy: the current string grows while (string, next pixel)
// is in the table.  A free pixel is tried as its value and as the
// alternative, in the order of preference, so the string takes whichever the
// table knows.  When neither is known the string ends, and the next one
// starts with the preferred choice.
//
// Clearing: a table that has just filled holds the strings of the part of
// the image seen so far; further on it may fit the picture less well.  The
// decoder's table stops growing when full, so the encoder may go on with it.
// It keeps score per window of codes: when a window costs more bits per
// pixel than the table cost per pixel while it was being filled (with the
// codes that were still short), a new table would likely do better, and the
// encoder clears.

namespace {

constexpr uint32_t maxCodes = 4096;
// Codes per window in which a full table is judged.
constexpr uint32_t judgedCodes = 256;

uint32_t slotOf(uint32_t key, uint32_t bits) { return (key * 0x9E3779B1u) >> (32 - bits); }

}  // namespace

LzwChoiceEncoder::LzwChoiceEncoder() : slots_(slotCount, emptySlot) {}

void LzwChoiceEncoder::clearTable() { std::fill(slots_.begin(), slots_.end(), emptySlot); }

void LzwChoiceEncoder::encode(const uint8_t* values, const uint8_t* free, uint8_t alternative, size_t count,
                              int minCodeSize, const LzwChoiceOptions& options, std::vector<uint8_t>& out) {
    const uint32_t clearCode = 1u << minCodeSize;
    const uint32_t endCode = clearCode + 1;
    // Every pixel costs at most one code of 12 bits, and a clear code comes
    // at most once per 256 codes.
    packed_.resize((count + count / 256 + 8) * 12 / 8 + 16);
    uint8_t* at = packed_.data();
    uint64_t acc = 0;
    uint32_t bits = 0;
    uint32_t codeSize = uint32_t(minCodeSize) + 1;
    uint64_t bitsWritten = 0;
    auto put = [&](uint32_t code) {
        acc |= uint64_t(code) << bits;
        bits += codeSize;
        bitsWritten += codeSize;
        while (bits >= 8) {
            *at++ = uint8_t(acc);
            acc >>= 8;
            bits -= 8;
        }
    };

    uint32_t* const slots = slots_.data();
    uint32_t nextFree = clearCode + 2;
    // Scores of the table: bits and pixels from its clear until it filled,
    // then of the current window.
    uint64_t fillBits = 0, fillPixels = 0, tableStartBits = 0, windowStartBits = 0;
    size_t tableStart = 0, windowStart = 0;
    uint32_t windowCodes = 0;
    bool full = false;
    auto reset = [&](size_t position) {
        clearTable();
        nextFree = clearCode + 2;
        codeSize = uint32_t(minCodeSize) + 1;
        full = false;
        tableStart = position;
        tableStartBits = bitsWritten;
    };
    put(clearCode);
    reset(0);

    const bool preferAlternative = options.prefer == LzwPreference::Alternative;
    auto startOf = [&](size_t p) -> uint32_t {
        return free && free[p] && preferAlternative ? alternative : values[p];
    };
    // The code of prefix + c, or emptySlot with h at the slot where it belongs.
    auto find = [&](uint32_t prefix, uint32_t c, uint32_t& h) -> uint32_t {
        const uint32_t key = prefix << 8 | c;
        h = slotOf(key, slotBits);
        for (;;) {
            const uint32_t slot = slots[h];
            if (slot == emptySlot) return emptySlot;
            if (slot >> 12 == key) return slot & 0xFFF;
            h = (h + 1) & (slotCount - 1);
        }
    };

    if (count > 0) {
        uint32_t prefix = startOf(0);
        for (size_t p = 1; p < count; ++p) {
            uint32_t h = 0, code;
            const bool choice = free && free[p];
            const uint32_t first = choice && preferAlternative ? alternative : values[p];
            if ((code = find(prefix, first, h)) != emptySlot) {
                prefix = code;
                continue;
            }
            uint32_t hFirst = h;
            if (choice) {
                const uint32_t second = preferAlternative ? values[p] : alternative;
                if ((code = find(prefix, second, h)) != emptySlot) {
                    prefix = code;
                    continue;
                }
            }
            // The string ends; the next starts with the preferred choice,
            // whose slot was found first.
            put(prefix);
            const uint32_t c = startOf(p);
            if (!full) {
                slots[hFirst] = (prefix << 8 | c) << 12 | nextFree;
                ++nextFree;
                if (nextFree == (1u << codeSize) + 1 && codeSize < 12) ++codeSize;
                if (nextFree == maxCodes) {
                    if (options.clear == LzwClearPolicy::WhenFull) {
                        put(clearCode);
                        reset(p);
                    } else {
                        full = true;
                        fillBits = bitsWritten - tableStartBits;
                        fillPixels = p - tableStart;
                        windowStart = p;
                        windowStartBits = bitsWritten;
                        windowCodes = 0;
                    }
                }
            } else if (++windowCodes == judgedCodes) {
                const uint64_t windowBits = bitsWritten - windowStartBits;
                const uint64_t windowPixels = p - windowStart;
                if (windowBits * fillPixels > fillBits * windowPixels) {
                    put(clearCode);
                    reset(p);
                } else {
                    windowStart = p;
                    windowStartBits = bitsWritten;
                    windowCodes = 0;
                }
            }
            prefix = c;
        }
        put(prefix);
    }
    put(endCode);
    if (bits > 0) *at++ = uint8_t(acc);

    const size_t n = size_t(at - packed_.data());
    out.reserve(out.size() + n + n / 255 + 3);
    out.push_back(uint8_t(minCodeSize));
    for (size_t i = 0; i < n; i += 255) {
        const size_t k = std::min<size_t>(255, n - i);
        out.push_back(uint8_t(k));
        out.insert(out.end(), packed_.data() + i, packed_.data() + i + k);
    }
    out.push_back(0);
}

}  // namespace movigram
