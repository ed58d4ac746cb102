#include "ClipboardCommands.h"

#include <algorithm>
#include <climits>

#include "ClipboardFormats.h"
#include "CommandTable.h"
#include "colour/ColorReduction.h"
#include "colour/ReadingPolicy.h"
#include "document/DecodeLimits.h"
#include "document/EditScope.h"
#include "document/FrameChain.h"
#include "document/Undo.h"
#include "frameops/FrameSelection.h"
#include "import/BmpReader.h"
#include "import/ImageReaders.h"

namespace movigram {

namespace {

const TMyPalette& paletteInUse(const Document& doc, const TFrame& frame) {
    static const TMyPalette none;
    if (frame.localPalette) return *frame.localPalette;
    return doc.globalPalette ? *doc.globalPalette : none;
}

// After frames came or went: the document's transparent colour follows them.
void frameSetChanged(Document& doc) {
    doc.transparentIndex = documentTransparent(doc.firstFrame);
    doc.sameTransparent = sameTransparent(doc.firstFrame);
    forgetFileSizes(doc);
    doc.paletteEdited();
}

// Cut and Delete take the frame on the screen, which during playback may be
// ahead of the selected line.
bool removeCurrent(Document& doc, const std::string& label) {
    const int i = doc.frameList.indexOf(doc.currentFrame);
    if (!doc.currentFrame || i < 0) return false;
    EditScope edit(doc, nullptr);
    edit.record(takeFrames(doc, {i}, label, true));
    if (!doc.frameList.empty()) doc.frameList.select(std::min(i, doc.frameList.count() - 1));
    edit.commit();
    frameSetChanged(doc);
    return true;
}

// The highest pixel value the image uses, or -1 for an empty image.
int highestValueUsed(const TDib256& image) {
    int highest = -1;
    for (int32_t y = 0; y < image.height(); ++y) {
        const uint8_t* row = image.row(y);
        for (int32_t x = 0; x < image.width(); ++x) highest = std::max(highest, int(row[x]));
    }
    return highest;
}

// Whether the frame's pixels show the same colours on the document's global
// palette as on the palette it was held with.
bool drawnAlike(const TDib256& image, const TMyPalette& held, const TMyPalette& global) {
    bool used[256] = {};
    for (int32_t y = 0; y < image.height(); ++y) {
        const uint8_t* row = image.row(y);
        for (int32_t x = 0; x < image.width(); ++x) used[row[x]] = true;
    }
    for (int i = 0; i < 256; ++i) {
        if (!used[i]) continue;
        const PaletteEntry &a = held.entry(i), &b = global.entry(i);
        if (i >= global.colorCount || a.red != b.red || a.green != b.green || a.blue != b.blue) return false;
    }
    return true;
}

// What a paste inserts, before its colours are brought into the document.
struct Pasted {
    std::unique_ptr<TFrame> frame;
    bool bringColorsIn = false;  // a bitmap, or a held frame from another palette
};

std::optional<Pasted> heldFramePaste(const Document& doc, std::span<const uint8_t> bytes) {
    std::optional<HeldFrame> held = decodeHeldFrame(bytes);
    if (!held) return std::nullopt;
    Pasted pasted{std::move(held->frame)};
    TFrame& frame = *pasted.frame;
    // Within one animation the frame is pasted exactly as it was held.  Its
    // pixels are indices into the palette it was drawn with; where the
    // global palette has other colours there (another animation, a rebuilt
    // palette), the frame's colours come in as a pasted bitmap's do.
    if (!frame.localPalette && (!doc.globalPalette || !drawnAlike(*frame.image, held->palette, *doc.globalPalette))) {
        frame.image->colors() = held->palette.toColorTable();
        frame.image->colorsUsed = std::max(held->palette.colorCount, highestValueUsed(*frame.image) + 1);
        pasted.bringColorsIn = true;
    }
    return pasted;
}

// nullopt: not a bitmap.  A frame-less result: the reduction failed (told).
std::optional<Pasted> bitmapPaste(Document& doc, std::span<const uint8_t> bytes, int32_t& pasteCounter) {
    DecodedImage decoded = decodeBmp(bytes);
    if (!decoded) return std::nullopt;
    std::unique_ptr<TDib256> image = std::move(decoded.indexed);
    if (!image) {
        image = reduceTo256(*decoded.trueColor, doc);
        if (!image) {
            doc.host().showMessage("Error", "Color reduction failed on image from clipboard", MessageIcon::Stop);
            return Pasted{};
        }
    }
    Pasted pasted{std::make_unique<TFrame>("Clipboard " + std::to_string(pasteCounter), std::move(image)), true};
    ++pasteCounter;
    // Shown for one time unit of the animation, as a still image read from a file.
    pasted.frame->frameTime = doc.frameTime;
    return pasted;
}

// A frame from the clipboard must lie where a GIF can place it, and the
// screen it makes with the animation must stay within what one image may
// be, as a shift keeps it.  Told when it does not.
bool screenFitsWith(Document& doc, const TRect& rect) {
    constexpr uint64_t gifCoordinateLimit = 65535;
    const uint64_t limit = DecodeLimits::defaults().maxImagePixels;
    const uint64_t right = uint64_t(std::max<int64_t>(doc.screenWidth, rect.right));
    const uint64_t bottom = uint64_t(std::max<int64_t>(doc.screenHeight, rect.bottom));
    if (right > gifCoordinateLimit || bottom > gifCoordinateLimit) {
        doc.host().showMessage("Error", "The frame cannot be pasted: a GIF keeps its frames between 0 and 65535 pixels.",
                               MessageIcon::Stop);
        return false;
    }
    if (right <= limit && bottom <= limit && right * bottom <= limit) return true;
    doc.host().showMessage("Error",
                           "Failed to allocate memory: the animation would grow past " +
                               std::to_string(limit >> 20) + " megapixels.",
                           MessageIcon::Stop);
    return false;
}

// The document plays and saves every frame in its own time unit: a frame
// from another animation keeps its display time, to the nearest unit, and
// stays shown for at least one unit when it was shown at all.
void toDocumentTimeUnit(const Document& doc, TFrame& frame) {
    const int64_t unit = std::max(doc.frameTime, 1);
    const int64_t shown = int64_t(frame.frameTime) * frame.repeat;
    int64_t repeat = (shown + unit / 2) / unit;
    if (shown > 0) repeat = std::max<int64_t>(repeat, 1);
    frame.frameTime = int32_t(unit);
    frame.repeat = int32_t(std::min<int64_t>(repeat, INT32_MAX / unit));
}

}  // namespace

std::optional<ClipboardContent> copyFrame(const Document& doc) {
    const TFrame* frame = doc.currentFrame;
    if (!frame) return std::nullopt;
    ClipboardContent content;
    if (frame->image) {
        const TMyPalette& palette = paletteInUse(doc, *frame);
        content.heldFrame = encodeHeldFrame(*frame, palette);
        content.bitmap = bitmapFileOf(*frame->image, palette);
    } else if (const auto* comment = dynamic_cast<const TTextFrame*>(frame)) {
        content.text = plainTextOf(*comment);
    }
    return content;
}

std::optional<ClipboardContent> cutFrame(Document& doc, const std::string& label) {
    if (doc.frameList.selectedIndex() < 0) return std::nullopt;
    std::optional<ClipboardContent> content = copyFrame(doc);
    if (content && !removeCurrent(doc, label)) return std::nullopt;
    return content;
}

bool deleteFrame(Document& doc, const std::string& label) { return removeCurrent(doc, label); }

bool pasteFrame(Document& doc, const PasteSource& source, PastePlace place, int32_t& pasteCounter,
                const std::string& label) {
    std::optional<Pasted> pasted;
    if (!source.heldFrame.empty()) pasted = heldFramePaste(doc, source.heldFrame);
    if (!pasted && !source.bitmap.empty()) {
        pasted = bitmapPaste(doc, source.bitmap, pasteCounter);
        if (pasted && !pasted->frame) return false;
    }
    if (!pasted && source.text && !source.text->empty()) {
        const std::string text = source.text->substr(0, maxCommentFileBytes);
        pasted = Pasted{std::make_unique<TTextFrame>(doc.host().textMeasurer(), text)};
    }
    if (!pasted) return false;
    if (pasted->frame->image) {
        if (!screenFitsWith(doc, pasted->frame->rect)) return false;
        toDocumentTimeUnit(doc, *pasted->frame);
    }

    if (!doc.globalPalette) doc.globalPalette = std::make_unique<TMyPalette>();
    FrameList& list = doc.frameList;
    const int at = place == PastePlace::AtEnd || list.selectedIndex() < 0 ? list.count() : list.selectedIndex();
    // The record keeps the global palette as it is before the frame's
    // colours enter it.
    EditScope edit(doc, EditScope::range(doc, UndoKind::FramesInserted, at, at, label));
    const bool rebuild = pasted->bringColorsIn && acceptPastedFrame(doc, *pasted->frame);
    std::string name = pasted->frame->name;
    list.insert(at, std::move(name), std::move(pasted->frame));
    list.select(at);
    edit.commit();
    if (rebuild) {
        // One palette for all frames remaps every frame: recorded on its own
        // so that undoing the paste never leaves frames on a palette that is
        // no longer there.
        EditScope rebuildEdit(doc, EditScope::whole(doc, undoLabelOf(CommandId::ReduceColorDepth)));
        doc.host().setProgress(0);
        reduceColors(doc, 256, true);
    }
    frameSetChanged(doc);
    return true;
}

}  // namespace movigram
