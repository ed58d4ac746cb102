#include "CliDocument.h"

#include <cstdio>

#include "commands/OpenCommands.h"
#include "commands/SaveCommands.h"
#include "import/PaletteLoading.h"
#include "document/GifReader.h"
#include "document/GifWriter.h"

namespace movigram::cli {

void StderrHost::showMessage(const std::string& caption, const std::string& text, MessageIcon) {
    if (caption.empty()) std::fprintf(stderr, "%s\n", text.c_str());
    else std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void openGif(Document& doc, const std::string& path) {
    const int result = openGifDocument(doc, path);
    if (result == GifOk) return;
    if (doc.frameList.empty()) throw CliError{gifResultMessage(result, path)};
    // Frames read before the error are kept, as the editor keeps them.
    doc.host().showMessage("File error", gifResultMessage(result, path), MessageIcon::Stop);
}

void loadFixedPalette(Document& doc, const std::string& path) {
    if (!loadPalette(doc, path).loaded) throw CliError{"no palette could be read from \"" + path + "\""};
    doc.globalPaletteMode = GlobalPaletteMode::Fixed;
}

void saveGifAs(Document& doc, const std::string& path, bool optimize) {
    if (doc.frameList.empty()) throw CliError{"nothing to save: the document has no frames"};
    const GifWriteResult written = saveDocumentAs(doc, path, optimize);
    if (!written.ok) throw CliError{gifWriteErrorMessage(written.errorCode)};
    std::printf("wrote %s\n", written.path.c_str());
}

}  // namespace movigram::cli
