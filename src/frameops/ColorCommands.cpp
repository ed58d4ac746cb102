#include "ColorCommands.h"

#include <algorithm>
#include <utility>

#include "colour/ColorReduction.h"
#include "colour/PaletteMapping.h"
#include "document/Compose.h"
#include "document/EditScope.h"
#include "document/FrameChain.h"

namespace movigram {

namespace {

// A merge may touch the palette and leaves nothing for an optimising save.
void finishMerge(EditScope& edit) {
    edit.doc().optimizable = false;
    edit.touches({.palette = true, .title = true});
}

// Merging needs every frame involved on one palette; a frame on a local
// palette sends the whole animation through one optimised palette first.
void collapseLocalPalettes(Document& doc, bool needed) {
    if (needed) reduceColors(doc, 256, true);
}

// A copy of a frame on a palette of its own whose pixels are moved onto the
// global palette: each colour is found there, added while there is room, or
// else approximated.  The frames on the global palette take the colours
// added into their colour tables, which later mappings read.
std::unique_ptr<TFrame> onGlobalPalette(Document& doc, const TFrame& frame) {
    if (!doc.globalPalette) doc.globalPalette = std::make_unique<TMyPalette>();
    TMyPalette& global = *doc.globalPalette;
    auto copy = frame.clone();
    copy->localPalette.reset();
    copy->image->transparentIndex = -1;
    const int before = global.colorCount;
    mapToPalette(*copy->image, global, false, false);
    if (global.colorCount != before) {
        const ColorTable table = global.toColorTable();
        for (int i = 0; i < doc.frameList.count(); ++i)
            if (TFrame& f = *doc.frameList.frameAt(i); f.image && !f.localPalette) {
                f.image->colors() = table;
                f.image->colorsUsed = global.colorCount;
            }
    }
    return copy;
}

}  // namespace

void beginTransparentPick(Document& doc, const std::string& label) { beginEdit(doc, EditScope::whole(doc, label)); }

int32_t pickedIndexAt(const Document& doc, TPoint point) {
    const TFrame* f = doc.currentFrame;
    if (!f || !f->image) return -1;
    const TRect& r = f->rect;
    if (point.x < r.left || point.y < r.top || point.x >= r.right || point.y >= r.bottom) return -1;
    const int32_t x = point.x - r.left, y = point.y - r.top;
    if (x >= f->image->width() || y >= f->image->height()) return -1;
    return f->image->pixel(x, y);
}

bool setPickedColor(Document& doc, PickMode mode, int32_t index) {
    if (index < -1 || index > 255) return false;
    if (mode == PickMode::Transparent) {
        TFrame* current = doc.currentFrame;
        if (index != doc.transparentIndex) doc.setModified(true);
        if (current && current->localPalette) {
            if (current->transparentIndex != index) doc.setModified(true);
            current->transparentIndex = index;
        } else if (!doc.frameList.empty()) {
            doc.transparentIndex = index;
            setTransparentAll(doc.firstFrame, index, false);
            // New images keep their transparent pixels apart from this entry.
            if (doc.globalPalette) doc.globalPalette->transparentIndex = index;
        }
        doc.sameTransparent = sameTransparent(doc.firstFrame);
    } else if (mode == PickMode::Background) {
        if (index != doc.backgroundIndex) doc.setModified(true);
        doc.backgroundIndex = index;
        setBackgroundAll(doc.firstFrame, index);
    } else {
        return false;
    }
    doc.relink();
    doc.changed({.palette = true, .title = true});
    return true;
}

void mergeUnderPlaced(TFrame& frame, const TFrame& background) {
    if (!frame.image || !background.image || frame.transparentIndex < 0 || frame.localPalette) return;
    const TRect overlap = frame.rect.intersected(background.rect);
    if (overlap.isEmpty()) return;
    const auto t = uint8_t(frame.transparentIndex);
    TDib256& image = *frame.image;
    bool stillTransparent = false;
    for (int32_t y = 0; y < image.height(); ++y) {
        uint8_t* row = image.row(y);
        const int32_t sy = frame.rect.top + y;
        for (int32_t x = 0; x < image.width(); ++x) {
            if (row[x] != t) continue;
            const int32_t sx = frame.rect.left + x;
            if (sx >= background.rect.left && sx < background.rect.right && sy >= background.rect.top &&
                sy < background.rect.bottom)
                row[x] = background.image->pixel(sx - background.rect.left, sy - background.rect.top);
            else
                stillTransparent = true;
        }
    }
    // A frame reaching beyond the background keeps its transparent pixels
    // there, and with them its transparent index.
    if (stillTransparent) return;
    frame.transparentIndex = -1;
    frame.restoreToBackground = false;
    frame.dirtyRect = frame.rect;
}

void stampOver(TFrame& background, const TFrame& frame) {
    if (!background.image || !frame.image || frame.transparentIndex < 0 || frame.localPalette ||
        background.localPalette)
        return;
    background.image->blit(frame.rect.left - background.rect.left, frame.rect.top - background.rect.top,
                           *frame.image, frame.transparentIndex);
}

bool mergeBackground(Document& doc, const std::string& label) {
    TFrame* b = doc.currentFrame;
    if (!b || !b->image) return false;
    // Recorded before B changes, so that undo gives back its transparency.
    EditScope edit(doc, EditScope::whole(doc, label));
    b->transparentIndex = -1;
    b->restoreToBackground = false;
    bool local = false;
    for (TFrame* f = b->next; f && f != b; f = f->next) local = local || f->localPalette != nullptr;
    collapseLocalPalettes(doc, local);
    // A background on a palette of its own gives the following frames its
    // colours, not its pixel values.
    const std::unique_ptr<TFrame> mapped = b->localPalette ? onGlobalPalette(doc, *b) : nullptr;
    const TFrame& background = mapped ? *mapped : *b;

    FrameList& list = doc.frameList;
    int firstMerged = -1;
    for (int i = list.indexOf(b) + 1; i > 0 && i < list.count(); ++i) {
        TFrame& f = *list.frameAt(i);
        if (!f.image) continue;
        if (f.transparentIndex < 0) break;
        mergeUnderPlaced(f, background);
        if (firstMerged < 0) firstMerged = i;
    }
    if (firstMerged >= 0) list.select(firstMerged);
    finishMerge(edit);
    return true;
}

bool mergeForeground(Document& doc, const std::string& label) {
    TFrame* fg = doc.currentFrame;
    if (!fg || !fg->image || fg->transparentIndex < 0) return false;
    EditScope edit(doc, EditScope::whole(doc, label));
    FrameList& list = doc.frameList;
    const int at = list.indexOf(fg);
    bool local = false;
    for (int i = 0; i <= at; ++i) local = local || list.frameAt(i)->localPalette != nullptr;
    collapseLocalPalettes(doc, local);
    for (int i = 0; i < at; ++i)
        if (TFrame& p = *list.frameAt(i); p.image) stampOver(p, *fg);
    finishMerge(edit);
    return true;
}

bool unoptimize(Document& doc, const std::string& label) {
    FrameList& list = doc.frameList;
    if (list.empty()) return false;
    StatusText status(doc.host(), "Unoptimizing...");
    // Every image changes; older records that share images with the live
    // frames stay valid only when this step can be taken back first.
    EditScope edit(doc, EditScope::whole(doc, label));
    doc.relink();
    const TMyPalette none;
    const int fill = doc.transparentIndex >= 0 ? doc.transparentIndex : std::max(doc.backgroundIndex, 0);
    // The walk reads each frame's own image for the restore step of the
    // next one: the screens are put in once it is done.
    std::vector<std::pair<int, std::unique_ptr<TDib256>>> screens;
    forEachScreen(list, {doc.screenWidth, doc.screenHeight}, doc.globalPalette ? *doc.globalPalette : none, fill,
                  doc.backgroundIndex, [&](int i, const TDib256& screen) {
                      auto full = std::make_unique<TDib256>(screen);
                      const TDib256& own = *list.frameAt(i)->image;
                      full->fixedColorMask = own.fixedColorMask;
                      full->transparentIndex = own.transparentIndex;
                      screens.emplace_back(i, std::move(full));
                  });
    const TRect screen{0, 0, doc.screenWidth, doc.screenHeight};
    for (auto& [i, image] : screens) {
        TFrame& f = *list.frameAt(i);
        f.image = std::move(image);
        f.rect = f.dirtyRect = screen;
    }
    finishMerge(edit);
    return true;
}

TMyPalette& shownPalette(Document& doc) {
    if (doc.currentFrame && doc.currentFrame->localPalette) return *doc.currentFrame->localPalette;
    if (!doc.globalPalette) doc.globalPalette = std::make_unique<TMyPalette>();
    return *doc.globalPalette;
}

int addPaletteEntry(Document& doc, PaletteEntry color) {
    TMyPalette& palette = shownPalette(doc);
    if (palette.colorCount >= 256) return -1;
    color.flags = 0;
    const int index = palette.colorCount++;
    palette.setEntry(index, color);
    // Announced with the new count, so that a view shows the new entry.
    doc.paletteEdited();
    return index;
}

void removeAddedEntry(Document& doc, int index) {
    TMyPalette& palette = shownPalette(doc);
    if (index != palette.colorCount - 1 || index < 0) return;
    palette.setEntry(index, {});
    --palette.colorCount;
    doc.paletteEdited();
}

void replacePaletteEntries(Document& doc, const std::array<PaletteEntry, 256>& entries) {
    TMyPalette& palette = shownPalette(doc);
    for (int i = 0; i < 256; ++i) palette.setEntry(i, entries[size_t(i)]);
    // The images' colour tables follow their palette, which later mappings
    // read colours from.
    const ColorTable table = palette.toColorTable();
    if (doc.currentFrame && &palette == doc.currentFrame->localPalette.get()) {
        if (doc.currentFrame->image) doc.currentFrame->image->colors() = table;
    } else {
        for (int i = 0; i < doc.frameList.count(); ++i)
            if (TFrame& f = *doc.frameList.frameAt(i); f.image && !f.localPalette) f.image->colors() = table;
    }
    doc.setModified(true);
    doc.changed({.palette = true, .title = true});
}

bool canDeletePaletteEntry(const Document& doc, int index) {
    const TFrame* current = doc.currentFrame;
    const bool local = current && current->localPalette;
    const TMyPalette* shown = local ? current->localPalette.get() : doc.globalPalette.get();
    // Fixed mapping needs two colours; a palette of one accepts new colours.
    if (!shown || index < 0 || index >= shown->colorCount || shown->colorCount <= 2) return false;
    return !local || current->image;
}

bool deletePaletteEntry(Document& doc, int index, const std::string& label) {
    if (!canDeletePaletteEntry(doc, index)) return false;
    TMyPalette& shown = shownPalette(doc);
    const bool global = &shown == doc.globalPalette.get();
    TFrame* current = doc.currentFrame;
    // Every pixel may change: recorded so that undo can give them back.
    EditScope edit(doc, EditScope::whole(doc, label));
    edit.touches({.palette = true, .title = true});

    auto reduced = std::make_unique<TMyPalette>();
    for (int i = 0, k = 0; i < shown.colorCount; ++i)
        if (i != index) reduced->setEntry(k++, shown.entry(i));
    reduced->colorCount = shown.colorCount - 1;
    const int t = shown.transparentIndex;
    reduced->transparentIndex = t == index ? -1 : (t > index ? t - 1 : t);

    if (global) {
        doc.globalPalette = std::move(reduced);
        remapAllFrames(doc, 100, false);
        doc.globalPalette->transparentIndex = doc.transparentIndex;
    } else {
        current->localPalette = std::move(reduced);
        TDib256& image = *current->image;
        image.transparentIndex = current->transparentIndex;
        mapToPalette(image, *current->localPalette, true, false);
        if (current->transparentIndex >= 0 && image.colorMap)
            current->transparentIndex = (*image.colorMap)[size_t(current->transparentIndex & 0xFF)];
    }
    return true;
}

}  // namespace movigram
