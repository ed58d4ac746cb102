#include "ExportCommands.h"

#include "SaveCommands.h"

namespace movigram {

std::unique_ptr<Document> copyForExport(Document& doc, Host* host) {
    std::unique_ptr<Document> copy = copyForSave(doc, host);
    copy->relink();
    return copy;
}

Rgba backgroundColourOf(const Document& doc) {
    if (!doc.globalPalette || doc.backgroundIndex < 0 || doc.backgroundIndex >= doc.globalPalette->colorCount)
        return {0, 0, 0, 255};
    const PaletteEntry& e = doc.globalPalette->entry(doc.backgroundIndex);
    return {e.red, e.green, e.blue, 255};
}

std::string exportNoteOf(Document& copy, ExportFormat format, const ExportOptions& options) {
    return exportNote(format, shownScreensOf(copy), options);
}

ExportResult exportCopy(Document& copy, ExportFormat format, const std::string& path, const ExportOptions& options,
                        Progress* progress) {
    return exportScreens(shownScreensOf(copy), format, path, options, progress);
}

}  // namespace movigram
