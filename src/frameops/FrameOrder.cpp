#include "FrameOrder.h"

#include "FlipRotate.h"
#include "document/EditScope.h"
#include "document/Undo.h"
#include "document/GrowthLimits.h"

namespace movigram {

namespace {

// Dragging lines of the frame list is no command of the menus: its undo
// label is its own.
constexpr const char* moveFramesLabel = "move frames";

}  // namespace

bool duplicateFrames(Document& doc, FrameSelection selection, int32_t count, const std::string& label) {
    selection = normalizeSelection(doc.frameList, std::move(selection));
    if (selection.empty() || count < 2) return false;
    uint64_t runBytes = 0;
    for (int32_t i : selection)
        if (const TFrame* f = doc.frameList.frameAt(i); f->image) runBytes += f->image->byteSize();
    if (!growthFits(doc.frameList, uint64_t(count - 1), selection.size(), runBytes)) return false;
    FrameChain copies;
    for (int32_t n = 1; n < count; ++n)
        for (int32_t i : selection) copies.push_back(doc.frameList.frameAt(i)->clone());
    insertFrames(doc, 0, std::move(copies), label);
    return true;
}

bool reverseOrder(Document& doc, FrameSelection selection, const std::string& label) {
    selection = normalizeSelection(doc.frameList, std::move(selection));
    if (selection.size() < 2) return false;
    EditScope edit(doc, TUndo::indexed(UndoKind::OrderReversed, doc.frameList, selection, label));
    reverseFrames(doc.frameList, selection);
    showFrame(doc, selection.front());
    return true;
}

bool moveFrames(Document& doc, int32_t first, int32_t count, int32_t destination) {
    const int32_t n = doc.frameList.count();
    if (first < 0 || count < 1 || first + count > n || destination < 0 || destination > n ||
        (destination >= first && destination <= first + count))
        return false;
    auto record = std::make_unique<TUndo>();
    record->kind = UndoKind::FramesMoved;
    record->first = first;
    record->last = first + count - 1;
    record->indices = {destination};
    record->label = moveFramesLabel;
    EditScope edit(doc, std::move(record));
    doc.frameList.move(first, count, destination);
    doc.frameList.select(destination > first ? destination - count : destination);
    doc.fileSize = doc.previousFileSize = -1;
    edit.touches({.title = true});
    edit.commit();
    return true;
}

bool insertSolidColor(Document& doc, int32_t colorIndex, const std::string& label) {
    if (doc.frameList.empty() || colorIndex < 0 || colorIndex > 255) return false;
    const TMyPalette none;
    auto frame = TFrame::blank(doc.screenWidth, doc.screenHeight, colorIndex,
                               doc.globalPalette ? *doc.globalPalette : none);
    frame->name = "Solid color";
    FrameChain chain;
    chain.push_back(std::move(frame));
    insertFrames(doc, InsertShowFirst, std::move(chain), label);
    return true;
}

}  // namespace movigram
