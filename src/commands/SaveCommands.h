#pragma once
// What every save of the document shares (Save, Save as, Save optimized as
// and the preview file in FileCommands.h): the steps before the write and
// the writer's options.
#include <cstdint>
#include <vector>

#include "document/Document.h"
#include "save/GifWriter.h"

namespace movigram {

// Prepares a copy of the document as a save does and writes it.  With keep,
// the document takes the prepared frames (comment frame, optimised frames,
// palette) once the file is written; otherwise, and whenever the write
// fails, the document is left as it was.  A failed write shows "Error %d".
GifWriteResult writePreparedCopy(Document& doc, const std::string& path, bool optimize, bool keep);

// A copy of what a save prepares and writes: the frames with the fields the
// optimiser reads, the palette and the options.  It tells the same host, so
// that the status texts and the gauge show (unless quiet, for work on
// another thread), but the view never sees it.
std::unique_ptr<Document> copyForSave(Document& doc, bool quiet = false);

// The bytes the same save would write, made from a copy that tells no
// host; the document is not changed.  Empty when the writer failed.
std::vector<uint8_t> savedBytes(Document& doc, bool optimize);

// The steps before the write: the comment frame and, with optimize, the
// optimisation passes.
void prepareForSave(Document& doc, bool optimize);
// The writer's options for the document (lossy as an optimising save
// writes).
GifWriteOptions writeOptionsOf(Document& doc);

}  // namespace movigram
