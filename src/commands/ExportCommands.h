#pragma once
// File > "Export as..." and the command-line tool's outputs other than
// GIF: the document written as WebP, APNG, MP4 or WebM (save/Export.h).
// The export reads a copy of the document, so that it can run on another
// thread while the document stays the editor's.
#include <memory>
#include <string>

#include "document/Document.h"
#include "save/Export.h"

namespace movigram {

// The copy an export reads: the frames linked as a save links them.  Made
// on the document's thread; host as copyForSave takes it.
std::unique_ptr<Document> copyForExport(Document& doc, Host* host = nullptr);

// The document's background colour (its background entry of the global
// palette; black when it has none), what MP4 shows for transparency.
Rgba backgroundColourOf(const Document& doc);

// What the format cannot hold of the copy: the line to show before
// writing (empty when nothing is lost).
std::string exportNoteOf(Document& copy, ExportFormat format, const ExportOptions& options);

// What the format keeps and loses, for the export dialog (a screen of
// width x height): one line, said before anything is made.
std::string exportLimits(ExportFormat format, int32_t width, int32_t height);

// Writes the copy to path in format (not GIF).  progress may stop it:
// then nothing is written and the result has no error.
ExportResult exportCopy(Document& copy, ExportFormat format, const std::string& path, const ExportOptions& options,
                        Progress* progress = nullptr);

}  // namespace movigram
