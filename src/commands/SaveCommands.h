#pragma once
// What every save of the document shares (Save, Save as, Save optimized as
// and the preview file in FileCommands.h): the steps before the write and
// the writer's options.
#include "document/Document.h"
#include "document/GifWriter.h"

namespace movigram {

// The steps before the write: the comment frame and, with optimize, the
// optimisation passes.
void prepareForSave(Document& doc, bool optimize);
// The writer's options for the document.
GifWriteOptions writeOptionsOf(Document& doc);

}  // namespace movigram
