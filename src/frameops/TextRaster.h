#pragma once
// Text drawn as coverage masks: the font found by family name through
// fontconfig, the glyphs rendered anti-aliased by FreeType.  Both libraries
// are opened the first time a caption is drawn (document/SharedLibrary.h).
#include <cstdint>
#include <string>
#include <vector>

namespace movigram {

// Coverage (0..255) of the text and of its outline over a box of
// width x height, row by row from the top.  The outline is the text grown
// by its width in every direction; the box leaves room for it.
struct TextMask {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> text, outline;
};

struct TextRasterResult {
    TextMask mask;
    std::string error;  // empty when the mask was drawn
};

// Lines split at '\n' (UTF-8), each left-aligned, one line height apart.
// A family the system lacks gives fontconfig's nearest match.
TextRasterResult rasterizeText(const std::string& utf8, const std::string& family, int pixelSize, int outlineWidth);

}  // namespace movigram
