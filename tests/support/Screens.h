#pragma once
// The sequence of screens an animation shows, each with how long it stays,
// for checking that an optimised file shows what its document showed.
#include <cstdint>
#include <string>
#include <vector>

#include "document/TFrame.h"
#include "document/ViewerCanvas.h"

namespace movigram::test {

enum class Semantics {
    Program,  // a restored area is filled with the frame's fill colour
    Viewer,   // a restored area becomes transparent, as browsers show it
};

struct Screen {
    std::vector<Rgba> pixels;
    int64_t ms = 0;
};

// Screens of the chain from first (walked once), on a width x height canvas;
// screens shown for no time are dropped and consecutive equal screens merged.
std::vector<Screen> screensOf(TFrame* first, const TMyPalette* global, TSize size, Semantics semantics);

// The screens a viewer sees of screens drawn one after another: those shown
// for no time are dropped and consecutive equal ones merged.
std::vector<Screen> settledScreens(std::vector<Screen> drawn);

// A python3 that has Pillow (Debian python3-pil), to compare its view of a
// file with ours; empty when there is none.
std::string pythonWithPillow();

// Empty when equal, else a description of the first difference.
std::string compareScreens(const std::vector<Screen>& want, const std::vector<Screen>& got, int32_t width);

}  // namespace movigram::test
