#pragma once
// Load palette, the Fixed global palette mode that needs one, and the fixed
// palette restored when the editor starts.  The editor runs the open dialog
// and hands the chosen path here.
#include <string>

#include "document/Document.h"

namespace movigram {

// Load palette: the whole animation is recorded ("load palette") with the
// palette before the load, then the palette is loaded and every frame mapped
// onto it.  When nothing could be loaded the record is withdrawn and the
// result is false.  A loaded file's name and folder are kept for the settings.
bool loadGlobalPalette(Document& doc, const std::string& path);

// "Fixed...": Load palette, and the Fixed global palette mode only when a
// palette was loaded.
bool chooseFixedPalette(Document& doc, const std::string& path);

// At start-up, once the settings are read: in the Fixed mode the palette of
// fixedPaletteName is loaded (nothing recorded); without a name, or when the
// file cannot be loaded, the mode becomes Automatic.
void restoreFixedPalette(Document& doc);

}  // namespace movigram
