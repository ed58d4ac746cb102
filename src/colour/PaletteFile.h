#pragma once
// Palette text files: the program writes its own format, headed "MVGR-PAL",
// and reads it and JASC palette files with one reader, which looks only at
// the count on the third line and the colour lines after it.
#include <istream>
#include <string>

#include "document/TMyPalette.h"

namespace movigram {

// The distinct colours of a palette file, in file order.  A file that
// cannot be opened, or whose third line holds no positive count, gives an
// empty palette.
TMyPalette readPaletteFile(const std::string& path);
// The same from text already open.
TMyPalette readPaletteText(std::istream& in);

// Writes the palette's colours in the "MVGR-PAL" format, lines ended by
// carriage return and line feed.  False when the file cannot be written.
bool storePalette(const TMyPalette& palette, const std::string& path);

}  // namespace movigram
