// The View menu's handlers: the view options, the windows shown and the
// zoom, all of them the session's view state.
#include "MenuHandlers.h"
#include "shell/EditorSession.h"
#include "shell/Zoom.h"

namespace movigram {

namespace {

using C = CommandId;
using S = EditorSession;

constexpr MenuHandler handlers[] = {
    {C::ShowDirtyRect, [](S& s) { s.toggleDirtyRect(); }},
    {C::ShowDirtyOnly, [](S& s) { s.toggleDirtyOnly(); }},
    {C::ShowAsBrowsers, [](S& s) { s.toggleBrowserView(); }},
    {C::ShowFramePatches, [](S& s) { s.toggleFramePatches(); }},
    {C::ShowFrameList, [](S& s) { s.setFrameListShown(!s.viewState().showFrameList); }},
    {C::ShowPalette, [](S& s) { s.setPaletteShown(!s.viewState().showPaletteWindow); }},
    {C::ZoomIn, [](S& s) { s.setZoom(zoomedIn(s.zoom())); }},
    {C::ZoomOut, [](S& s) { s.setZoom(zoomedOut(s.zoom())); }},
    {C::Zoom1to1, [](S& s) { s.setZoom(1); }},
};

}  // namespace

std::span<const MenuHandler> viewMenuHandlers() { return handlers; }

}  // namespace movigram
