// Fuzz target: the JPEG reader through the libjpeg API (errors return to
// the reader by a jump), then the reduction to 8 bits.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzSupport.h"
#include "import/JpegReader.h"

using namespace movigram;
using movigram::fuzz::fail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const DecodeLimits limits = fuzz::fuzzLimits();
    const auto image = decodeJpeg(std::span<const uint8_t>(data, size), limits);
    if (!image) return 0;
    if (image->width() <= 0 || image->height() <= 0) fail("image %dx%d", image->width(), image->height());
    if (uint64_t(image->width()) * uint64_t(image->height()) > limits.maxImagePixels) fail("image over the limit");
    if (image->bitsPerPixel() != 24) fail("%d bits per pixel", image->bitsPerPixel());
    // Only small pictures make the trip to 8 bits: the quantiser's fixed
    // cost would slow the search down.
    if (image->width() * image->height() <= 4096) {
        auto reduced = reduceTo256(*image);
        if (!reduced) fail("reduction failed");
        if (reduced->colorsUsed < 1 || reduced->colorsUsed > 256) fail("%d colours", reduced->colorsUsed);
    }
    return 0;
}
