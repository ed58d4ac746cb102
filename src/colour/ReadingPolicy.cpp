#include "ReadingPolicy.h"

#include "ColorReduction.h"
#include "PaletteMapping.h"
#include "document/FrameChain.h"

namespace movigram {

namespace {

// Maps a frame's image into the global palette, carrying its transparent
// index along.
void mapIntoGlobal(TFrame& frame, TMyPalette& global, bool fixed) {
    frame.image->transparentIndex = frame.transparentIndex;
    mapToPalette(*frame.image, global, fixed, false);
    if (frame.transparentIndex >= 0 && frame.image->colorMap)
        frame.transparentIndex = (*frame.image->colorMap)[size_t(frame.transparentIndex & 0xFF)];
}

void giveOwnPalette(TFrame& frame) {
    frame.localPalette = std::make_unique<TMyPalette>(paletteFromImage(*frame.image));
}

}  // namespace

PaletteReadingBatch::PaletteReadingBatch(Document& doc)
    : doc_(doc),
      mode_(doc.globalPaletteMode == GlobalPaletteMode::Automatic ? GlobalPaletteMode::Cumulative
                                                                   : doc.globalPaletteMode) {
    if (!doc_.globalPalette) doc_.globalPalette = std::make_unique<TMyPalette>();
}

void PaletteReadingBatch::acceptFrame(TFrame& frame) {
    if (doc_.localPaletteMode == LocalPaletteMode::Merge && mode_ == GlobalPaletteMode::Cumulative)
        frame.localPalette.reset();
    if (!frame.image) return;
    if (doc_.localPaletteMode == LocalPaletteMode::Create) giveOwnPalette(frame);
    if (frame.localPalette) {
        compactLocalPalette(frame);
        return;
    }
    if (doc_.globalPaletteMode == GlobalPaletteMode::Automatic &&
        !mapToPalette(*frame.image, *doc_.globalPalette, false, true)) {
        mode_ = GlobalPaletteMode::Optimized;
        giveOwnPalette(frame);
        return;
    }
    mapIntoGlobal(frame, *doc_.globalPalette, mode_ == GlobalPaletteMode::Fixed);
}

void PaletteReadingBatch::acceptImage(TFrame& frame) {
    if (!frame.image) return;
    if (doc_.localPaletteMode != LocalPaletteMode::Create &&
        (mode_ == GlobalPaletteMode::Fixed || mode_ == GlobalPaletteMode::Cumulative)) {
        if (doc_.globalPaletteMode == GlobalPaletteMode::Automatic &&
            !mapToPalette(*frame.image, *doc_.globalPalette, false, true)) {
            mode_ = GlobalPaletteMode::Optimized;
        } else {
            mapIntoGlobal(frame, *doc_.globalPalette, mode_ == GlobalPaletteMode::Fixed);
        }
    }
    if (doc_.localPaletteMode == LocalPaletteMode::Create || mode_ == GlobalPaletteMode::Optimized)
        giveOwnPalette(frame);
}

void PaletteReadingBatch::finish() {
    if (background_) {
        // The colour goes into the palette like any frame's colour: appended
        // while there is room, else the nearest entry stands in for it.
        TDib256 swatch(1, 1);
        swatch.colors()[0] = {background_->blue, background_->green, background_->red, 0};
        swatch.colorsUsed = 1;
        mapToPalette(swatch, *doc_.globalPalette, mode_ == GlobalPaletteMode::Fixed, false);
        doc_.backgroundIndex = swatch.pixel(0, 0);
        setBackgroundAll(doc_.firstFrame, doc_.backgroundIndex);
    }
    if (mode_ == GlobalPaletteMode::Optimized) {
        doc_.host().setProgress(0);
        reduceColors(doc_, 256, true);
    }
    doc_.transparentIndex = documentTransparent(doc_.firstFrame);
    if (doc_.globalPalette) doc_.globalPalette->transparentIndex = doc_.transparentIndex;
    doc_.paletteEdited();
}

bool acceptPastedFrame(Document& doc, TFrame& frame) {
    if (!frame.image) return false;
    if (!doc.globalPalette) doc.globalPalette = std::make_unique<TMyPalette>();
    GlobalPaletteMode mode = doc.globalPaletteMode == GlobalPaletteMode::Automatic ? GlobalPaletteMode::Cumulative
                                                                                   : doc.globalPaletteMode;
    if (doc.localPaletteMode == LocalPaletteMode::Create) {
        giveOwnPalette(frame);
        compactLocalPalette(frame);
        return false;
    }
    if (doc.globalPaletteMode == GlobalPaletteMode::Automatic &&
        !mapToPalette(*frame.image, *doc.globalPalette, false, true)) {
        giveOwnPalette(frame);
        return true;
    }
    mapIntoGlobal(frame, *doc.globalPalette, mode == GlobalPaletteMode::Fixed);
    return mode == GlobalPaletteMode::Optimized;
}

bool rebuildsAfterEdit(const Document& doc) {
    return doc.localPaletteMode == LocalPaletteMode::Merge &&
           (doc.globalPaletteMode == GlobalPaletteMode::Optimized ||
            doc.globalPaletteMode == GlobalPaletteMode::Automatic);
}

void rebuildAfterEdit(Document& doc) {
    if (rebuildsAfterEdit(doc)) reduceColors(doc, 256, true);
}

}  // namespace movigram
