// The File menu's records.
#include "MenuRecords.h"

namespace movigram::records {

namespace {

using C = CommandId;
using M = Menu;

bool canSave(const Document& doc, const ViewState&) {
    return !doc.frameList.empty() && !doc.fileName.empty() && (doc.modified || doc.optimizable);
}
bool hasFrames(const Document& doc, const ViewState&) { return !doc.frameList.empty(); }
bool hasNamedFrame(const Document& doc, const ViewState& view) {
    return hasFrame(doc, view) && !doc.fileName.empty();
}

// clang-format off
const CommandInfo file[] = {
    {.id = C::New, .menu = M::File, .menuText = "&New", .help = "Starts a new empty animation", .icon = "new"},
    {.id = C::Open, .menu = M::File, .menuText = "&Open...\tCtrl+O", .help = "Opens an existing GIF animation or individual (mutliple) frames", .icon = "open"},
    {.id = C::RecordScreen, .menu = M::File, .menuText = "Recor&d screen...", .help = "Records a region of the screen, a window or the whole screen into an animation", .icon = "record"},
    {.id = C::Save, .menu = M::File, .menuText = "&Save\tCtrl+S", .help = "Saves the current animation", .icon = "save",
     .enabled = canSave, .contextText = "Save"},
    {.id = C::SaveAs, .menu = M::File, .menuText = "Save &as...", .help = "Saves the current animation with a new name (no optimizations)", .icon = "save-as",
     .enabled = hasFrames},
    {.id = C::SaveOptimizedAs, .menu = M::File, .menuText = "Save op&timized as...", .help = "Saves the current animation with a new name (apply optimizations)", .icon = "save-optimized",
     .enabled = hasFrames, .contextText = "Save optimized..."},
    {.id = C::SaveForSharing, .menu = M::File, .menuText = "Save for s&haring...", .help = "Saves a copy no larger than a size you choose, trading quality, colours, frames and size as little as needed",
     .enabled = hasFrames},
    {.id = C::ExportAs, .menu = M::File, .menuText = "&Export as...", .help = "Writes the animation as animated WebP, APNG, MP4 or WebM",
     .enabled = hasFrames},
    {.id = C::Revert, .menu = M::File, .menuText = "&Revert...\tCtrl+R", .help = "Reverts to the recently saved version of this file",
     .enabled = canSave},
    {.id = C::Preview, .menu = M::File, .menuText = "Preview", .help = "Preview the animation in the default Internet browser", .icon = "preview",
     .enabled = hasFrame},
    {.id = C::HtmlCode, .menu = M::File, .menuText = "Html code", .help = "Display the html code for this image", .icon = "html",
     .enabled = hasNamedFrame},
    {.id = C::SaveFrames, .menu = M::File, .menuText = "Save &frames...", .help = "Saves each frame in a separate file",
     .enabled = hasFrame},
    {.id = C::AppendFrames, .menu = M::File, .menuText = "A&ppend frames...", .help = "Opens frame(s) and adds them after the last frame"},
    {.id = C::InsertFrames, .menu = M::File, .menuText = "&Insert frames...", .help = "Opens frame(s) and inserts them before the current frame"},
    {.id = C::LoadPalette, .menu = M::File, .menuText = "&Load palette...", .help = "Loads a color palette file, or loads the palette of a GIF file",
     .undoLabel = "load palette"},
    {.id = C::StorePalette, .menu = M::File, .menuText = "S&tore palette...", .help = "Stores the current color palette in a file"},
    {.id = C::Exit, .menu = M::File, .menuText = "E&xit", .help = "Quits Movigram"},
    {.id = C::RecentFile1, .menu = M::File, .menuText = "&1 %s", .help = ""},
    {.id = C::RecentFile2, .menu = M::File, .menuText = "&2 %s", .help = ""},
    {.id = C::RecentFile3, .menu = M::File, .menuText = "&3 %s", .help = ""},
    {.id = C::RecentFile4, .menu = M::File, .menuText = "&4 %s", .help = ""},
};
// clang-format on

}  // namespace

std::span<const CommandInfo> fileMenu() { return file; }

}  // namespace movigram::records
