#pragma once
// Caps on what one decoded file may occupy, so that a small file declaring
// huge or countless images cannot exhaust memory.
#include <cstdint>

namespace movigram {

struct DecodeLimits {
    uint64_t maxImagePixels = 0;  // pixels of one image
    uint64_t maxTotalBytes = 0;   // decoded bytes of one file, frames included
    uint64_t maxFrames = 0;

    // Limits derived from the machine's memory: a quarter of it for one file,
    // at most 8 GiB, and 256 megapixels for one image.
    static DecodeLimits defaults();
};

}  // namespace movigram
