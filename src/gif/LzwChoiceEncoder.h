#pragma once
// The LZW encoder of maximum compression.  Two things set it apart from the
// plain encoder (LzwEncoder.h):
//
// - A pixel may be marked free: it may be written either as its value or as
//   one alternative index (the frame's transparent index, when the pixel
//   already shows the right colour).  The parse takes whichever continues the
//   current string.
// - When the string table is full the encoder can keep using it instead of
//   clearing it at once, and clear only when its codes stop paying off.
//   Decoders stop adding strings to a full table and wait for the clear code.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace movigram {

enum class LzwPreference : uint8_t {
    Value,        // of two equally long strings, the one writing free pixels as their values
    Alternative,  // ... as the alternative
};

struct LzwChoiceOptions {
    // 0: clear the table as soon as it is full, as the plain encoder does,
    // or spareCodes codes before (1: the code that would fill it is left
    // out; a little sooner sometimes suits the picture better).  Otherwise a full table is judged every judgedCodes codes, and cleared
    // when those cost more than `margin` times the bits per pixel it cost
    // while it was being filled.
    uint32_t judgedCodes = 256;
    float margin = 1.0f;
    LzwPreference prefer = LzwPreference::Alternative;
    // Whether the data starts with a clear code.  Decoders start with an
    // empty table anyway; the code is customary, not needed.
    bool leadingClear = true;
    uint32_t spareCodes = 1;
    // 0: each string is the longest there is (greedy).  Otherwise a string
    // is cut one pixel short when the string after it then ends more than
    // `lookahead` pixels further than after the longest: two codes then
    // cover more.  (The pixel cut off starts the next string, where a free
    // one may again be written either way.)
    uint32_t lookahead = 0;
};

struct LzwChoiceOutcome {
    // The string table filled up at some point (only then do the clearing
    // options make a difference).
    bool filled = false;
    // The encoding stopped as it passed the limit, and nothing was written.
    bool overLimit = false;
};

class LzwChoiceEncoder {
public:
    LzwChoiceEncoder();

    // Appends to out the byte m, the data sub-blocks and the terminator for
    // count pixels.  free (may be null) marks the pixels that may be written
    // as alternative instead of their value.  Every index written must be
    // below 2^m.  An encoding that would take more than limit bytes stops
    // there: a try that cannot win costs no more than it must.
    LzwChoiceOutcome encode(const uint8_t* values, const uint8_t* free, uint8_t alternative, size_t count,
                            int minCodeSize, const LzwChoiceOptions& options, std::vector<uint8_t>& out,
                            size_t limit = SIZE_MAX);

private:
    class Parse;
    void clearTable();

    // Slots hold the tags of codes (see LzwChoiceEncoder.cpp); keys_ the
    // (prefix tag, index) of each code.
    static constexpr uint32_t slotBits = 15;
    static constexpr uint32_t slotCount = 1u << slotBits;
    static constexpr uint16_t emptySlot = 0xFFFF;
    std::vector<uint16_t> slots_;
    std::vector<uint32_t> keys_;
    std::vector<uint32_t> taken_;  // slots in use
    // Runs of one index c: the tags of c, cc, ccc ... up to the longest run
    // in the table (ladders_[c][length]), and by code the length of the run
    // it is on its ladder, else 0.
    std::vector<uint16_t> ladders_[256];
    std::vector<uint16_t> runOfCode_;
    uint32_t indexHash_[256];
    std::vector<uint8_t> packed_;
};

}  // namespace movigram
