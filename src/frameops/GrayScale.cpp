#include "GrayScale.h"

#include "colour/PaletteMapping.h"
#include "colour/ReadingPolicy.h"
#include "document/EditScope.h"

namespace movigram {

void grayColorTable(TDib256& image) {
    const int n = image.colorsImportant != 0 ? std::min(image.colorsImportant, 256) : 256;
    for (int k = 0; k < n; ++k) {
        if (n < 16 && (image.fixedColorMask >> k) & 1) continue;
        RgbQuad& c = image.colors()[size_t(k)];
        // In hundredths, so that the truncation is exact.
        const auto gray = uint8_t((30 * c.red + 59 * c.green + 11 * c.blue) / 100);
        c.red = c.green = c.blue = gray;
    }
}

void grayFrame(TFrame& frame) {
    if (!frame.image) return;
    frame.localPalette.reset();
    grayColorTable(*frame.image);
    // Colours that turned into the same gray share one entry from now on;
    // the transparent value counts as in use so that it stays apart from
    // them, and the frame's index follows the new numbering.
    auto palette = std::make_unique<TMyPalette>();
    frame.image->transparentIndex = frame.transparentIndex;
    mapToPalette(*frame.image, *palette, false, false);
    if (frame.transparentIndex >= 0 && frame.image->colorMap)
        frame.transparentIndex = (*frame.image->colorMap)[size_t(frame.transparentIndex & 0xFF)];
    frame.image->transparentIndex = frame.transparentIndex;
    frame.localPalette = std::move(palette);
}

void recordGrayScale(Document& doc, const std::string& label) { beginEdit(doc, EditScope::whole(doc, label)); }

void cancelGrayScale(Document& doc) { cancelEdit(doc); }

void applyGrayScale(Document& doc, FrameSelection selection) {
    selection = normalizeSelection(doc.frameList, std::move(selection));
    for (int32_t i : selection) grayFrame(*doc.frameList.frameAt(i));
    rebuildAfterEdit(doc);
    // Every frame changed takes a palette of its own.
    commitEdit(doc, {.palette = true});
}

bool grayScale(Document& doc, FrameSelection selection, const std::string& label) {
    selection = normalizeSelection(doc.frameList, std::move(selection));
    if (selection.empty()) return false;
    recordGrayScale(doc, label);
    applyGrayScale(doc, std::move(selection));
    return true;
}

}  // namespace movigram
