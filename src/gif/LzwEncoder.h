#pragma once
// The GIF LZW encoder: greedy longest-match parsing with codes growing from
// m + 1 to 12 bits, a clear code as soon as the 4096th code is assigned, and
// the output cut into sub-blocks of 255 bytes followed by a terminator.
#include <cstddef>
#include <cstdint>
#include <memory>
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
    // Writes codes with the sizes a decoder expects, adding a clear code
    // whenever the table fills up, and sends out whole sub-blocks.
    struct Packer;

    // Empties the string table down to the single indices below clearCode.
    void clearTable(uint32_t clearCode);

    // The string table as an open-addressed hash on (prefix, index), and for
    // runs of one index the codes of its repetitions; see LzwEncoder.cpp.
    // Which string gets which code depends only on the parse, never on how
    // the table is kept, so the output is the same as with any other table.
    // A slot index is a 15-bit tag plus a 12-bit hash of the index.
    static constexpr uint32_t tagBits = 15;
    static constexpr uint32_t spreadBits = 12;
    static constexpr uint32_t slotCount = (1u << tagBits) + (1u << spreadBits);
    static constexpr uint16_t emptySlot = 0xFFFF;
    static constexpr uint32_t ladderSize = 128;
    std::vector<uint16_t> slots_;  // tag of a code, or emptySlot
    std::vector<uint32_t> keys_;   // by code: the (prefix tag, index) key of the code
    // For each index c: the longest run c...c in the table, its length and
    // tag, and the tags of the runs at [c * ladderSize + length].
    uint16_t runLength_[256];
    uint16_t runTop_[256];
    std::unique_ptr<uint16_t[]> ladder_;
    // Codes found by the parse and not yet packed.
    static constexpr size_t codeBatch = 2048;
    std::vector<uint16_t> codes_;
    // Packed codes not yet cut into sub-blocks.
    static constexpr size_t pendingSize = 4 * 1024;
    std::vector<uint8_t> pending_;
};

}  // namespace movigram
