// Fuzz target: a WebP file, still or animated, through libwebp's animation
// decoder, and its screens made into frames as the editor makes them.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzSupport.h"
#include "import/WebpReader.h"

using namespace movigram;
using movigram::fuzz::fail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const DecodeLimits limits = fuzz::fuzzLimits();
    const std::span<const uint8_t> file(data, size);
    const std::optional<WebpInfo> info = webpInfo(file, limits);
    if (!info) return 0;
    const uint64_t screenPixels = uint64_t(info->width) * info->height;
    if (screenPixels == 0 || screenPixels > limits.maxImagePixels) fail("canvas %ux%u", info->width, info->height);
    // Quantising large screens would slow the search down: the seeds are
    // photographs, which the quantiser works hard on.
    if (screenPixels > (uint64_t(1) << 16) || screenPixels * info->frames > (uint64_t(1) << 20)) return 0;
    RgbaFramesOptions options;
    options.limits = limits;
    options.name = "fuzz";
    const RgbaFramesOutput out =
        framesFromScreens([&](const ScreenSink& sink) { return decodeWebp(file, limits, sink); }, options);
    fuzz::checkFrames(out.frames, limits);
    for (const auto& frame : out.frames) {
        if (frame->rect.width() != int32_t(info->width) || frame->rect.height() != int32_t(info->height))
            fail("frame %dx%d on a %ux%u canvas", frame->rect.width(), frame->rect.height(), info->width, info->height);
        if (frame->transparentIndex >= frame->image->colorsUsed) fail("transparent index past the colours");
    }
    return 0;
}
