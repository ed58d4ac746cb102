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

std::string exportLimits(ExportFormat format, int32_t width, int32_t height) {
    std::string text;
    switch (format) {
    case ExportFormat::Gif: break;
    case ExportFormat::WebP:
        text = "WebP keeps the frames, their delays, the loop count and transparency; below lossless, colours are "
               "approximated.";
        break;
    case ExportFormat::Apng:
        text = "APNG keeps the frames exactly, with their delays, the loop count and transparency.";
        break;
    case ExportFormat::Mp4:
        text = "MP4 has no transparency (transparent pixels show the background colour) and no loop count; colours "
               "are approximated.";
        break;
    case ExportFormat::WebM:
        text = "WebM keeps the frames, their delays and transparency, but no loop count; colours are approximated.";
        break;
    }
    if ((format == ExportFormat::Mp4 || format == ExportFormat::WebM) && ((width | height) & 1))
        text += " The " + std::to_string(width) + " x " + std::to_string(height) + " screen is padded to " +
                std::to_string(width + (width & 1)) + " x " + std::to_string(height + (height & 1)) +
                ": the format needs even sizes.";
    return text;
}

ExportResult exportCopy(Document& copy, ExportFormat format, const std::string& path, const ExportOptions& options,
                        Progress* progress) {
    return exportScreens(shownScreensOf(copy), format, path, options, progress);
}

}  // namespace movigram
