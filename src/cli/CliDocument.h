#pragma once
// Opening and saving a document from the command line the way the editor's
// Open and Save as do it for a GIF file.
#include <string>

#include "CliSupport.h"
#include "document/Document.h"

namespace movigram::cli {

// Reports to stderr; the command-line tool has no window.
class StderrHost : public Host {
public:
    void showMessage(const std::string& caption, const std::string& text, MessageIcon) override;
};

// Replaces the document's contents with the GIF file at path, through the
// palette reading policy.  Throws CliError when nothing could be read; a
// file read only in part is reported and kept.
void openGif(Document& doc, const std::string& path);

// Makes the palette of the file (".pal", or the colours of a ".gif", ".bmp"
// or ".pcx" image) the document's fixed global palette.
void loadFixedPalette(Document& doc, const std::string& path);

// "Save as" (optimize false) or "Save optimized as" (optimize true).
void saveGifAs(Document& doc, const std::string& path, bool optimize);

}  // namespace movigram::cli
