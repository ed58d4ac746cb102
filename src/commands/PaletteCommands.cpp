#include "PaletteCommands.h"

#include <filesystem>

#include "colour/ColorReduction.h"
#include "colour/PaletteFile.h"
#include "document/EditScope.h"
#include "document/Undo.h"
#include "import/PaletteLoading.h"

namespace movigram {

bool loadGlobalPalette(Document& doc, const std::string& path) {
    // The load maps every frame onto the new palette, so the whole animation
    // is recorded first, with the palette before the load.
    EditScope edit(doc, EditScope::whole(doc, "load palette"));
    doc.paletteDir = std::filesystem::path(path).parent_path().string();
    if (!loadPalette(doc, path).loaded) {
        edit.cancel();
        return false;
    }
    doc.fixedPaletteName = path;
    return true;
}

bool chooseFixedPalette(Document& doc, const std::string& path) {
    if (!loadGlobalPalette(doc, path)) return false;
    doc.globalPaletteMode = GlobalPaletteMode::Fixed;
    doc.notify(&DocumentObserver::optionsChanged);
    return true;
}

void restoreFixedPalette(Document& doc) {
    if (doc.globalPaletteMode != GlobalPaletteMode::Fixed) return;
    if (!doc.fixedPaletteName.empty() && loadPalette(doc, doc.fixedPaletteName).loaded) return;
    doc.globalPaletteMode = GlobalPaletteMode::Automatic;
    doc.notify(&DocumentObserver::optionsChanged);
}

std::string proposedPaletteName(const Document& doc) {
    if (doc.fileName.empty()) return {};
    return std::filesystem::path(doc.fileName).replace_extension(".PAL").string();
}

bool storeGlobalPalette(Document& doc, const std::string& path) {
    doc.paletteDir = std::filesystem::path(path).parent_path().string();
    return storePalette(doc.globalPalette ? *doc.globalPalette : TMyPalette(), path);
}

void beginReduceColorDepth(Document& doc) {
    doc.notify(&DocumentObserver::editStarting);
    recordWhole(doc, "reduce colors");
}

void cancelReduceColorDepth(Document& doc) {
    // While recording is off nothing was pushed, and the newest record
    // belongs to an earlier command.
    if (doc.undo.enabled()) popUndo(doc);
}

bool finishReduceColorDepth(Document& doc, int colors, const QuantizeOptions& quantize) {
    if (doc.quantize != quantize) {
        doc.quantize = quantize;
        doc.notify(&DocumentObserver::optionsChanged);
    }
    if (!reduceColors(doc, colors, true)) {
        cancelReduceColorDepth(doc);
        return false;
    }
    commitEdit(doc);
    return true;
}

}  // namespace movigram
