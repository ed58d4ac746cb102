// The View menu's records.  The view options are the window's own; the
// shell applies them.
#include "MenuRecords.h"

namespace movigram::records {

namespace {

using C = CommandId;
using M = Menu;

bool canZoomIn(const Document& doc, const ViewState& view) { return hasFrame(doc, view) && view.zoom < 4; }
bool canZoomOut(const Document& doc, const ViewState& view) { return hasFrame(doc, view) && view.zoom > -4; }
bool zoomed(const Document& doc, const ViewState& view) { return hasFrame(doc, view) && view.zoom != 1; }

// clang-format off
const CommandInfo view[] = {
    {.id = C::ShowDirtyRect, .menu = M::View, .menuText = "Show &dirty rectangle", .help = "Marks the dirty rectangle of each frame", .checkable = true,
     .checked = [](const Document& doc, const ViewState&) { return doc.showDirtyRect; }},
    {.id = C::ShowPalette, .menu = M::View, .menuText = "Show &palette", .help = "Show color palette window (toggle)", .checkable = true,
     .checked = [](const Document&, const ViewState& view) { return view.showPaletteWindow; }},
    {.id = C::ShowFrameList, .menu = M::View, .menuText = "Show &frame list", .help = "Show frame list window (toggle)", .checkable = true,
     .checked = [](const Document&, const ViewState& view) { return view.showFrameList; }},
    {.id = C::ShowAsBrowsers, .menu = M::View, .menuText = "Show as &browsers do", .help = "Draws restored areas as the page showing through and plays very short delays as 100 ms, as web browsers do", .checkable = true,
     .checked = [](const Document&, const ViewState& view) { return view.showAsBrowsers; }},
    {.id = C::ShowFramePatches, .menu = M::View, .menuText = "Show frame pa&tches in the list", .help = "The frame list shows each frame's own pixels instead of the picture on the screen after it", .checkable = true,
     .checked = [](const Document&, const ViewState& view) { return view.showFramePatches; }},
    {.id = C::ZoomIn, .menu = M::View, .menuText = "Zoom &in", .help = "Zooms in on the image (up to 4 times larger)", .icon = "zoom-in",
     .enabled = canZoomIn},
    {.id = C::ZoomOut, .menu = M::View, .menuText = "Zoom &out", .help = "Zooms out (down to true size)", .icon = "zoom-out",
     .enabled = canZoomOut},
    {.id = C::Zoom1to1, .menu = M::View, .menuText = "Zoom &1:1", .help = "Resets zoom ratio to 1:1", .icon = "zoom-1to1",
     .enabled = zoomed},
    // In no menu.
    {.id = C::ShowDirtyOnly, .menu = M::None, .menuText = "", .help = "Displays the dirty rectangle only, clears the rest of the image", .checkable = true,
     .checked = [](const Document&, const ViewState& view) { return view.showDirtyOnly; }},
};
// clang-format on

}  // namespace

std::span<const CommandInfo> viewMenu() { return view; }

}  // namespace movigram::records
