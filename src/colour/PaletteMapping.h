#pragma once
// Translating images into palettes: the one routine that moves an image's
// pixels onto a palette (appending colours or approximating them), and the
// palettes made from an image's own colour table.
#include "document/TDib256.h"
#include "document/TFrame.h"
#include "document/TMyPalette.h"

namespace movigram {

// Index of the entry nearest to (r, g, b) among the first count entries by
// squared RGB distance; the lowest index wins ties.  skip (when >= 0) is never
// chosen.
int nearestColor(const PaletteEntry* entries, int count, uint8_t r, uint8_t g, uint8_t b, int skip = -1);

// Translates the image into palette.  Cumulative (fixed false): colours are
// matched exactly or appended while the palette has room, else approximated.
// Fixed: every colour goes to the nearest existing entry and nothing is added.
// testOnly: only tells whether every colour would find an exact place; the
// image and the palette are left alone.  Returns true when no colour had to be
// approximated (fixed mappings never count as approximations).
bool mapToPalette(TDib256& image, TMyPalette& palette, bool fixed, bool testOnly);

// A palette holding the image's own colour table.
TMyPalette paletteFromImage(const TDib256& image);

// Shrinks a frame's local palette to the colours its image uses, in the
// order of their old pixel values.
void compactLocalPalette(TFrame& frame);

}  // namespace movigram
