#include "PaletteCommands.h"

#include <filesystem>

#include "document/Undo.h"
#include "import/PaletteLoading.h"

namespace movigram {

bool loadGlobalPalette(Document& doc, const std::string& path) {
    doc.host().stopPlayback();
    const std::string label = "load palette";
    // The load maps every frame onto the new palette, so the record is taken
    // first; it joins the journal only once a palette was loaded, so that a
    // failed load leaves the journal as it was.
    std::unique_ptr<TUndo> record;
    if (doc.undo.enabled())
        record = TUndo::range(UndoKind::WholeChanged, doc.frameList, 0, doc.frameList.count() - 1, label, nullptr,
                              doc.globalPalette.get());
    doc.paletteDir = std::filesystem::path(path).parent_path().string();
    if (!loadPalette(doc, path).loaded) return false;
    doc.fixedPaletteName = path;
    if (record) pushUndo(doc, std::move(record));
    else recordWhole(doc, label);  // recording is off: only the label shows
    if (!doc.frameList.empty()) {
        doc.modified = true;
        doc.host().viewChanged(unsigned(ViewPart::Title));
    }
    return true;
}

bool chooseFixedPalette(Document& doc, const std::string& path) {
    if (!loadGlobalPalette(doc, path)) return false;
    doc.globalPaletteMode = GlobalPaletteMode::Fixed;
    return true;
}

void restoreFixedPalette(Document& doc) {
    if (doc.globalPaletteMode != GlobalPaletteMode::Fixed) return;
    if (doc.fixedPaletteName.empty() || !loadPalette(doc, doc.fixedPaletteName).loaded)
        doc.globalPaletteMode = GlobalPaletteMode::Automatic;
}

}  // namespace movigram
