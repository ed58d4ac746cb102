// Animated WebP through libwebp's animation encoder (libwebpmux), which
// finds each frame's changed rectangle, chooses between blending over the
// screen before and replacing it, and merges frames that change nothing.
//
// Settings: minimize_size is on, so the encoder tries every candidate
// rectangle and blend for each frame and keeps the smallest (it also turns
// off key-frame insertion, which only helps seeking, and seeking does not
// matter to an animation that plays from its start).  Compression effort
// is libwebp's default (method 4, and for lossless the default quality of
// 75, which is effort, not loss): method 6 costs about twice the time for
// a percent or two.  Lossless frames are encoded from ARGB exactly; lossy
// frames keep their alpha exact (alpha is compressed losslessly).
#include <webp/encode.h>
#include <webp/mux.h>

#include "Export.h"
#include "document/SharedLibrary.h"

namespace movigram {

namespace {

#define WEBP_FUNCTIONS(X)                                                                             \
    X(WebPConfigInitInternal) X(WebPValidateConfig) X(WebPPictureInitInternal) X(WebPPictureImportRGBA) \
    X(WebPPictureFree) X(WebPFree)
#define WEBPMUX_FUNCTIONS(X)                                                                           \
    X(WebPAnimEncoderOptionsInitInternal) X(WebPAnimEncoderNewInternal) X(WebPAnimEncoderAdd)          \
    X(WebPAnimEncoderAssemble) X(WebPAnimEncoderGetError) X(WebPAnimEncoderDelete)

struct WebpLibrary {
    WEBP_FUNCTIONS(MOVIGRAM_LIBRARY_POINTER)
};
struct WebpMuxLibrary {
    WEBPMUX_FUNCTIONS(MOVIGRAM_LIBRARY_POINTER)
};

const WebpLibrary* webpLibrary() {
    return openLibraryOnce<WebpLibrary>("libwebp.so.7", [](void* handle, auto& lib) {
        bool complete = true;
        WEBP_FUNCTIONS(MOVIGRAM_LIBRARY_BIND)
        return complete;
    });
}

const WebpMuxLibrary* webpMuxLibrary() {
    return openLibraryOnce<WebpMuxLibrary>("libwebpmux.so.3", [](void* handle, auto& lib) {
        bool complete = true;
        WEBPMUX_FUNCTIONS(MOVIGRAM_LIBRARY_BIND)
        return complete;
    });
}

// The encoder and the picture, released however the export ends.
struct AnimEncoder {
    const WebpMuxLibrary& mux;
    WebPAnimEncoder* encoder = nullptr;
    ~AnimEncoder() {
        if (encoder) mux.WebPAnimEncoderDelete(encoder);
    }
};
struct Picture {
    const WebpLibrary& webp;
    WebPPicture picture{};
    ~Picture() { webp.WebPPictureFree(&picture); }
};

}  // namespace

bool encodeWebp(const ShownScreens& screens, const ExportOptions& options, Progress* progress,
                std::vector<uint8_t>& out, std::string& error) {
    const WebpLibrary* webp = webpLibrary();
    const WebpMuxLibrary* mux = webpMuxLibrary();
    if (!webp || !mux) {
        error = "libwebp is not installed (Debian packages libwebp7 and libwebpmux3)";
        return false;
    }
    if (screens.width > WEBP_MAX_DIMENSION || screens.height > WEBP_MAX_DIMENSION) {
        error = "WebP holds at most " + std::to_string(WEBP_MAX_DIMENSION) + " pixels a side";
        return false;
    }
    WebPAnimEncoderOptions animOptions;
    if (!mux->WebPAnimEncoderOptionsInitInternal(&animOptions, WEBP_MUX_ABI_VERSION)) {
        error = "the installed libwebpmux does not match the one the program was built with";
        return false;
    }
    animOptions.anim_params.loop_count = std::clamp(screens.plays, 0, 65535);
    animOptions.anim_params.bgcolor = 0x00000000;  // transparent: what shows through a GIF's restored area
    animOptions.minimize_size = 1;
    animOptions.allow_mixed = 0;

    WebPConfig config;
    const bool lossless = !options.quality;
    if (!webp->WebPConfigInitInternal(&config, WEBP_PRESET_DEFAULT, lossless ? 75.f : float(*options.quality),
                                      WEBP_ENCODER_ABI_VERSION)) {
        error = "the installed libwebp does not match the one the program was built with";
        return false;
    }
    config.lossless = lossless;
    config.method = 4;
    if (!lossless) config.alpha_quality = 100;
    if (!webp->WebPValidateConfig(&config)) {
        error = "libwebp refused the settings";
        return false;
    }

    AnimEncoder enc{*mux};
    enc.encoder = mux->WebPAnimEncoderNewInternal(screens.width, screens.height, &animOptions, WEBP_MUX_ABI_VERSION);
    if (!enc.encoder) {
        error = "Failed to allocate memory";
        return false;
    }
    int64_t timestamp = 0;
    bool failed = false;
    const bool walked = forEachShownScreen(screens, progress, [&](const std::vector<Rgba>& pixels, int32_t ms) {
        Picture pic{*webp};
        if (!webp->WebPPictureInitInternal(&pic.picture, WEBP_ENCODER_ABI_VERSION)) return !(failed = true);
        pic.picture.width = screens.width;
        pic.picture.height = screens.height;
        pic.picture.use_argb = 1;
        if (!webp->WebPPictureImportRGBA(&pic.picture, reinterpret_cast<const uint8_t*>(pixels.data()),
                                         screens.width * 4) ||
            !mux->WebPAnimEncoderAdd(enc.encoder, &pic.picture, int(timestamp), &config))
            return !(failed = true);
        timestamp += ms;
        // The format's timestamps are int milliseconds: 24 days in all.
        if (timestamp > INT32_MAX) {
            error = "WebP holds at most 24 days of animation";
            return !(failed = true);
        }
        return true;
    });
    if (!failed && walked && !mux->WebPAnimEncoderAdd(enc.encoder, nullptr, int(timestamp), nullptr)) failed = true;
    WebPData data{nullptr, 0};
    if (!failed && walked && !mux->WebPAnimEncoderAssemble(enc.encoder, &data)) failed = true;
    if (failed) {
        if (error.empty()) {
            const char* why = mux->WebPAnimEncoderGetError(enc.encoder);
            error = why && *why ? std::string("libwebp: ") + why : "libwebp could not encode the animation";
        }
        return false;
    }
    if (!walked) return false;
    out.assign(data.bytes, data.bytes + data.size);
    webp->WebPFree(const_cast<uint8_t*>(data.bytes));
    return true;
}

}  // namespace movigram
