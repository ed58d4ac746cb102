#include "UndoCommands.h"

#include <algorithm>
#include <cassert>

#include "document/Optimiser.h"
#include "frameops/FlipRotate.h"

namespace movigram {

namespace {

void menuChanged(Document& doc) { doc.host().viewChanged(unsigned(ViewPart::UndoMenu)); }

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

void apply(Document& doc, TUndo& record) {
    FrameList& list = doc.frameList;
    const bool changes = record.kind == UndoKind::FramesChanged || record.kind == UndoKind::WholeChanged;
    if (!record.indexShape) {
        if (record.kind == UndoKind::FramesRemoved) {
            int32_t at = record.first;
            for (auto& frame : record.savedFrames) restoreFrame(list, at++, std::move(frame));
        } else if (changes) {
            if (record.kind == UndoKind::WholeChanged && list.count() != record.last - record.first + 1) {
                assert(!"n == N");
                return;
            }
            size_t next = 0;
            for (int32_t i = record.first; i <= record.last && next < record.savedFrames.size(); ++i)
                replaceFrame(list, i, std::move(record.savedFrames[next++]), record.deepCopy);
        } else if (record.kind == UndoKind::FramesInserted) {
            for (int32_t n = record.last - record.first + 1; n > 0; --n) list.erase(record.first);
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
        if (record.kind == UndoKind::WholeChanged && size_t(list.count()) != record.indices.size()) {
            assert(!"n == N");
            return;
        }
        for (size_t k = 0; k < record.savedFrames.size() && k < record.indices.size(); ++k)
            replaceFrame(list, record.indices[k], std::move(record.savedFrames[k]), record.deepCopy);
        break;
    }
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
            else rotateFrame(*f, (int(record.kind) - 7) * 90);
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

void undo(Document& doc) {
    if (!doc.undo.canUndo()) return;
    doc.host().stopPlayback();
    // Whatever the record destroys, the current frame is found again below.
    doc.currentFrame = nullptr;
    std::unique_ptr<TUndo> record = doc.undo.takeNewest();
    apply(doc, *record);
    if (record->palette) {
        doc.globalPalette = std::move(record->palette);
        // A palette rebuild moves the background index with the colours.
        doc.backgroundIndex = record->backgroundIndex;
    }
    menuChanged(doc);
    rethread(doc, 0);
    doc.transparentIndex = documentTransparent(doc.firstFrame);
    doc.sameTransparent = sameTransparent(doc.firstFrame);
    doc.host().viewChanged(unsigned(ViewPart::PaletteWindow) | unsigned(ViewPart::Canvas) |
                           unsigned(ViewPart::FrameList) | unsigned(ViewPart::TransparentColor));
}

void insertFrames(Document& doc, int flags, FrameChain frames, const std::string& label) {
    FrameList& list = doc.frameList;
    const int a = list.selectedIndex();
    const int n = int(frames.size());
    if (n == 0) return;
    // Without a current frame the frames go to the end.
    int c = a < 0 ? list.count() : (flags & InsertAfter ? a + 1 : a);
    recordRange(doc, UndoKind::FramesInserted, c, c + n - 1, label);
    for (auto& frame : frames) {
        frame->next = nullptr;
        std::string name = frame->name;
        list.insert(c, std::move(name), std::move(frame));
        if (!(flags & InsertReversed)) ++c;
    }
    list.select(std::min(c, list.count() - 1));
    doc.modified = true;
    doc.dirtyRectsUpToDate = false;
    doc.fileSize = doc.previousFileSize = -1;
    rethread(doc, 0);
    if (flags & InsertShowFirst) {
        list.select(std::max(a, 0));
        doc.currentFrame = list.frameAt(list.selectedIndex());
        doc.host().viewChanged(unsigned(ViewPart::Canvas));
    }
}

}  // namespace movigram
