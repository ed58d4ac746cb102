#pragma once
// The GIF LZW decoder: variable-length codes, least significant bit first,
// code size growing from m + 1 to 12 bits, clear and end codes.  It knows
// nothing of frames; the caller hands it the data sub-blocks of one image and
// a width x height output buffer (top row first).
#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "ByteReader.h"

namespace movigram {

enum class LzwResult { Complete, Corrupt, Truncated };

class LzwDecoder {
public:
    LzwDecoder();

    // Decodes the sub-blocks at the reader's position into out (width x height
    // bytes).  Corrupt: bad codes, an early end code or excess data; Truncated:
    // the input ended before the block terminator.  progress, when given, is
    // told the share of rows done (0 to 100) now and then.  With valueMap
    // (256 entries), index v is written as valueMap[v].
    LzwResult decode(ByteReader& in, int minCodeSize, uint8_t* out, uint32_t width, uint32_t height,
                     bool interlaced, const std::function<void(int)>& progress = {},
                     const uint8_t* valueMap = nullptr);

    // Whether the last decode gave exactly width x height indices and needed
    // none of the leniencies (a first code out of the alphabet taken modulo
    // it, missing pixels left 0, extra pixels dropped): data that any
    // decoder reads as the same picture, and so may be written again as it
    // is.
    bool exact() const { return exact_; }
    // After an exact decode: bit v set when some index is v (every index of
    // an image comes from a single-index code the data holds, so the set
    // costs no pass over the pixels).
    const std::array<uint64_t, 4>& valuesUsed() const { return valuesUsed_; }

private:
    static constexpr int tableSize = 4096;
    static constexpr uint16_t none = 0xFFFF;

    // The string of every code: the code it extends, its last index, its first
    // index, its length, and where it was written to the output (for images
    // written row after row).  A string is copied from that earlier place when
    // it fits; otherwise it is rebuilt back to front by following prefix.
    struct Entry {
        uint32_t offset;
        uint16_t prefix;
        uint16_t length;
        uint8_t suffix;
        uint8_t first;
    };
    Entry table_[tableSize];
    uint8_t scratch_[tableSize];
    bool exact_ = false;
    std::array<uint64_t, 4> valuesUsed_{};
};

}  // namespace movigram
