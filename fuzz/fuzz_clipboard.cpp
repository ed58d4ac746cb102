// Fuzz target: a frame in the program's clipboard format, which any program
// can put on the clipboard.  A frame it accepts must be one the editor could
// hold, and copying it again must give the same bytes as its first copy
// (the input itself may have flag bits the format does not keep).
#include <cstddef>
#include <climits>
#include <cstdint>
#include <span>
#include <vector>

#include "FuzzSupport.h"
#include "commands/ClipboardFormats.h"

using namespace movigram;
using movigram::fuzz::fail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const DecodeLimits limits = fuzz::fuzzLimits();
    const auto held = decodeHeldFrame(std::span<const uint8_t>(data, size), limits);
    if (!held) return 0;
    const TFrame& frame = *held->frame;
    if (!frame.image) fail("a held frame without image");
    const TRect& r = frame.rect;
    if (r.left < 0 || r.top < 0 || r.width() != frame.image->width() || r.height() != frame.image->height() ||
        r.isEmpty())
        fail("rect (%d, %d, %d, %d) for an image %dx%d", r.left, r.top, r.right, r.bottom, frame.image->width(),
             frame.image->height());
    if (uint64_t(r.right) * uint64_t(r.bottom) > limits.maxImagePixels) fail("a screen over the limit");
    if (frame.frameTime < 0 || frame.repeat < 0 || int64_t(frame.frameTime) * frame.repeat > INT32_MAX)
        fail("display time %d x %d", frame.frameTime, frame.repeat);
    if (frame.localPalette && frame.localPalette->colorCount < 1) fail("an empty local palette");

    const std::vector<uint8_t> copy = encodeHeldFrame(frame, held->palette);
    const auto back = decodeHeldFrame(copy, limits);
    if (!back) fail("the copy of an accepted frame is refused");
    if (encodeHeldFrame(*back->frame, back->palette) != copy) fail("a second copy differs from the first");
    return 0;
}
