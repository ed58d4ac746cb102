#pragma once
// One PNG picture through libpng, opened when the first PNG is read
// (document/SharedLibrary.h): every colour type and bit depth, interlaced or
// not, with its transparency.  Indexed pictures keep their indices and
// palette, gray ones of 8 bits or fewer come out indexed on a ramp of grays;
// the rest come out as RGBA, 16-bit samples scaled to 8 bits.  The frames of
// an animated PNG are read by ApngReader.h, one picture at a time.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "RgbaFrames.h"

namespace movigram {

enum class PngForm { Natural, Rgba };

struct PngPicture {
    std::unique_ptr<TDib256> indexed;  // palette and gray pictures
    std::vector<uint8_t> alpha;        // the alpha of the indexed picture's table entries
    std::optional<RgbaPicture> rgba;   // the others, and every picture asked for as RGBA
    DecodeStatus status;
};

// The PNG file (or a picture in the layout of one) in memory.
PngPicture decodePng(std::span<const uint8_t> file, const DecodeLimits& limits, PngForm form = PngForm::Natural);

// Whether head begins with the PNG signature.
bool isPngSignature(std::span<const uint8_t> head);

}  // namespace movigram
