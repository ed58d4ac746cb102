#pragma once
// WebP files, still or animated, lossy or lossless, with or without alpha,
// through libwebp's animation decoder (libwebpdemux, opened when the first
// WebP is read), which composes each frame onto the canvas as a browser
// does.  A still picture is an animation of one frame.
#include <cstdint>
#include <span>

#include "RgbaFrames.h"

namespace movigram {

struct WebpInfo {
    uint32_t width = 0, height = 0;
    uint32_t frames = 0;
    uint32_t loopCount = 0;  // plays, 0 without end
};

// The canvas and frame count; nothing when the file cannot be read or its
// canvas is larger than the limits allow (detail says which).
std::optional<WebpInfo> webpInfo(std::span<const uint8_t> file, const DecodeLimits& limits, DecodeStatus* why = nullptr);

// Decodes the screens in order; each one is shown until the next one's
// time stamp.
DecodeStatus decodeWebp(std::span<const uint8_t> file, const DecodeLimits& limits, const ScreenSink& sink);

// "RIFF" size "WEBP".
bool isWebpSignature(std::span<const uint8_t> head);

}  // namespace movigram
