#include "Undo.h"

#include <algorithm>

#include "EditScope.h"
#include "FrameTransforms.h"

namespace movigram {

namespace {

void menuChanged(Document& doc) { doc.undoLabelEdited(); }

// Told at the moment it happens, so that nobody finds out at the next Undo.
void reportDropped(Document& doc, int dropped) {
    if (dropped <= 0) return;
    doc.host().showStatus(dropped == 1 ? "Undo memory is full: the oldest step can no longer be undone"
                                       : "Undo memory is full: the " + std::to_string(dropped) +
                                             " oldest steps can no longer be undone");
}

bool sameImage(const TDib256& a, const TDib256& b) {
    return a.width() == b.width() && a.height() == b.height() && a.colorsUsed == b.colorsUsed &&
           a.colorsImportant == b.colorsImportant && a.fixedColorMask == b.fixedColorMask &&
           a.transparentIndex == b.transparentIndex && a.colors() == b.colors() && a.byteSize() == b.byteSize() &&
           std::equal(a.bits(), a.bits() + a.byteSize(), b.bits());
}

// Whether putting the saved frame back would change nothing.
bool sameFrame(const TFrame& saved, const TFrame& live) {
    auto samePointee = [](const auto& x, const auto& y, auto same) { return x && y ? same(*x, *y) : !x && !y; };
    return !saved.isComment && !live.isComment && saved.name == live.name && saved.frameTime == live.frameTime &&
           saved.repeat == live.repeat && saved.rect == live.rect && saved.dirtyRect == live.dirtyRect &&
           saved.restoreToBackground == live.restoreToBackground && saved.overlay == live.overlay &&
           saved.unchanged == live.unchanged && saved.withoutControl == live.withoutControl &&
           saved.backgroundIndex == live.backgroundIndex && saved.transparentIndex == live.transparentIndex &&
           samePointee(saved.localPalette, live.localPalette, std::equal_to<TMyPalette>()) &&
           samePointee(saved.image, live.image, sameImage);
}

// A record of changed frames keeps only the frames the edit did change: the
// others are the document's own, and holding a second copy of them would
// cost memory for nothing.  What remains is an index record of those frames.
void dropUnchanged(TUndo& record, const FrameList& list) {
    const bool changes = record.kind == UndoKind::FramesChanged || record.kind == UndoKind::WholeChanged;
    if (!changes || !record.deepCopy || record.savedFrames.empty()) return;
    std::vector<int32_t> positions = record.indices;
    if (!record.indexShape) {
        positions.clear();
        for (int32_t i = record.first; i <= record.last; ++i) positions.push_back(i);
    }
    if (positions.size() < record.savedFrames.size() || list.count() <= positions.back()) return;
    if (record.kind == UndoKind::WholeChanged && list.count() != int32_t(positions.size())) return;
    std::vector<bool> same(record.savedFrames.size());
    for (size_t k = 0; k < same.size(); ++k) {
        const TFrame* live = list.frameAt(positions[k]);
        same[k] = live && sameFrame(*record.savedFrames[k], *live);
    }
    if (std::find(same.begin(), same.end(), true) == same.end()) return;
    std::vector<int32_t> kept;
    std::vector<std::unique_ptr<TFrame>> frames;
    int64_t bytes = 0;
    for (size_t k = 0; k < same.size(); ++k) {
        if (same[k]) continue;
        bytes += undoBytesOf(*record.savedFrames[k]);
        kept.push_back(positions[k]);
        frames.push_back(std::move(record.savedFrames[k]));
    }
    record.kind = UndoKind::FramesChanged;
    record.indexShape = true;
    record.indices = std::move(kept);
    record.savedFrames = std::move(frames);
    record.bytes = bytes;
}

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

// Keeps a frame that applying a record took out of the list in the record's
// inverse, which needs exactly that frame to take the step back: moved, not
// copied.
void keep(TUndo& inverse, std::unique_ptr<TFrame> frame) {
    if (inverse.deepCopy) inverse.bytes += undoBytesOf(*frame);
    inverse.savedFrames.push_back(std::move(frame));
}

// Puts a saved frame in place of the live frame at index and keeps the live
// frame in the inverse.  A shallow copy first takes over the live frame's
// image, name and local palette, which leaves the live frame as the shallow
// copy the inverse needs.
void replaceFrame(FrameList& list, int index, std::unique_ptr<TFrame> saved, bool deep, TUndo& inverse) {
    TFrame* live = list.frameAt(index);
    if (!live) return;
    if (!deep) {
        saved->image = std::move(live->image);
        saved->localPalette = std::move(live->localPalette);
        saved->name = std::move(live->name);
    }
    list.setText(index, saved->name);
    std::unique_ptr<TFrame> old = list.setFrame(index, std::move(saved));
    old->next = nullptr;
    keep(inverse, std::move(old));
}

// Saved frames as list entries named after themselves.
std::vector<FrameList::Entry> entriesOf(std::vector<std::unique_ptr<TFrame>>& frames) {
    std::vector<FrameList::Entry> entries;
    entries.reserve(frames.size());
    for (auto& frame : frames) {
        std::string name = frame->name;
        entries.push_back({std::move(name), std::move(frame)});
    }
    return entries;
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
    case UndoKind::ListReplaced:
        return true;
    default:
        return allWithin();
    }
}

// Applies the record to the frames; the frames it replaces or removes go to
// the inverse (made by inverseOf), which takes them in list order.
void apply(Document& doc, TUndo& record, TUndo& inverse) {
    FrameList& list = doc.frameList;
    const bool changes = record.kind == UndoKind::FramesChanged || record.kind == UndoKind::WholeChanged;
    if (!record.indexShape) {
        if (record.kind == UndoKind::FramesRemoved) {
            list.insertRange(record.first, entriesOf(record.savedFrames));
        } else if (changes) {
            size_t next = 0;
            for (int32_t i = record.first; i <= record.last && next < record.savedFrames.size(); ++i)
                replaceFrame(list, i, std::move(record.savedFrames[next++]), record.deepCopy, inverse);
        } else if (record.kind == UndoKind::FramesInserted) {
            for (auto& entry : list.takeRange(record.first, record.last - record.first + 1))
                keep(inverse, std::move(entry.frame));
        } else if (record.kind == UndoKind::ListReplaced) {
            for (auto& entry : list.takeAll()) keep(inverse, std::move(entry.frame));
            list.insertRange(list.count(), entriesOf(record.savedFrames));
            inverse.first = 0;
            inverse.last = int32_t(inverse.savedFrames.size()) - 1;
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
        list.insertAt(record.indices, entriesOf(record.savedFrames));
        break;
    case UndoKind::FramesChanged:
    case UndoKind::WholeChanged: {
        for (size_t k = 0; k < record.savedFrames.size() && k < record.indices.size(); ++k)
            replaceFrame(list, record.indices[k], std::move(record.savedFrames[k]), record.deepCopy, inverse);
        break;
    }
    case UndoKind::FramesInserted:
        for (auto& entry : list.takeAt(record.indices)) keep(inverse, std::move(entry.frame));
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

std::unique_ptr<TUndo> takeFrames(Document& doc, const std::vector<int32_t>& positions, const std::string& label,
                                  bool rangeShape) {
    auto record = std::make_unique<TUndo>();
    record->kind = UndoKind::FramesRemoved;
    record->label = label;
    record->backgroundIndex = doc.backgroundIndex;
    if (rangeShape && !positions.empty()) {
        record->first = positions.front();
        record->last = positions.back();
        if (doc.globalPalette) record->palette = std::make_unique<TMyPalette>(*doc.globalPalette);
    } else {
        record->indexShape = true;
        record->indices = positions;
    }
    for (auto& entry : doc.frameList.takeAt(positions)) {
        entry.frame->next = nullptr;
        record->bytes += undoBytesOf(*entry.frame);
        record->savedFrames.push_back(std::move(entry.frame));
    }
    return record;
}

void settleUndo(Document& doc) {
    if (!doc.undo.pending()) return;
    if (TUndo* newest = doc.undo.newestPending()) dropUnchanged(*newest, doc.frameList);
    reportDropped(doc, doc.undo.settle());
}

void setUndoBudget(Document& doc, int64_t bytes) {
    const int dropped = doc.undo.setBudget(bytes);
    menuChanged(doc);
    reportDropped(doc, dropped);
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

// A record of the same shape as `record` without frames, for apply to fill.
std::unique_ptr<TUndo> emptyLike(const TUndo& record, UndoKind kind) {
    auto inverse = std::make_unique<TUndo>();
    inverse->kind = kind;
    inverse->indexShape = record.indexShape;
    inverse->first = record.first;
    inverse->last = record.last;
    inverse->indices = record.indices;
    inverse->deepCopy = record.deepCopy;
    inverse->label = record.label;
    return inverse;
}

// The record that takes back what applying `record` is about to do: the
// positions it fills and the palette it replaces, taken from the document
// as it is now; the frames it replaces or removes join it as apply takes
// them out.
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
        inverse = emptyLike(record, UndoKind::FramesRemoved);
        break;
    case UndoKind::FramesChanged:
    case UndoKind::WholeChanged:
    case UndoKind::ListReplaced:
        inverse = emptyLike(record, record.kind);
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
void applyWhole(Document& doc, TUndo& record, TUndo& inverse) {
    doc.startEdit();
    apply(doc, record, inverse);
    if (record.palette) {
        doc.globalPalette = std::move(record.palette);
        // A palette rebuild moves the background index with the colours.
        doc.backgroundIndex = record.backgroundIndex;
    }
    doc.relink();
    doc.transparentIndex = documentTransparent(doc.firstFrame);
    doc.sameTransparent = sameTransparent(doc.firstFrame);
    doc.changed({.palette = true});
}

}  // namespace

namespace {

// Undo and Redo: the newest record of one side is applied whole and its
// inverse goes on top of the other side.  A record that no longer fits the
// frames is dropped, nothing of it applied, not even its palette, and the
// user is told.
void step(Document& doc, bool redoing) {
    UndoJournal& journal = doc.undo;
    reportDropped(doc, journal.settle());
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
    applyWhole(doc, *record, *inverse);
    record.reset();
    const int dropped = redoing ? journal.pushRedone(std::move(inverse)) : journal.pushRedo(std::move(inverse));
    if (redoing) doc.setModified(true);
    menuChanged(doc);
    reportDropped(doc, dropped);
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
    for (auto& frame : frames) frame->next = nullptr;
    if (flags & InsertReversed) std::reverse(frames.begin(), frames.end());
    c = list.insertRange(c, entriesOf(frames));
    if (!(flags & InsertReversed)) c += n;
    list.select(std::min(c, list.count() - 1));
    doc.fileSize = doc.previousFileSize = -1;
    edit.touches({.title = true});
    edit.commit();
    if (flags & InsertShowFirst) doc.showFrameAt(std::max(a, 0));
}

}  // namespace movigram
