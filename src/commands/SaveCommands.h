#pragma once
// Writing the document: the plain save and the optimising save.
#include <string>

#include "document/Document.h"
#include "document/GifWriter.h"

namespace movigram {

// Saves the whole animation to path: the comment frame goes first when the
// option is on; with optimize the frames are optimised first (dirty
// rectangles, power-of-two colours when asked, transparent mask, split and
// merging), which changes the document's frames.  A failed write shows
// "Error %d" and leaves the document as it was.
GifWriteResult saveDocumentAs(Document& doc, const std::string& path, bool optimize);

// Prepares a copy of the document as a save does and writes it.  With keep,
// the document takes the prepared frames (comment frame, optimised frames,
// palette) once the file is written; otherwise, and whenever the write
// fails, the document is left as it was.  A failed write shows "Error %d".
GifWriteResult writePreparedCopy(Document& doc, const std::string& path, bool optimize, bool keep);

// The steps before the write: the comment frame and, with optimize, the
// optimisation passes.
void prepareForSave(Document& doc, bool optimize);
// The writer's options for the document.
GifWriteOptions writeOptionsOf(Document& doc);

}  // namespace movigram
