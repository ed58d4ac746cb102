// The Edit menu's records.
#include "MenuRecords.h"
#include "frameops/ColorCommands.h"

namespace movigram::records {

namespace {

using C = CommandId;
using M = Menu;

bool canUndo(const Document& doc, const ViewState&) { return doc.undo.canUndo(); }
bool canRedo(const Document& doc, const ViewState&) { return doc.undo.canRedo(); }
bool hasSelectedFrame(const Document& doc, const ViewState& view) {
    return hasFrame(doc, view) && doc.frameList.selectedIndex() >= 0;
}
bool clipboardHasData(const Document&, const ViewState& view) { return view.clipboardHasData; }
bool paletteWindowShown(const Document& doc, const ViewState& view) {
    return hasFrame(doc, view) && view.paletteWindowExists;
}

StepOutcome deleteColor(Document& doc, const StepArguments& a) {
    if (StepOutcome bad = checkColorIndex(a.values.at(0)); !bad.error.empty()) return bad;
    if (!deletePaletteEntry(doc, a.values[0], undoLabelOf(C::PaletteDelete)))
        return failed("the palette has no such entry, or too few colours to lose one");
    return {};
}

constexpr CliStep deleteColorSteps[] = {
    {"delete-color", StepForm::Value, 1, 1, nullptr, paletteIndex, {}, deleteColor,
     "  --delete-color INDEX        remove a colour from the global palette (nearest colours replace it)\n", 22},
};

// clang-format off
const CommandInfo edit[] = {
    {.id = C::Undo, .menu = M::Edit, .menuText = "&Undo\tCtrl+Z", .help = "", .icon = "undo", .enabled = canUndo},
    {.id = C::Redo, .menu = M::Edit, .menuText = "&Redo\tCtrl+Y", .help = "Applies again what Undo took back", .icon = "redo",
     .enabled = canRedo},
    {.id = C::Cut, .menu = M::Edit, .menuText = "&Cut\tCtrl+X", .help = "Cuts the current frame to the clipboard", .icon = "cut",
     .enabled = hasSelectedFrame, .undoLabel = "cut frame"},
    {.id = C::Copy, .menu = M::Edit, .menuText = "&Copy\tCtrl+C", .help = "Copies the current frame to the clipboard", .icon = "copy",
     .enabled = hasSelectedFrame},
    {.id = C::Paste, .menu = M::Edit, .menuText = "&Paste\tCtrl+V", .help = "Pastes an image or text from the clipboard, inserts a new frame before the current frame", .icon = "paste",
     .enabled = clipboardHasData, .contextText = "Paste insert", .undoLabel = "paste frame"},
    {.id = C::PasteAppend, .menu = M::Edit, .menuText = "Paste &Append", .help = "Pastes from the clipboard, adds a frame at the end",
     .enabled = clipboardHasData, .contextText = "Paste append", .undoLabel = "paste frame"},
    {.id = C::Delete, .menu = M::Edit, .menuText = "&Delete\tCtrl+Del", .help = "Deletes the current frame, the clipboard is not affected",
     .enabled = hasSelectedFrame, .undoLabel = "delete frame"},
    {.id = C::PaletteAdd, .menu = M::Edit, .menuText = "&Add", .help = "Add a color entry to the palette", .submenu = "Pale&tte", .submenuHelp = "color palette operations",
     .enabled = paletteWindowShown},
    {.id = C::PaletteDelete, .menu = M::Edit, .menuText = "&Delete", .help = "Delete a color entry from the palette", .submenu = "Pale&tte", .submenuHelp = "color palette operations",
     .enabled = paletteWindowShown, .steps = deleteColorSteps, .undoLabel = "delete color"},
    {.id = C::PaletteModify, .menu = M::Edit, .menuText = "&Modify", .help = "Modify a color entry of the palette", .submenu = "Pale&tte", .submenuHelp = "color palette operations",
     .enabled = paletteWindowShown},
};
// clang-format on

}  // namespace

std::span<const CommandInfo> editMenu() { return edit; }

}  // namespace movigram::records
