#pragma once
// Recording, applying and inserting with the document's undo journal.
#include <memory>
#include <string>

#include "Document.h"
#include "FrameChain.h"

namespace movigram {

// Pushes the record, or only shows its label while recording is off.
void pushUndo(Document& doc, std::unique_ptr<TUndo> record);
// The edit in progress is done: its record keeps only the frames the edit
// changed, and older records beyond the budget are dropped (the user is told).
void settleUndo(Document& doc);
// Takes the frames at the ascending positions out of the list into a
// frames-removed record, which keeps the frames themselves rather than
// copies.  A range record (consecutive positions) also keeps the global
// palette, as every range record does.
std::unique_ptr<TUndo> takeFrames(Document& doc, const std::vector<int32_t>& positions, const std::string& label,
                                  bool rangeShape);
// Options > Undo memory: the journal's budget, dropping (and telling) what
// no longer fits.
void setUndoBudget(Document& doc, int64_t bytes);
// Withdraws the newest record (a command cancelled after recording).
void popUndo(Document& doc);
void clearUndo(Document& doc);

// Edit > Undo: applies the newest record, restores its palette, relinks, and
// keeps the record's inverse for Redo.
void undo(Document& doc);
// Edit > Redo: applies the newest redo record the same way and keeps its
// inverse for Undo.
void redo(Document& doc);

// Flags of insertFrames: 1 after the current frame (else before it), 2 in
// reverse order, 4 show the first inserted frame afterwards.
enum InsertFlags : int { InsertAfter = 1, InsertReversed = 2, InsertShowFirst = 4 };

// Inserts the frames around the current frame, recording a kind-4 record
// under label.
void insertFrames(Document& doc, int flags, FrameChain frames, const std::string& label);

}  // namespace movigram
