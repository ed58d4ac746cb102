#pragma once
// The undo journal: a stack of records, each holding what one editing
// command needs to be taken back — copies of frames, frame positions, the
// global palette or frame timing.  The frames a record holds count against a
// memory budget (an eighth of the machine's memory, at least 256 MiB, unless
// the user sets another); older records beyond it are dropped.  Undoing a
// record leaves its inverse on the redo side, and redoing leaves the inverse
// of that on the undo side, so a user can go back and forth; a new edit
// empties the redo side.  Both sides share the budget.
//
// A record pushed for an edit stays pending until the edit settles it: only
// then are older records dropped for it, so that an edit withdrawn before it
// changed anything (a cancelled dialog) leaves the journal as it was.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FrameList.h"
#include "TMyPalette.h"

namespace movigram {

enum class UndoKind : int32_t {
    FramesRemoved = 1,
    FramesChanged = 2,
    WholeChanged = 3,
    FramesInserted = 4,
    OrderReversed = 5,
    Flipped = 6,
    Mirrored = 7,
    Rotated90 = 8,
    Rotated180 = 9,
    Rotated270 = 10,
    TimingChanged = 11,
    // A block of frames dragged to another place: first..last moved before
    // the item at indices[0].
    FramesMoved = 12,
    // The whole list, frames removed and changed at once (a faster replay
    // that drops frames, merged duplicates): undo puts every saved frame
    // back in place of those there now.
    ListReplaced = 13,
};

// The kind that undoes a clockwise rotation by degrees (90, 180 or 270).
UndoKind undoKindForRotation(int degrees);
// The clockwise rotation a rotated kind applies (90, 180 or 270), 0 for others.
int rotationOfKind(UndoKind kind);

struct TUndo {
    UndoKind kind = UndoKind::FramesChanged;
    // Range records cover first..last; index records list positions in
    // indices (ascending); timing records keep every frame's repeat in
    // indices and the document frame time in first.
    bool indexShape = false;
    std::vector<std::unique_ptr<TFrame>> savedFrames;
    int32_t first = 0;
    int32_t last = 0;
    std::vector<int32_t> indices;
    // Timing records also keep every frame's time unit, which a change of
    // frame rate rewrites along with the repeats.
    std::vector<int32_t> frameTimes;
    std::unique_ptr<TMyPalette> palette;
    // The document's background index, which goes with the palette.
    int32_t backgroundIndex = -1;
    // A shallow record's frames hold the fields but not the image, name and
    // local palette, which stay with the live frames.
    bool deepCopy = true;
    int64_t bytes = 0;
    std::string label;

    // Frames first..last (kinds 1 to 3; kind 4 saves none); the palette copy
    // is of `palette`, or of `global` when that is null.
    static std::unique_ptr<TUndo> range(UndoKind kind, const FrameList& list, int32_t first, int32_t last,
                                        std::string label, const TMyPalette* palette, const TMyPalette* global);
    // The frames at the given positions (kinds 1 to 3), deep or shallow.
    static std::unique_ptr<TUndo> indexed(UndoKind kind, const FrameList& list, std::vector<int32_t> indices,
                                          std::string label, bool deep = true);
    static std::unique_ptr<TUndo> timing(const FrameList& list, int32_t documentFrameTime, std::string label);
};

// Memory a deep copy of the frame holds: bitmap header, colour table, pixels.
int64_t undoBytesOf(const TFrame& frame);

class UndoJournal {
public:
    static constexpr int64_t mib = int64_t(1) << 20;
    static constexpr int64_t minimumDefaultBudget = 256 * mib;
    // An eighth of physical memory, at least 256 MiB.
    static int64_t defaultBudget();

    int64_t budget() const { return budget_; }
    // Takes effect at the next edit; returns the records dropped to fit it now.
    int setBudget(int64_t bytes);
    // Memory held by the records of both sides.
    int64_t bytesHeld() const;

    // A new edit: settles the edit before it, then links the record in as
    // the newest, pending, and empties the redo side.
    void push(std::unique_ptr<TUndo> record);
    // The pending edit is done: drops the oldest records beyond the budget
    // (never the newest); returns how many were dropped.
    int settle();
    // Destroys the newest record (an edit withdrawn before it changed
    // anything): the redo side the push emptied comes back.
    void pop();
    std::unique_ptr<TUndo> takeNewest();
    // Empties both sides.
    void clear();

    // The inverse of a record just undone, as the newest to redo; returns
    // how many records were dropped to fit it.
    int pushRedo(std::unique_ptr<TUndo> record);
    std::unique_ptr<TUndo> takeNewestRedo();
    // The inverse of a record just redone, as the newest to undo; the redo
    // side stays.  Returns how many records were dropped to fit it.
    int pushRedone(std::unique_ptr<TUndo> record);
    void popRedo();

    bool pending() const { return pending_; }
    // The record of the edit in progress, for the edit to finish it.
    TUndo* newestPending() { return pending_ ? records_.back().get() : nullptr; }
    const TUndo* newest() const { return records_.empty() ? nullptr : records_.back().get(); }
    const TUndo* newestRedo() const { return redo_.empty() ? nullptr : redo_.back().get(); }
    size_t size() const { return records_.size(); }
    size_t redoSize() const { return redo_.size(); }
    bool empty() const { return records_.empty(); }
    bool canRedo() const { return enabled_ && !redo_.empty(); }

    // Recording switch ("Enable undo"); switching it either way empties the journal.
    bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    bool canUndo() const { return enabled_ && !records_.empty(); }

    // What a command shows in the Undo item while recording is off.
    void showLabel(std::string label) { shownLabel_ = std::move(label); }
    // "&Undo %s\tCtrl+Z" with the newest record's label.
    std::string menuText() const;
    // "&Redo %s\tCtrl+Y" with the label of the record to redo, "&Redo\tCtrl+Y"
    // when there is none.
    std::string redoMenuText() const;

private:
    // Drops the oldest undo records, then the redo records farthest from
    // now, until both sides fit the budget; never keep.  Returns how many.
    int trim(const TUndo* keep);

    std::vector<std::unique_ptr<TUndo>> records_;  // oldest first
    std::vector<std::unique_ptr<TUndo>> redo_;     // the next to redo last
    // The redo side a push emptied, until the pushed record is kept or withdrawn.
    std::vector<std::unique_ptr<TUndo>> emptiedRedo_;
    bool pending_ = false;
    bool enabled_ = true;
    int64_t budget_ = defaultBudget();
    std::string shownLabel_;
};

}  // namespace movigram
