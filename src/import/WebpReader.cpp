#include "WebpReader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include <webp/decode.h>
#include <webp/demux.h>

#include "document/SharedLibrary.h"

namespace movigram {
namespace {

// The demuxing library brings the decoding one along; both are found
// through its handle.
#define MOVIGRAM_WEBP_FUNCTIONS(X)                                                                 \
    X(WebPGetFeaturesInternal) X(WebPAnimDecoderOptionsInitInternal) X(WebPAnimDecoderNewInternal) \
    X(WebPAnimDecoderGetInfo) X(WebPAnimDecoderGetNext) X(WebPAnimDecoderHasMoreFrames) X(WebPAnimDecoderDelete)

struct WebpLibrary {
    MOVIGRAM_WEBP_FUNCTIONS(MOVIGRAM_LIBRARY_POINTER)
};

const WebpLibrary* webpLibrary() {
    return openLibraryOnce<WebpLibrary>(MOVIGRAM_WEBPDEMUX_SONAME, [](void* handle, WebpLibrary& lib) {
        bool complete = true;
        MOVIGRAM_WEBP_FUNCTIONS(MOVIGRAM_LIBRARY_BIND)
        return complete;
    });
}

struct DecoderDeleter {
    void operator()(WebPAnimDecoder* d) const { webpLibrary()->WebPAnimDecoderDelete(d); }
};
using Decoder = std::unique_ptr<WebPAnimDecoder, DecoderDeleter>;

Decoder openDecoder(std::span<const uint8_t> file) {
    const WebpLibrary& webp = *webpLibrary();
    WebPAnimDecoderOptions options;
    if (!webp.WebPAnimDecoderOptionsInitInternal(&options, WEBP_DEMUX_ABI_VERSION)) return nullptr;
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    const WebPData data{file.data(), file.size()};
    return Decoder(webp.WebPAnimDecoderNewInternal(&data, &options, WEBP_DEMUX_ABI_VERSION));
}

}  // namespace

bool isWebpSignature(std::span<const uint8_t> head) {
    return head.size() >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 && std::memcmp(head.data() + 8, "WEBP", 4) == 0;
}

std::optional<WebpInfo> webpInfo(std::span<const uint8_t> file, const DecodeLimits& limits, DecodeStatus* why) {
    auto fail = [why](DecodeEnd end, const char* detail) -> std::optional<WebpInfo> {
        if (why) *why = {end, detail};
        return std::nullopt;
    };
    const WebpLibrary* webp = webpLibrary();
    if (!webp) return fail(DecodeEnd::Unsupported, "the WebP library cannot be loaded");
    // The decoder makes its canvas at once: its size is checked first.
    WebPBitstreamFeatures features;
    if (webp->WebPGetFeaturesInternal(file.data(), file.size(), &features, WEBP_DECODER_ABI_VERSION) != VP8_STATUS_OK)
        return fail(DecodeEnd::Corrupt, "not a readable WebP picture");
    if (checkedImageBytes(features.width, features.height, 4, limits) == 0)
        return fail(DecodeEnd::NoMemory, "the picture is larger than allowed");
    Decoder decoder = openDecoder(file);
    WebPAnimInfo anim;
    if (!decoder || !webp->WebPAnimDecoderGetInfo(decoder.get(), &anim))
        return fail(DecodeEnd::Corrupt, "not a readable WebP picture");
    if (checkedImageBytes(anim.canvas_width, anim.canvas_height, 4, limits) == 0)
        return fail(DecodeEnd::NoMemory, "the picture is larger than allowed");
    return WebpInfo{anim.canvas_width, anim.canvas_height, anim.frame_count, anim.loop_count};
}

DecodeStatus decodeWebp(std::span<const uint8_t> file, const DecodeLimits& limits, const ScreenSink& sink) {
    DecodeStatus status;
    const std::optional<WebpInfo> info = webpInfo(file, limits, &status);
    if (!info) return status;
    const WebpLibrary& webp = *webpLibrary();
    Decoder decoder = openDecoder(file);
    if (!decoder) return {DecodeEnd::Corrupt, "not a readable WebP picture"};
    std::optional<RgbaPicture> screen = RgbaPicture::create(info->width, info->height, limits);
    if (!screen) return {DecodeEnd::NoMemory, "the picture is larger than allowed"};
    int previous = 0;
    for (uint32_t n = 1; webp.WebPAnimDecoderHasMoreFrames(decoder.get()); ++n) {
        uint8_t* pixels = nullptr;
        int timestamp = 0;
        if (!webp.WebPAnimDecoderGetNext(decoder.get(), &pixels, &timestamp) || !pixels)
            return {DecodeEnd::Corrupt, "frame " + std::to_string(n) + " cannot be decoded"};
        std::memcpy(screen->pixels.data(), pixels, screen->pixels.size());
        const int32_t delay = std::max(0, timestamp - previous);
        previous = timestamp;
        if (!sink(*screen, delay)) break;
    }
    return {};
}

}  // namespace movigram
