#include "Undo.h"

#include <algorithm>

#include "EditScope.h"
#include "FrameTransforms.h"

namespace movigram {

namespace {

void menuChanged(Document& doc) { doc.notify(&DocumentObserver::undoLabelChanged); }

// Where a moved block sits now, and the destination that moves it back.
struct MoveBack {
    int32_t first, destination;
};
MoveBack moveBack(const TUndo& move) {
    const int32_t count = move.last - move.first + 1;
    const int32_t destination = move.indices.front();
    const int32_t now = destination > move.first ? destination - count : destination;
    return {now, now < move.first ? move.first + count : move.first};
}

// Puts a saved frame in place of the live frame at index.  A shallow copy
// first takes over the live frame's image, name and local palette.
void replaceFrame(FrameList& list, int index, std::unique_ptr<TFrame> saved, bool deep) {
    TFrame* live = list.frameAt(index);
    if (!live) return;
    if (!deep) {
        saved->image = std::move(live->image);
        saved->localPalette = std::move(live->localPalette);
        saved->name = std::move(live->name);
    }
    list.setText(index, saved->name);
    list.setFrame(index, std::move(saved));
}

void restoreFrame(FrameList& list, int at, std::unique_ptr<TFrame> frame) {
    std::string name = frame->name;
    if (at < list.count()) list.insert(at, std::move(name), std::move(frame));
    else list.append(std::move(name), std::move(frame));
}

// Whether the record can be applied whole to the list as it is now.  Every
// command that changes the number of frames records or empties the journal,
// so a record that does not fit is one a command forgot to take or drop.
bool fits(const TUndo& record, const FrameList& list) {
    const int32_t n = list.count();
    auto within = [n](int32_t i) { return i >= 0 && i < n; };
    auto allWithin = [&] { return std::all_of(record.indices.begin(), record.indices.end(), within); };
    switch (record.kind) {
    case UndoKind::FramesRemoved:
        if (!record.indexShape) return record.first >= 0 && record.first <= n;
        // Each frame goes back at its position among those restored before it.
        for (size_t k = 0; k < record.indices.size(); ++k)
            if (record.indices[k] < 0 || record.indices[k] > n + int32_t(k)) return false;
        return true;
    case UndoKind::WholeChanged:
        return record.indexShape ? size_t(n) == record.indices.size() && allWithin()
                                 : n == record.last - record.first + 1;
    case UndoKind::FramesChanged:
        return record.indexShape ? allWithin()
                                 : record.first > record.last || (within(record.first) && within(record.last));
    case UndoKind::FramesInserted:
        return record.indexShape ? allWithin()
                                 : record.first <= record.last && within(record.first) && within(record.last);
    case UndoKind::FramesMoved:
        return !record.indices.empty() && record.first <= record.last && within(record.first) &&
               within(record.last) && record.indices.front() >= 0 && record.indices.front() <= n;
    case UndoKind::TimingChanged:
        return size_t(n) == record.indices.size();
    default:
        return allWithin();
    }
}

void apply(Document& doc, TUndo& record) {
    FrameList& list = doc.frameList;
    const bool changes = record.kind == UndoKind::FramesChanged || record.kind == UndoKind::WholeChanged;
    if (!record.indexShape) {
        if (record.kind == UndoKind::FramesRemoved) {
            int32_t at = record.first;
            for (auto& frame : record.savedFrames) restoreFrame(list, at++, std::move(frame));
        } else if (changes) {
            size_t next = 0;
            for (int32_t i = record.first; i <= record.last && next < record.savedFrames.size(); ++i)
                replaceFrame(list, i, std::move(record.savedFrames[next++]), record.deepCopy);
        } else if (record.kind == UndoKind::FramesInserted) {
            for (int32_t n = record.last - record.first + 1; n > 0; --n) list.erase(record.first);
        } else if (record.kind == UndoKind::FramesMoved && !record.indices.empty()) {
            // The block now starts where the move put it; move it back.
            const MoveBack back = moveBack(record);
            list.move(back.first, record.last - record.first + 1, back.destination);
            list.select(record.first);
        }
        record.savedFrames.clear();
        return;
    }
    switch (record.kind) {
    case UndoKind::FramesRemoved:
        for (size_t k = 0; k < record.savedFrames.size() && k < record.indices.size(); ++k)
            restoreFrame(list, record.indices[k], std::move(record.savedFrames[k]));
        break;
    case UndoKind::FramesChanged:
    case UndoKind::WholeChanged: {
        for (size_t k = 0; k < record.savedFrames.size() && k < record.indices.size(); ++k)
            replaceFrame(list, record.indices[k], std::move(record.savedFrames[k]), record.deepCopy);
        break;
    }
    case UndoKind::FramesInserted:
        for (auto i = record.indices.rbegin(); i != record.indices.rend(); ++i) list.erase(*i);
        break;
    case UndoKind::OrderReversed:
        reverseFrames(list, record.indices);
        if (!record.indices.empty()) list.select(record.indices.front());
        break;
    case UndoKind::Flipped:
    case UndoKind::Mirrored:
    case UndoKind::Rotated90:
    case UndoKind::Rotated180:
    case UndoKind::Rotated270:
        for (int32_t i : record.indices) {
            TFrame* f = list.frameAt(i);
            if (!f || !f->image) continue;
            if (record.kind == UndoKind::Flipped) flipFrame(*f);
            else if (record.kind == UndoKind::Mirrored) mirrorFrame(*f);
            else rotateFrame(*f, rotationOfKind(record.kind));
        }
        break;
    case UndoKind::TimingChanged:
        for (size_t k = 0; k < record.indices.size() && int(k) < list.count(); ++k) {
            list.frameAt(int(k))->repeat = record.indices[k];
            if (k < record.frameTimes.size()) list.frameAt(int(k))->frameTime = record.frameTimes[k];
        }
        doc.frameTime = record.first;
        break;
    default: break;
    }
    record.savedFrames.clear();
}

}  // namespace

void pushUndo(Document& doc, std::unique_ptr<TUndo> record) {
    if (!record) return;
    if (!doc.undo.enabled()) {
        doc.undo.showLabel(record->label);
    } else {
        doc.undo.push(std::move(record));
    }
    menuChanged(doc);
}

void recordWhole(Document& doc, const std::string& label, const TMyPalette* palette) {
    recordRange(doc, UndoKind::WholeChanged, 0, doc.frameList.count() - 1, label, palette);
}

void recordRange(Document& doc, UndoKind kind, int32_t first, int32_t last, const std::string& label,
                 const TMyPalette* palette) {
    if (!doc.undo.enabled()) {
        doc.undo.showLabel(label);
        menuChanged(doc);
        return;
    }
    auto record = TUndo::range(kind, doc.frameList, first, last, label, palette, doc.globalPalette.get());
    record->backgroundIndex = doc.backgroundIndex;
    pushUndo(doc, std::move(record));
}

void popUndo(Document& doc) {
    doc.undo.pop();
    menuChanged(doc);
}

void clearUndo(Document& doc) {
    doc.undo.clear();
    menuChanged(doc);
}

namespace {

// The record that takes back what applying `record` is about to do, taken
// from the document as it is now: the frames it replaces or removes, the
// positions it fills, the palette it replaces.
std::unique_ptr<TUndo> inverseOf(const TUndo& record, const Document& doc) {
    const FrameList& list = doc.frameList;
    const TMyPalette* global = doc.globalPalette.get();
    std::unique_ptr<TUndo> inverse;
    switch (record.kind) {
    case UndoKind::FramesRemoved: {
        const int32_t k = int32_t(record.savedFrames.size());
        if (record.indexShape) {
            // A record made by TUndo::indexed saves one frame per index.
            std::vector<int32_t> filled(record.indices.begin(), record.indices.begin() + k);
            inverse = TUndo::indexed(UndoKind::FramesInserted, list, std::move(filled), record.label);
        } else {
            inverse = TUndo::range(UndoKind::FramesInserted, list, record.first, record.first + k - 1, record.label,
                                   nullptr, global);
        }
        break;
    }
    case UndoKind::FramesInserted:
        inverse = record.indexShape
                      ? TUndo::indexed(UndoKind::FramesRemoved, list, record.indices, record.label)
                      : TUndo::range(UndoKind::FramesRemoved, list, record.first, record.last, record.label, nullptr,
                                     global);
        break;
    case UndoKind::FramesChanged:
    case UndoKind::WholeChanged:
        inverse = record.indexShape
                      ? TUndo::indexed(record.kind, list, record.indices, record.label, record.deepCopy)
                      : TUndo::range(record.kind, list, record.first, record.last, record.label, nullptr, global);
        break;
    case UndoKind::OrderReversed:
    case UndoKind::Flipped:
    case UndoKind::Mirrored:
        inverse = TUndo::indexed(record.kind, list, record.indices, record.label);
        break;
    case UndoKind::Rotated90:
    case UndoKind::Rotated180:
    case UndoKind::Rotated270:
        inverse = TUndo::indexed(undoKindForRotation(rotationOfKind(record.kind)), list, record.indices,
                                 record.label);
        break;
    case UndoKind::TimingChanged:
        inverse = TUndo::timing(list, doc.frameTime, record.label);
        break;
    case UndoKind::FramesMoved: {
        const MoveBack back = moveBack(record);
        inverse = std::make_unique<TUndo>();
        inverse->kind = UndoKind::FramesMoved;
        inverse->first = back.first;
        inverse->last = back.first + (record.last - record.first);
        inverse->indices = {back.destination};
        inverse->label = record.label;
        break;
    }
    }
    // A record that brings a palette back is answered by one that brings
    // today's palette back; range records always hold one.
    if (!record.palette) inverse->palette.reset();
    else if (!inverse->palette && global) inverse->palette = std::make_unique<TMyPalette>(*global);
    inverse->backgroundIndex = doc.backgroundIndex;
    return inverse;
}

// Applies a record that fits, with its palette, and announces the change.
void applyWhole(Document& doc, TUndo& record) {
    doc.notify(&DocumentObserver::editStarting);
    apply(doc, record);
    if (record.palette) {
        doc.globalPalette = std::move(record.palette);
        // A palette rebuild moves the background index with the colours.
        doc.backgroundIndex = record.backgroundIndex;
    }
    doc.relink();
    doc.transparentIndex = documentTransparent(doc.firstFrame);
    doc.sameTransparent = sameTransparent(doc.firstFrame);
    doc.notify(&DocumentObserver::paletteChanged);
    doc.notify(&DocumentObserver::documentChanged);
}

}  // namespace

namespace {

// Undo and Redo: the newest record of one side is applied whole and its
// inverse goes on top of the other side.  A record that no longer fits the
// frames is dropped, nothing of it applied, not even its palette, and the
// user is told.
void step(Document& doc, bool redoing) {
    UndoJournal& journal = doc.undo;
    if (!(redoing ? journal.canRedo() : journal.canUndo())) return;
    const TUndo& next = *(redoing ? journal.newestRedo() : journal.newest());
    if (!fits(next, doc.frameList)) {
        const std::string text = std::string(redoing ? "Cannot redo \"" : "Cannot undo \"") + next.label +
                                 "\": the animation has changed since";
        if (redoing) journal.popRedo();
        else journal.takeNewest();
        menuChanged(doc);
        doc.host().showStatus(text);
        return;
    }
    std::unique_ptr<TUndo> record = redoing ? journal.takeNewestRedo() : journal.takeNewest();
    std::unique_ptr<TUndo> inverse = inverseOf(*record, doc);
    applyWhole(doc, *record);
    if (redoing) {
        journal.pushRedone(std::move(inverse));
        doc.setModified(true);
    } else {
        journal.pushRedo(std::move(inverse));
    }
    menuChanged(doc);
}

}  // namespace

void undo(Document& doc) { step(doc, false); }

void redo(Document& doc) { step(doc, true); }

void insertFrames(Document& doc, int flags, FrameChain frames, const std::string& label) {
    FrameList& list = doc.frameList;
    const int a = list.selectedIndex();
    const int n = int(frames.size());
    if (n == 0) return;
    // Without a current frame the frames go to the end.
    int c = a < 0 ? list.count() : (flags & InsertAfter ? a + 1 : a);
    EditScope edit(doc, EditScope::range(doc, UndoKind::FramesInserted, c, c + n - 1, label));
    for (auto& frame : frames) {
        frame->next = nullptr;
        std::string name = frame->name;
        list.insert(c, std::move(name), std::move(frame));
        if (!(flags & InsertReversed)) ++c;
    }
    list.select(std::min(c, list.count() - 1));
    doc.fileSize = doc.previousFileSize = -1;
    edit.commit();
    doc.notify(&DocumentObserver::fileNameChanged);
    if (flags & InsertShowFirst) doc.showFrameAt(std::max(a, 0));
}

}  // namespace movigram
