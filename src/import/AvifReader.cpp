#include "AvifReader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include <avif/avif.h>

#include "document/SharedLibrary.h"

namespace movigram {
namespace {

#define MOVIGRAM_AVIF_FUNCTIONS(X)                                                                        \
    X(avifDecoderCreate) X(avifDecoderDestroy) X(avifDecoderSetIOMemory) X(avifDecoderParse)             \
    X(avifDecoderNextImage) X(avifRGBImageSetDefaults) X(avifRGBImageAllocatePixels) X(avifRGBImageFreePixels) \
    X(avifImageYUVToRGB) X(avifResultToString)

struct AvifLibrary {
    MOVIGRAM_AVIF_FUNCTIONS(MOVIGRAM_LIBRARY_POINTER)
};

const AvifLibrary* avifLibrary() {
    return openLibraryOnce<AvifLibrary>(MOVIGRAM_AVIF_SONAME, [](void* handle, AvifLibrary& lib) {
        bool complete = true;
        MOVIGRAM_AVIF_FUNCTIONS(MOVIGRAM_LIBRARY_BIND)
        return complete;
    });
}

struct DecoderDeleter {
    void operator()(avifDecoder* d) const { avifLibrary()->avifDecoderDestroy(d); }
};

struct RgbPixels {
    avifRGBImage rgb{};
    ~RgbPixels() {
        if (rgb.pixels) avifLibrary()->avifRGBImageFreePixels(&rgb);
    }
};

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

}  // namespace

bool isAvifSignature(std::span<const uint8_t> head) {
    if (head.size() < 16 || std::memcmp(head.data() + 4, "ftyp", 4) != 0) return false;
    // Major brand at 8, minor version at 12, compatible brands to the box's end.
    const size_t end = std::min<size_t>(head.size(), std::max<uint32_t>(be32(head.data()), 16));
    for (size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4)
        if (std::memcmp(head.data() + at, "avif", 4) == 0 || std::memcmp(head.data() + at, "avis", 4) == 0) return true;
    return false;
}

DecodeStatus decodeAvif(std::span<const uint8_t> file, const DecodeLimits& limits, const ScreenSink& sink) {
    const AvifLibrary* avif = avifLibrary();
    if (!avif) return {DecodeEnd::Unsupported, "the AVIF library cannot be loaded"};
    std::unique_ptr<avifDecoder, DecoderDeleter> decoder(avif->avifDecoderCreate());
    if (!decoder) return {DecodeEnd::NoMemory, "no memory for the decoder"};
    // The library gives up on larger pictures before it allocates them.
    decoder->imageSizeLimit = uint32_t(std::min<uint64_t>(limits.maxImagePixels, AVIF_DEFAULT_IMAGE_SIZE_LIMIT));
    decoder->imageCountLimit = 1;
    auto failed = [&](avifResult r) {
        return DecodeStatus{r == AVIF_RESULT_OUT_OF_MEMORY ? DecodeEnd::NoMemory : DecodeEnd::Corrupt,
                            avif->avifResultToString(r)};
    };
    if (avifResult r = avif->avifDecoderSetIOMemory(decoder.get(), file.data(), file.size()); r != AVIF_RESULT_OK)
        return failed(r);
    if (avifResult r = avif->avifDecoderParse(decoder.get()); r != AVIF_RESULT_OK) return failed(r);
    if (avifResult r = avif->avifDecoderNextImage(decoder.get()); r != AVIF_RESULT_OK) return failed(r);
    const avifImage* image = decoder->image;
    std::optional<RgbaPicture> screen = RgbaPicture::create(image->width, image->height, limits);
    if (!screen) return {DecodeEnd::NoMemory, "the picture is larger than allowed"};
    RgbPixels pixels;
    avif->avifRGBImageSetDefaults(&pixels.rgb, image);
    pixels.rgb.format = AVIF_RGB_FORMAT_RGBA;
    pixels.rgb.depth = 8;
    avif->avifRGBImageAllocatePixels(&pixels.rgb);
    if (avifResult r = avif->avifImageYUVToRGB(image, &pixels.rgb); r != AVIF_RESULT_OK) return failed(r);
    for (int32_t y = 0; y < screen->height; ++y)
        std::memcpy(screen->row(y), pixels.rgb.pixels + size_t(y) * pixels.rgb.rowBytes, size_t(screen->width) * 4);
    sink(*screen, 0);
    return {};
}

}  // namespace movigram
