// Fuzz target: the palette text reader, which takes any text file whose third
// line holds a positive count.  What it reads must be at most 256 distinct
// colours, whatever the lines hold.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "colour/PaletteFile.h"

using namespace movigram;
using movigram::fuzz::fail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const TMyPalette palette = readPaletteText(in);
    if (palette.colorCount < 0 || palette.colorCount > 256) fail("%d colours", palette.colorCount);
    for (int i = 0; i < palette.colorCount; ++i)
        for (int j = 0; j < i; ++j)
            if (palette.entry(i) == palette.entry(j)) fail("entries %d and %d are the same colour", j, i);
    return 0;
}
