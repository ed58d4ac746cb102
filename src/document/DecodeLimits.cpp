#include "DecodeLimits.h"

#include <unistd.h>

#include <algorithm>

namespace movigram {

DecodeLimits DecodeLimits::defaults() {
    uint64_t memory = 4ull << 30;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) memory = uint64_t(pages) * uint64_t(pageSize);
    DecodeLimits limits;
    limits.maxTotalBytes = std::clamp<uint64_t>(memory / 4, 64ull << 20, 8ull << 30);
    limits.maxImagePixels = std::min<uint64_t>(256ull << 20, limits.maxTotalBytes);
    limits.maxFrames = 1'000'000;
    return limits;
}

}  // namespace movigram
