#include "EditScope.h"

#include "Undo.h"

namespace movigram {

void commitEdit(Document& doc) {
    doc.relink();
    settleUndo(doc);
    doc.setModified(true);
    doc.notify(&DocumentObserver::documentChanged);
}

EditScope::EditScope(Document& doc, std::unique_ptr<TUndo> record) : doc_(doc) {
    doc_.notify(&DocumentObserver::editStarting);
    if (record) this->record(std::move(record));
}

void EditScope::record(std::unique_ptr<TUndo> record) {
    recorded_ = doc_.undo.enabled();
    pushUndo(doc_, std::move(record));
}

std::unique_ptr<TUndo> EditScope::whole(const Document& doc, const std::string& label, const TMyPalette* palette) {
    return range(doc, UndoKind::WholeChanged, 0, doc.frameList.count() - 1, label, palette);
}

std::unique_ptr<TUndo> EditScope::range(const Document& doc, UndoKind kind, int32_t first, int32_t last,
                                        const std::string& label, const TMyPalette* palette) {
    auto record = TUndo::range(kind, doc.frameList, first, last, label, palette, doc.globalPalette.get());
    record->backgroundIndex = doc.backgroundIndex;
    return record;
}

EditScope::~EditScope() {
    try {
        commit();
    } catch (...) {
        // An edit that failed half-way still leaves a linked chain where it can.
    }
}

void EditScope::commit() {
    if (done_) return;
    done_ = true;
    commitEdit(doc_);
}

void EditScope::cancel() {
    if (done_) return;
    done_ = true;
    if (recorded_) popUndo(doc_);
}

}  // namespace movigram
