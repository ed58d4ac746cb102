#include "PaletteCommands.h"

#include <filesystem>

#include "document/EditScope.h"
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

}  // namespace movigram
