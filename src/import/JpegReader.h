#pragma once
// JPEG files through the libjpeg API: baseline, progressive and (when the
// library has it) arithmetic-coded images of 8-bit precision.  Gray images
// give gray pixels, CMYK and YCCK images are converted to RGB.  Any error the
// library reports gives nothing, without a message.
#include <optional>
#include <span>
#include <string>

#include "TrueColorImage.h"

namespace movigram {

// The picture as 24-bit true colour, or nothing.
std::optional<TrueColorImage> readJpeg(const std::string& path, const DecodeLimits& limits = DecodeLimits::defaults());
std::optional<TrueColorImage> decodeJpeg(std::span<const uint8_t> file,
                                         const DecodeLimits& limits = DecodeLimits::defaults());

}  // namespace movigram
