#pragma once
// Opening and saving a document from the command line the way the editor's
// Open and Save as do it, with the tool's rule for input errors: an input
// that was not read cleanly stops the command before anything is written
// (exit status 1), unless --keep-partial asks to go on with what was read.
#include <string>
#include <vector>

#include "CliSupport.h"
#include "commands/FileCommands.h"
#include "document/Document.h"

namespace movigram::cli {

// Reports to stderr, one line per message; the command-line tool has no
// window.
class StderrHost : public Host {
public:
    void showMessage(const std::string& caption, const std::string& text, MessageIcon) override;
    // The file being read: named in the messages that do not name it.
    void setFile(std::string path) { file_ = std::move(path); }

private:
    std::string file_;
};

// The input rule, after reading: problems whose reader gave no message are
// told here; an input read with errors throws (status 1), unless keepPartial
// and some frame was read, which warns and goes on.
void requireCleanInput(const ReadOutcome& outcome, int framesRead, bool keepPartial);

// Replaces the document's contents with the file at path through the
// editor's Open, then applies the input rule.
void openInput(Document& doc, StderrHost& host, const std::string& path, bool keepPartial);

// Makes the palette of the file (".pal", or the colours of a ".gif", ".bmp"
// or ".pcx" image) the document's fixed global palette.
void loadFixedPalette(Document& doc, const std::string& path);

// "Save as" (optimize false) or "Save optimized as" (optimize true) to
// exactly the path given; throws when nothing was written.
void saveOutput(Document& doc, const std::string& path, bool optimize);

}  // namespace movigram::cli
