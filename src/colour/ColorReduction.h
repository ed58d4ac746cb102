#pragma once
// Rebuilding the document's global palette: an optimised palette of a given
// size from all frames, every frame mapped onto it.
#include <optional>

#include "document/Document.h"

namespace movigram {

// Builds a new global palette of at most `colors` (2..256) colours and maps
// every frame onto it; collapseLocal makes frames with a local palette
// contribute and join the global palette.  Colours that fit are kept exactly
// (OptimizedPalette.h); otherwise the document's quantiser makes the
// palette and its dithering puts the frames on it.  Returns false, changing nothing, when there are no
// pixels to count.
bool reduceColors(Document& doc, int colors, bool collapseLocal);

// The colour the document's background index shows in its global palette,
// if it has one.
std::optional<PaletteEntry> backgroundColor(const Document& doc);

// Maps every image frame onto the global palette in fixed mode; frames with a
// local palette are skipped unless collapseLocal, which drops their palette.
// background is the colour the background index showed in the palette that
// was replaced: the index moves to the nearest entry of the new one.  With
// dither, the document's dithering is applied (ChainDitherer.h) instead of
// the nearest colour.
void remapAllFrames(Document& doc, int progressBase, bool collapseLocal,
                    std::optional<PaletteEntry> background = std::nullopt, bool dither = false);

// 9..15 colours become 8, 17..31 become 16 and so on; powers of two and
// palettes below 9 colours stay.  Frames with local palettes are left alone.
void reduceToPowerOfTwo(Document& doc);

}  // namespace movigram
