#pragma once
// The GIF LZW encoder: greedy longest-match parsing with codes growing from
// m + 1 to 12 bits, a clear code as soon as the 4096th code is assigned, and
// the output cut into sub-blocks of 255 bytes followed by a terminator.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ByteSink.h"

namespace movigram {

class LzwEncoder {
public:
    LzwEncoder();

    // Writes the byte m, the data sub-blocks and the block terminator for
    // height rows of width indices.  Row y starts at firstRow + y * rowStep
    // (rowStep may be negative for bottom-up images).  Every index must be
    // below 2^m.
    void encode(const uint8_t* firstRow, std::ptrdiff_t rowStep, uint32_t width, uint32_t height,
                int minCodeSize, ByteSink& out);

private:
    // The string table as an open-addressed hash on (prefix, index).  Which
    // string gets which code depends only on the parse, never on the table's
    // layout, so the output is the same as with any other table.
    static constexpr uint32_t slotBits = 13;
    static constexpr uint32_t slotCount = 1u << slotBits;
    static constexpr uint32_t emptySlot = 0xFFFFFFFF;
    std::vector<uint32_t> slots_;  // (prefix << 8 | index) << 12 | code
    std::vector<uint8_t> data_;    // packed codes of the current image
};

}  // namespace movigram
