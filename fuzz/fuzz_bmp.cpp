// Fuzz target: the bitmap reader, then the reduction of a true-colour result
// to 8 bits, as the editor does with a file it opens.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzSupport.h"
#include "import/BmpReader.h"

using namespace movigram;
using movigram::fuzz::fail;

namespace {

// An 8-bit image within the limits whose every pixel lies inside the colour
// count it declares.
void checkIndexed(const TDib256& image, const DecodeLimits& limits, int colorsAtMost) {
    if (image.width() <= 0 || image.height() <= 0) fail("image %dx%d", image.width(), image.height());
    if (uint64_t(image.width()) * uint64_t(image.height()) > limits.maxImagePixels) fail("image over the limit");
    if (image.colorsUsed < 0 || image.colorsUsed > colorsAtMost) fail("%d colours used", image.colorsUsed);
    if (image.colorsUsed == 0) return;
    for (int32_t y = 0; y < image.height(); ++y)
        for (int32_t x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) >= image.colorsUsed)
                fail("pixel (%d, %d) = %d past %d colours", x, y, image.pixel(x, y), image.colorsUsed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const DecodeLimits limits = fuzz::fuzzLimits();
    const DecodedImage decoded = decodeBmp(std::span<const uint8_t>(data, size), limits);
    if (decoded.indexed && decoded.trueColor) fail("two images");
    if (decoded.indexed) checkIndexed(*decoded.indexed, limits, 256);
    if (decoded.trueColor) {
        const TrueColorImage& deep = *decoded.trueColor;
        if (deep.bitsPerPixel() != 16 && deep.bitsPerPixel() != 24) fail("%d bits per pixel", deep.bitsPerPixel());
        if (uint64_t(deep.width()) * uint64_t(deep.height()) > limits.maxImagePixels) fail("image over the limit");
        // The quantiser takes any pixel values; its fixed cost (a 1 MiB
        // histogram) would slow the search down, so only small images make
        // the whole trip to 8 bits.
        if (deep.width() * deep.height() <= 4096) {
            auto reduced = reduceTo256(deep);
            if (!reduced) fail("reduction failed");
            if (reduced->width() != deep.width() || reduced->height() != deep.height())
                fail("reduction changed the size");
            checkIndexed(*reduced, limits, 256);
        }
    }
    return 0;
}
