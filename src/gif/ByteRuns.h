#pragma once
// Runs of one byte value, measured eight bytes at a time (the encoders go
// through runs of one index in one step).
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace movigram {

// How many of p[0 .. limit) equal c and, when marks is given, have no mark
// (marks[i] is 0 or 1), where p[0 .. available) and marks[0 .. available)
// may be read.  A short run costs one compare.  (Count is the type of the
// counts: the narrowest that holds them makes the tightest code.)
template <typename Count>
Count byteRun(const uint8_t* p, Count available, uint8_t c, Count limit, const uint8_t* marks = nullptr) {
    const uint64_t pattern = uint64_t(c) * 0x0101010101010101ull;
    Count i = 0;
    while (i + 8 <= available) {
        uint64_t word;
        std::memcpy(&word, p + i, sizeof word);
        uint64_t stop = word ^ pattern;
        if (marks) {
            uint64_t marked;
            std::memcpy(&marked, marks + i, sizeof marked);
            stop |= marked;
        }
        if (stop) {
            if constexpr (std::endian::native == std::endian::little)
                i += Count(std::countr_zero(stop)) / 8;
            else
                i += Count(std::countl_zero(stop)) / 8;
            return std::min(i, limit);
        }
        i += 8;
        if (i >= limit) return limit;
    }
    while (i < available && i < limit && p[i] == c && (!marks || !marks[i])) ++i;
    return i;
}

}  // namespace movigram
