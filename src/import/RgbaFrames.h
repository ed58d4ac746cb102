#pragma once
// Pictures with an alpha channel (PNG, APNG, WebP, AVIF) on their way into
// the document.  A fully transparent pixel becomes the frame's transparent
// index; a partly transparent one is composed over the background colour,
// since a frame's pixels are either shown or not.
//
// A still picture goes to the quantiser like a JPEG; the screens of an
// animation go the way a video's frames go: each reduced to a palette of its
// own by the original median cut, or, with the high quality quantiser or
// dithering, decoded twice: once for one palette, once to put every screen
// on it.  Pictures of 256 colours or fewer (255 with transparency) keep
// their colours exactly, whatever the quantiser.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TrueColorImage.h"
#include "document/FrameChain.h"
#include "document/Progress.h"

namespace movigram {

// Red, green, blue and straight (not premultiplied) alpha bytes, rows from
// the top without padding.
struct RgbaPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;

    // A fully transparent picture, or nothing when the size is not positive,
    // breaks the limits or the memory cannot be had.
    static std::optional<RgbaPicture> create(int64_t width, int64_t height, const DecodeLimits& limits);
    uint8_t* row(int32_t y) { return pixels.data() + size_t(y) * size_t(width) * 4; }
    const uint8_t* row(int32_t y) const { return pixels.data() + size_t(y) * size_t(width) * 4; }
};

// How a decoding ended.
enum class DecodeEnd { Complete, Corrupt, NoMemory, Unsupported };

struct DecodeStatus {
    DecodeEnd end = DecodeEnd::Complete;
    std::string detail;  // what was wrong, for the message
    bool ok() const { return end == DecodeEnd::Complete; }
};

// Takes the next screen of an animation and its display time in
// milliseconds; false stops the decoding.
using ScreenSink = std::function<bool(const RgbaPicture& screen, int32_t delay)>;
// Decodes the animation once from the start, handing each screen to the
// sink.  A decoder stopped by its sink reports Complete.
using ScreenDecoder = std::function<DecodeStatus(const ScreenSink&)>;

struct RgbaFramesOptions {
    Host* host = nullptr;  // status text while the screens are reduced
    Progress* progress = nullptr;
    int64_t announcedFrames = 0;  // for progress and the palette sample; 0 when unknown
    std::function<void(const TrueColorImage&)> preview;
    std::function<void(const TFrame&)> paint;
    DecodeLimits limits = DecodeLimits::defaults();
    QuantizeOptions quantize;
    Rgb8 background{255, 255, 255};  // under partly transparent pixels
    std::string name;                // frames are named name.000, name.001...
};

struct RgbaFramesOutput {
    FrameChain frames;  // linked; kept also when the decoding failed later on
    DecodeStatus status;
};

RgbaFramesOutput framesFromScreens(const ScreenDecoder& decode, const RgbaFramesOptions& options);

// A still picture as one 8-bit image, with its transparent index (-1 for
// none).
struct StillImage {
    std::unique_ptr<TDib256> image;
    int32_t transparentIndex = -1;
};

StillImage stillFromRgba(const RgbaPicture& picture, const RgbaFramesOptions& options);

// An indexed picture whose colour table entries have the given alpha values
// (255 for those not listed): entries of alpha 0 become one transparent
// index, partly transparent ones are composed over the background.  No
// pixel is requantised.
StillImage stillFromIndexed(std::unique_ptr<TDib256> image, const std::vector<uint8_t>& alpha, Rgb8 background);

}  // namespace movigram
