#pragma once
// The Edit menu's clipboard commands on the system clipboard.  The core
// decides what a frame becomes on the clipboard and what a paste makes of
// what is there; this class only moves those bytes to and from QClipboard:
// the program's own format under its MIME type, the image, plain text.
#include <cstdint>

#include "commands/ClipboardCommands.h"

namespace movigram {

class EditClipboard {
public:
    void copy(const Document& doc);
    void cut(Document& doc);
    void paste(Document& doc, PastePlace place);

    // Whether the clipboard holds something Paste takes: the program's
    // format, an image or text.
    static bool offersPaste();

private:
    // Names pasted bitmaps "Clipboard %d"; counts from 1 for each run of the program.
    int32_t pasteCounter_ = 1;
};

}  // namespace movigram
