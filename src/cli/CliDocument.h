#pragma once
// Opening and saving a document from the command line the way the editor's
// Open and Save as do it, with the tool's rule for input errors: an input
// that was not read cleanly stops the command before anything is written
// (exit status 1), unless --keep-partial asks to go on with what was read.
#include <cstdint>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "commands/FileCommands.h"
#include "document/Document.h"
#include "save/Export.h"

namespace movigram::cli {

// Reports to stderr, one line per message; the command-line tool has no
// window.  While holding (reading an input), messages are kept instead, so
// that a failure and what the tool does about it make one line.
class StderrHost : public Host {
public:
    void showMessage(const std::string& caption, const std::string& text, MessageIcon) override;
    // The file being read: named in the messages that do not name it.
    void setFile(std::string path) { file_ = std::move(path); }
    void hold() { holding_ = true; }
    // The messages kept since hold(), which ends.
    std::vector<std::string> takeHeld();

private:
    std::string file_;
    bool holding_ = false;
    std::vector<std::string> held_;
};

// The input rule, after reading, given the messages the readers told:
// problems whose reader gave no message are told too; an input read with
// errors throws (status 1), unless keepPartial and some frame was read,
// which warns and goes on.  The last problem and the verdict share a line.
void requireCleanInput(std::vector<std::string> told, const ReadOutcome& outcome, int framesRead, bool keepPartial);

// Replaces the document's contents with the file at path through the
// editor's Open, then applies the input rule.
void openInput(Document& doc, StderrHost& host, const std::string& path, bool keepPartial);

// Makes the palette of the file (".pal", or the colours of a ".gif", ".bmp"
// or ".pcx" image) the document's fixed global palette.  A file that cannot
// be read, or holds no colour, fails the command naming the file.
void loadFixedPalette(Document& doc, StderrHost& host, const std::string& path);

// "Save as" (optimize false) or "Save optimized as" (optimize true) to
// exactly the path given; throws when nothing was written.
void saveOutput(Document& doc, const std::string& path, bool optimize);

// --max-size's value: "8MB", "500KB", "1.5MiB" or bytes; a usage error
// otherwise.
uint64_t byteSizeArgument(const std::string& value, const std::string& option);

// Writes the best-looking file no larger than maxBytes to exactly path,
// choosing the levers of a size target (SizeTarget.h; the lossy level at
// most bestLossy), and tells what it chose.  When even the smallest
// setting is over, nothing is written and the command fails.
void saveWithin(Document& doc, const std::string& path, uint64_t maxBytes, int bestLossy);

// The output of convert, optimize and edit: its extension chooses the
// format (.gif, .webp, .png or .apng, .mp4, .webm).  --quality Q (WebP:
// lossy at Q; lossless without) and --background R,G,B (the colour MP4
// shows for transparency; the document's background colour without) are
// taken for the formats they apply to; the GIF options are noted as they
// come, each a usage error with another format.
struct OutputChoice {
    ExportOptions options;
    bool backgroundGiven = false;
    std::vector<std::string> gifOptions;  // as typed
    // edit: "--background N" (no comma) is the step that sets the
    // background index.
    bool editSteps = false;

    // Takes --quality or --background at args[i] (moving past the value);
    // notes args[i] when it is a GIF option and returns false, as for any
    // other argument.
    bool take(const Args& args, size_t& i);
    // The format of path; usage errors for an extension the tool cannot
    // write and for options of another format.
    ExportFormat formatOf(const std::string& path) const;
};

// Writes the document to path in format (not GIF): tells what the format
// cannot hold, then writes; throws when nothing was written.
void exportOutput(Document& doc, const std::string& path, ExportFormat format, OutputChoice choice);

}  // namespace movigram::cli
