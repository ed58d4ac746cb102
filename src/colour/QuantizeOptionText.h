#pragma once
// The text forms of the quantiser and dithering options, as the settings
// file stores them and the command-line tool takes them:
//
//   quantiser  "median-cut" | "quality"
//   dithering  "none" | "ordered" | "diffusion" | "diffusion=STRENGTH"
//
// STRENGTH is a whole number of per cent, 1 to 100; "diffusion" alone is
// full strength and is how full strength is written.
#include <optional>
#include <string>
#include <string_view>

#include "document/QuantizeOptions.h"

namespace movigram {

std::string quantizerText(Quantizer quantizer);
std::optional<Quantizer> parseQuantizer(std::string_view text);

std::string ditherText(const QuantizeOptions& options);
// Sets options.dither and options.ditherStrength; false (options untouched)
// for any other text.
bool parseDither(std::string_view text, QuantizeOptions& options);

}  // namespace movigram
