#pragma once
// The frame of every recorded edit.  The scope takes the undo record when it
// opens (or only shows its label while recording is off); when it closes it
// relinks the chain, marks the document modified and announces the change
// once, with the palette and the title when the edit touched them (it is
// told, or the operations it ran announced them meanwhile).  An edit that
// turns out to change nothing cancels, which withdraws its record.
#include <memory>
#include <string>

#include "Document.h"
#include "UndoJournal.h"

namespace movigram {

// The halves of a scope, for a command whose record is taken before a dialog
// and whose edit is made, or abandoned, after it.
// Opening: playback stops and the record is taken.
void beginEdit(Document& doc, std::unique_ptr<TUndo> record);
// Closing: relink, modified, and the change announced.
void commitEdit(Document& doc, AlsoChanged also = {});
// Abandoning: the record is withdrawn (while recording is off nothing was
// pushed, and the newest record belongs to an earlier command).
void cancelEdit(Document& doc);

class EditScope {
public:
    // record may be null for an edit that is not recorded.
    EditScope(Document& doc, std::unique_ptr<TUndo> record);
    // A kind-3 record of all frames; palette null means the global palette.
    static std::unique_ptr<TUndo> whole(const Document& doc, const std::string& label,
                                        const TMyPalette* palette = nullptr);
    // Every frame, for an edit that removes some and changes others.
    static std::unique_ptr<TUndo> wholeList(const Document& doc, const std::string& label);
    static std::unique_ptr<TUndo> range(const Document& doc, UndoKind kind, int32_t first, int32_t last,
                                        const std::string& label, const TMyPalette* palette = nullptr);
    ~EditScope();
    EditScope(const EditScope&) = delete;
    EditScope& operator=(const EditScope&) = delete;

    Document& doc() { return doc_; }
    // The record, for an edit that can only make it once it has begun (one
    // that moves the frames it removes into it).
    void record(std::unique_ptr<TUndo> record);
    // The edit touches the palette or the title too: closing announces them.
    void touches(AlsoChanged also);
    // Ends the edit now (the destructor does it otherwise).
    void commit();
    // Nothing changed after all: the record is withdrawn, nothing announced.
    void cancel();

private:
    Document& doc_;
    AlsoChanged also_;
    bool recorded_ = false;
    bool done_ = false;
};

}  // namespace movigram
