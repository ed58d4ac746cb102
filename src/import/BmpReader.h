#pragma once
// Reads Windows and OS/2 bitmaps.  Colour-table images of 1, 2, 4 and 8 bits
// (uncompressed, RLE4 or RLE8) come out as one 8-bit image; 16-, 24- and
// 32-bit images come out as true colour for the quantiser: 5-5-5 pixels as
// they are, every other bit-field layout and 32-bit pixels as 24 bits.
#include <span>
#include <string>

#include "TrueColorImage.h"

namespace movigram {

// Empty when the bytes are not a bitmap this reader understands, are cut
// short, or describe an image beyond the limits.
DecodedImage decodeBmp(std::span<const uint8_t> file, const DecodeLimits& limits = DecodeLimits::defaults());
DecodedImage readBmp(const std::string& path, const DecodeLimits& limits = DecodeLimits::defaults());

}  // namespace movigram
