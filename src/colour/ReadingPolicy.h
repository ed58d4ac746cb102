#pragma once
// The two reading policies: whether an image that enters the document keeps
// its own colours as a local palette or is translated into the global
// palette, and when one optimised palette is rebuilt for all frames.
#include <optional>

#include "document/Document.h"

namespace movigram {

// One batch of files read by Open, Append or Insert.  Automatic starts each
// batch as Cumulative and switches to Optimized for the rest of the batch
// when the global palette overflows.
class PaletteReadingBatch {
public:
    explicit PaletteReadingBatch(Document& doc);

    // A frame of a multi-frame source (GIF or video), before it is added.
    void acceptFrame(TFrame& frame);
    // A frame made from a single still image (already 8 bits), before it is
    // added.
    void acceptImage(TFrame& frame);
    // The background colour of a multi-frame file (its screen's background
    // index in its own colour table).  The document's background index is
    // set to that colour's place in the global palette by finish().
    void setBackground(const PaletteEntry& color) { background_ = color; }
    // After the frames were added and linked: the background's place, the
    // optimised rebuild when the batch ended Optimized (the background
    // follows it), then the document's transparent colour.
    void finish();

    GlobalPaletteMode effectiveMode() const { return mode_; }

private:
    Document& doc_;
    GlobalPaletteMode mode_;
    std::optional<PaletteEntry> background_;
};

// A frame pasted from the clipboard (image already 8 bits), before it is
// inserted; true when the caller must run reduceColors(256, true) after the
// insertion.
bool acceptPastedFrame(Document& doc, TFrame& frame);

// After gray-scale conversion and fade-in: one optimised palette again when
// local palettes are merged and the global palette is optimised.
void rebuildAfterEdit(Document& doc);
// Whether rebuildAfterEdit rebuilds (local palettes merged into an optimized
// or automatic global palette).
bool rebuildsAfterEdit(const Document& doc);

}  // namespace movigram
