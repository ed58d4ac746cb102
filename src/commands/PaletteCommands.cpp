#include "PaletteCommands.h"

#include <filesystem>

#include "colour/ColorReduction.h"
#include "colour/PaletteFile.h"
#include "document/EditScope.h"
#include "import/PaletteLoading.h"

namespace movigram {

bool loadGlobalPalette(Document& doc, const std::string& path, const std::string& label) {
    // The load maps every frame onto the new palette, so the whole animation
    // is recorded first, with the palette before the load.
    EditScope edit(doc, EditScope::whole(doc, label));
    doc.paletteDir = std::filesystem::path(path).parent_path().string();
    if (!loadPalette(doc, path).loaded) {
        edit.cancel();
        return false;
    }
    doc.fixedPaletteName = path;
    return true;
}

bool chooseFixedPalette(Document& doc, const std::string& path, const std::string& label) {
    if (!loadGlobalPalette(doc, path, label)) return false;
    doc.setGlobalPaletteMode(GlobalPaletteMode::Fixed);
    return true;
}

void restoreFixedPalette(Document& doc) {
    if (doc.globalPaletteMode != GlobalPaletteMode::Fixed) return;
    if (!doc.fixedPaletteName.empty() && loadPalette(doc, doc.fixedPaletteName).loaded) return;
    doc.setGlobalPaletteMode(GlobalPaletteMode::Automatic);
}

std::string proposedPaletteName(const Document& doc) {
    if (doc.fileName.empty()) return {};
    return std::filesystem::path(doc.fileName).replace_extension(".PAL").string();
}

bool storeGlobalPalette(Document& doc, const std::string& path) {
    doc.paletteDir = std::filesystem::path(path).parent_path().string();
    return storePalette(doc.globalPalette ? *doc.globalPalette : TMyPalette(), path);
}

void beginReduceColorDepth(Document& doc, const std::string& label) { beginEdit(doc, EditScope::whole(doc, label)); }

void cancelReduceColorDepth(Document& doc) { cancelEdit(doc); }

bool finishReduceColorDepth(Document& doc, int colors, const QuantizeOptions& quantize) {
    doc.setQuantize(quantize);
    if (!reduceColors(doc, colors, true)) {
        cancelReduceColorDepth(doc);
        return false;
    }
    commitEdit(doc);
    return true;
}

}  // namespace movigram
