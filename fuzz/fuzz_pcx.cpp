// Fuzz target: the PCX reader and the ".qcx" reader on the same bytes, both
// as a new image and drawn into an existing one at a position taken from the
// input.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzSupport.h"
#include "import/PcxImage.h"
#include "import/QcxReader.h"

using namespace movigram;
using movigram::fuzz::fail;

namespace {

void checkSize(int32_t width, int32_t height, const DecodeLimits& limits) {
    if (width <= 0 || height <= 0) fail("image %dx%d", width, height);
    if (uint64_t(width) * uint64_t(height) > limits.maxImagePixels) fail("image over the limit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const DecodeLimits limits = fuzz::fuzzLimits();

    int last = -1;
    ProgressFunction progress([&](int percent) {
        if (percent < 0 || percent > 100 || percent < last) fail("progress %d after %d", percent, last);
        last = percent;
    });
    PCXImage pcx(limits, &progress);
    if (pcx.read(bytes)) {
        const DecodedImage image = pcx.takeImage();
        if (!image.indexed == !image.trueColor) fail("read without exactly one image");
        if (image.indexed) checkSize(image.indexed->width(), image.indexed->height(), limits);
        if (image.trueColor) {
            checkSize(image.trueColor->width(), image.trueColor->height(), limits);
            if (image.trueColor->bitsPerPixel() != 24)
                fail("PCX true colour of %d bits", image.trueColor->bitsPerPixel());
        }
    }

    QcxOptions options;
    options.limits = limits;
    if (auto image = decodeQcx(bytes, options)) checkSize(image->width(), image->height(), limits);

    // Button drawing: a position, offset and skip value from the last bytes.
    if (size >= 4) {
        TDib256 target(40, 24);
        options.colorOffset = data[size - 1];
        options.skipValue = data[size - 2] == 0xFF ? 256 : data[size - 2] & 15;
        const int32_t x = int32_t(int8_t(data[size - 3])), y = int32_t(int8_t(data[size - 4]));
        drawQcx(bytes, target, x, y, options);
        if (target.width() != 40 || target.height() != 24) fail("target resized");
    }
    return 0;
}
