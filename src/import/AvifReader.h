#pragma once
// Still AVIF pictures through libavif (opened when the first AVIF is read):
// the first picture of the file, with its alpha.
#include <cstdint>
#include <span>

#include "RgbaFrames.h"

namespace movigram {

// Hands the picture to sink as the one screen.
DecodeStatus decodeAvif(std::span<const uint8_t> file, const DecodeLimits& limits, const ScreenSink& sink);

// An ISO media file whose file type box names the AVIF brands.
bool isAvifSignature(std::span<const uint8_t> head);

}  // namespace movigram
