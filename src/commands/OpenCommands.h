#pragma once
// Opening a GIF file as the document, the way Open reads one file.
#include <string>

#include "document/Document.h"

namespace movigram {

// Replaces the document's contents with the frames of the GIF file, placed
// into the palettes by the reading policy.  Returns the reader's result
// code; frames read before an error are kept.  An unreadable file (no frame
// at all) leaves the document as it was.
int openGifDocument(Document& doc, const std::string& path);

}  // namespace movigram
