#pragma once
// How true colour becomes 256 colours or fewer: which quantiser builds the
// palette and how pixels are dithered onto it.  A document option, used by
// image and video import, pasted images and every rebuild of the global
// palette.  Median cut without dithering is the program's original way.
namespace movigram {

enum class Quantizer { MedianCut = 0, HighQuality = 1 };
enum class DitherMethod { None = 0, Ordered = 1, Diffusion = 2 };

struct QuantizeOptions {
    static constexpr int fullStrength = 100;

    Quantizer quantizer = Quantizer::MedianCut;
    DitherMethod dither = DitherMethod::None;
    // Per cent of the error passed on by error diffusion, 1..100.
    int ditherStrength = fullStrength;

    bool original() const { return quantizer == Quantizer::MedianCut && dither == DitherMethod::None; }
    friend bool operator==(const QuantizeOptions&, const QuantizeOptions&) = default;
};

}  // namespace movigram
