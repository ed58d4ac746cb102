#include "QuantizeOptionText.h"

#include <algorithm>
#include <charconv>

namespace movigram {

std::string quantizerText(Quantizer quantizer) {
    return quantizer == Quantizer::HighQuality ? "quality" : "median-cut";
}

std::optional<Quantizer> parseQuantizer(std::string_view text) {
    if (text == "median-cut") return Quantizer::MedianCut;
    if (text == "quality") return Quantizer::HighQuality;
    return std::nullopt;
}

std::string ditherText(const QuantizeOptions& options) {
    switch (options.dither) {
    case DitherMethod::None: return "none";
    case DitherMethod::Ordered: return "ordered";
    case DitherMethod::Diffusion: break;
    }
    if (options.ditherStrength >= QuantizeOptions::fullStrength) return "diffusion";
    return "diffusion=" + std::to_string(std::max(options.ditherStrength, 1));
}

bool parseDither(std::string_view text, QuantizeOptions& options) {
    if (text == "none" || text == "ordered" || text == "diffusion") {
        options.dither = text == "none"      ? DitherMethod::None
                         : text == "ordered" ? DitherMethod::Ordered
                                             : DitherMethod::Diffusion;
        options.ditherStrength = QuantizeOptions::fullStrength;
        return true;
    }
    constexpr std::string_view prefix = "diffusion=";
    if (!text.starts_with(prefix)) return false;
    const std::string_view number = text.substr(prefix.size());
    int strength = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), strength);
    if (number.empty() || ec != std::errc() || end != number.data() + number.size() || strength < 1 ||
        strength > QuantizeOptions::fullStrength)
        return false;
    options.dither = DitherMethod::Diffusion;
    options.ditherStrength = strength;
    return true;
}

}  // namespace movigram
