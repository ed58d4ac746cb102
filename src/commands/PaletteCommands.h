#pragma once
// Load palette, Store palette, the Fixed global palette mode that needs a
// palette file, the fixed palette restored when the editor starts, and the
// steps of Reduce color depth around its dialog.  The editor runs the
// dialogs and hands the chosen path or count here.
#include <string>

#include "document/Document.h"

namespace movigram {

// Load palette: the whole animation is recorded under label with the
// palette before the load, then the palette is loaded and every frame mapped
// onto it.  When nothing could be loaded the record is withdrawn and the
// result is false.  A loaded file's name and folder are kept for the settings.
bool loadGlobalPalette(Document& doc, const std::string& path, const std::string& label);

// "Fixed...": Load palette (recorded under label), and the Fixed global
// palette mode only when a palette was loaded.
bool chooseFixedPalette(Document& doc, const std::string& path, const std::string& label);

// At start-up, once the settings are read: in the Fixed mode the palette of
// fixedPaletteName is loaded (nothing recorded); without a name, or when the
// file cannot be loaded, the mode becomes Automatic.
void restoreFixedPalette(Document& doc);

// Store palette: the name the save dialog proposes, the document's file
// name with its extension replaced by ".PAL" (appended when it has none),
// empty for an untitled document.
std::string proposedPaletteName(const Document& doc);
// Writes the global palette (an empty one when there is none) and keeps
// the folder for the next palette dialog.  False when the file cannot be
// written.
bool storeGlobalPalette(Document& doc, const std::string& path);

// Reduce color depth records the whole animation under label before its
// dialog opens; Cancel withdraws the record, OK builds a palette of
// `colors` (2..256) from all frames, local palettes collapsed into it.
// The quantiser and dithering chosen become the document's options.
// False, with the record withdrawn, when there are no pixels to count.
void beginReduceColorDepth(Document& doc, const std::string& label);
void cancelReduceColorDepth(Document& doc);
bool finishReduceColorDepth(Document& doc, int colors, const QuantizeOptions& quantize);

}  // namespace movigram
