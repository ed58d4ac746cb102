// Fuzz target: a PNG through libpng (errors return to the reader by a jump),
// then, when it is animated, our walk over the animation's chunks, the
// frames decoded one by one and composed, and the screens made into frames
// as the editor makes them.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzSupport.h"
#include "import/ApngReader.h"
#include "import/PngReader.h"

using namespace movigram;
using movigram::fuzz::fail;

namespace {

void checkStill(const PngPicture& png, const DecodeLimits& limits) {
    if (png.indexed) {
        const TDib256& image = *png.indexed;
        if (uint64_t(image.width()) * uint64_t(image.height()) > limits.maxImagePixels) fail("image over the limit");
        if (png.alpha.size() != 256) fail("%zu alpha entries", png.alpha.size());
        if (image.colorsUsed < 1 || image.colorsUsed > 256) fail("%d colours", image.colorsUsed);
    } else if (png.rgba) {
        const RgbaPicture& p = *png.rgba;
        if (p.width <= 0 || p.height <= 0) fail("picture %dx%d", p.width, p.height);
        if (p.pixels.size() != size_t(p.width) * size_t(p.height) * 4) fail("%zu bytes of pixels", p.pixels.size());
    } else if (png.status.ok()) {
        fail("no picture and no error");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const DecodeLimits limits = fuzz::fuzzLimits();
    const std::span<const uint8_t> file(data, size);
    checkStill(decodePng(file, limits), limits);

    const std::optional<ApngLayout> layout = apngLayout(file, limits);
    if (!layout) return 0;
    if (layout->frames.empty() || layout->frames.size() > limits.maxFrames) fail("%zu frames", layout->frames.size());
    for (const ApngFrame& f : layout->frames)
        if (uint64_t(f.x) + f.width > layout->width || uint64_t(f.y) + f.height > layout->height)
            fail("frame outside the canvas");
    // Quantising large screens would slow the search down.
    const uint64_t screenPixels = uint64_t(layout->width) * layout->height;
    if (screenPixels > (uint64_t(1) << 18) || screenPixels * layout->frames.size() > (uint64_t(1) << 22)) return 0;
    RgbaFramesOptions options;
    options.limits = limits;
    options.name = "fuzz";
    const RgbaFramesOutput out =
        framesFromScreens([&](const ScreenSink& sink) { return decodeApng(*layout, limits, sink); }, options);
    fuzz::checkFrames(out.frames, limits);
    for (const auto& frame : out.frames) {
        if (frame->rect.width() != int32_t(layout->width) || frame->rect.height() != int32_t(layout->height))
            fail("frame %dx%d on a %ux%u canvas", frame->rect.width(), frame->rect.height(), layout->width, layout->height);
        if (frame->transparentIndex >= frame->image->colorsUsed) fail("transparent index past the colours");
    }
    if (out.status.ok() && out.frames.size() != layout->frames.size()) fail("frames lost without an error");
    return 0;
}
