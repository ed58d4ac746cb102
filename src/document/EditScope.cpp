#include "EditScope.h"

#include "Undo.h"

namespace movigram {

void beginEdit(Document& doc, std::unique_ptr<TUndo> record) {
    doc.startEdit();
    pushUndo(doc, std::move(record));
}

void commitEdit(Document& doc, AlsoChanged also) {
    doc.relink();
    settleUndo(doc);
    doc.setModified(true);
    doc.changed(also);
}

void cancelEdit(Document& doc) {
    if (doc.undo.enabled()) popUndo(doc);
}

EditScope::EditScope(Document& doc, std::unique_ptr<TUndo> record) : doc_(doc) {
    doc_.startEdit();
    ++doc_.openScopes_;
    if (record) this->record(std::move(record));
}

void EditScope::record(std::unique_ptr<TUndo> record) {
    recorded_ = doc_.undo.enabled();
    pushUndo(doc_, std::move(record));
}

void EditScope::touches(AlsoChanged also) {
    also_.palette = also_.palette || also.palette;
    also_.title = also_.title || also.title;
}

std::unique_ptr<TUndo> EditScope::whole(const Document& doc, const std::string& label, const TMyPalette* palette) {
    return range(doc, UndoKind::WholeChanged, 0, doc.frameList.count() - 1, label, palette);
}

std::unique_ptr<TUndo> EditScope::wholeList(const Document& doc, const std::string& label) {
    return range(doc, UndoKind::ListReplaced, 0, doc.frameList.count() - 1, label);
}

std::unique_ptr<TUndo> EditScope::range(const Document& doc, UndoKind kind, int32_t first, int32_t last,
                                        const std::string& label, const TMyPalette* palette) {
    if (!doc.undo.enabled()) {
        // Recording is off: the record only shows its label, so no frame is copied.
        auto shown = std::make_unique<TUndo>();
        shown->kind = kind;
        shown->label = label;
        return shown;
    }
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
    touches(doc_.closeScope(false));
    commitEdit(doc_, also_);
}

void EditScope::cancel() {
    if (done_) return;
    done_ = true;
    doc_.closeScope(true);
    if (recorded_) popUndo(doc_);
}

}  // namespace movigram
