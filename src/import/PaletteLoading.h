#pragma once
// Replacing the document's global palette by a palette file or by the
// colours of an image file, and mapping every frame onto it.  It lives with
// the readers because images are read by them.
#include <memory>
#include <string>

#include "document/DecodeLimits.h"
#include "document/Document.h"

namespace movigram {

struct PaletteLoadResult {
    bool loaded = false;
    // The distinct colours the file gave: 0 for a palette file without
    // colours, a file of an unknown kind or a path without an extension.
    int colorsRead = 0;
    // The global palette before the load (null when there was none), for
    // the caller's undo step "load palette".
    std::unique_ptr<TMyPalette> previous;
};

// By the extension of path: ".pal" a palette text file (its 256 entries, the
// colours followed by black), ".gif", ".bmp" and ".pcx" the colours an image
// uses, in the order of its pixel values.  Every frame then loses its local
// palette and is mapped onto the new one in fixed mode.  A missing file
// shows "Cannot open file" and changes nothing; so does an image file that
// yields no image (after the reader's own message, if it has one).
PaletteLoadResult loadPalette(Document& doc, const std::string& path,
                              const DecodeLimits& limits = DecodeLimits::defaults());

}  // namespace movigram
