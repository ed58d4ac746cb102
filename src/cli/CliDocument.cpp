#include "CliDocument.h"

#include <cstdio>

#include "import/PaletteLoading.h"

namespace movigram::cli {

void StderrHost::showMessage(const std::string&, const std::string& text, MessageIcon) {
    if (file_.empty() || text.find(file_) != std::string::npos) tell(text);
    else tell("\"" + file_ + "\": " + text);
}

void requireCleanInput(const ReadOutcome& outcome, int framesRead, bool keepPartial) {
    // Some readers fail without a message of their own (a damaged JPEG or
    // PCX image): the user still learns which file it was.
    for (const ReadProblem& p : outcome.problems)
        if (p.message.empty()) tell("File \"" + p.path + "\" could not be read: it is damaged or of an unknown kind");
    if (outcome.clean()) return;
    if (framesRead == 0) throw CliError{""};
    const std::string frames = std::to_string(framesRead) + (framesRead == 1 ? " frame" : " frames");
    if (!keepPartial)
        throw CliError{"nothing written: the input was not read cleanly (--keep-partial uses the " + frames +
                       " that were read)"};
    warn("going on with the " + frames + " that were read (--keep-partial)");
}

void openInput(Document& doc, StderrHost& host, const std::string& path, bool keepPartial) {
    host.setFile(path);
    const ReadOutcome outcome = openFiles(doc, {path});
    host.setFile({});
    requireCleanInput(outcome, doc.frameList.count(), keepPartial);
    if (doc.frameList.empty()) throw CliError{"File \"" + path + "\" holds no frame"};
}

void loadFixedPalette(Document& doc, const std::string& path) {
    if (!loadPalette(doc, path).loaded) throw CliError{"no palette could be read from \"" + path + "\""};
    doc.globalPaletteMode = GlobalPaletteMode::Fixed;
}

void saveOutput(Document& doc, const std::string& path, bool optimize) {
    if (doc.frameList.empty()) throw CliError{"nothing to save: no frame is left"};
    // The document's host has told why a save failed.
    if (!saveAs(doc, path, optimize)) throw CliError{""};
    std::printf("wrote %s\n", path.c_str());
}

}  // namespace movigram::cli
