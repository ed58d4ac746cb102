#include "CommandTable.h"

#include <array>

namespace movigram {

namespace {

using C = CommandId;
using M = Menu;

constexpr const char* optimizations = "&Optimizations";
constexpr const char* optimizationsHelp =
    "Toggle optimization options. These options take effect when saving the animation to file";
constexpr const char* localPalettes = "&Local palettes";
constexpr const char* localPalettesHelp =
    "Toggle local palette options. These options take effect when reading new images";
constexpr const char* globalPalette = "&Global palette";
constexpr const char* globalPaletteHelp =
    "Toggle global palette options. These options take effect when reading new images";
constexpr const char* quantizer = "Color &quantizer";
constexpr const char* quantizerHelp =
    "How true color images, video and color reduction are brought to 256 colors or fewer";
constexpr const char* dithering = "&Dithering";
constexpr const char* ditheringHelp =
    "How pixels are spread over the reduced colors. Pixels that do not change between frames stay the same";

// clang-format off
const CommandInfo table[] = {
    {C::New, M::File, "&New", "Starts a new empty animation"},
    {C::Open, M::File, "&Open...\tCtrl+O", "Opens an existing GIF animation or individual (mutliple) frames"},
    {C::Save, M::File, "&Save\tCtrl+S", "Saves the current animation"},
    {C::SaveAs, M::File, "Save &as...", "Saves the current animation with a new name (no optimizations)"},
    {C::SaveOptimizedAs, M::File, "Save op&timized as...", "Saves the current animation with a new name (apply optimizations)"},
    {C::Revert, M::File, "&Revert...\tCtrl+R", "Reverts to the recently saved version of this file"},
    {C::Preview, M::File, "Preview", "Preview the animation in the default Internet browser"},
    {C::HtmlCode, M::File, "Html code", "Display the html code for this image"},
    {C::SaveFrames, M::File, "Save &frames...", "Saves each frame in a separate file"},
    {C::AppendFrames, M::File, "A&ppend frames...", "Opens frame(s) and adds them after the last frame"},
    {C::InsertFrames, M::File, "&Insert frames...", "Opens frame(s) and inserts them before the current frame"},
    {C::LoadPalette, M::File, "&Load palette...", "Loads a color palette file, or loads the palette of a GIF file"},
    {C::StorePalette, M::File, "S&tore palette...", "Stores the current color palette in a file"},
    {C::Exit, M::File, "E&xit", "Quits Movigram"},
    {C::RecentFile1, M::File, "&1 %s", ""},
    {C::RecentFile2, M::File, "&2 %s", ""},
    {C::RecentFile3, M::File, "&3 %s", ""},
    {C::RecentFile4, M::File, "&4 %s", ""},

    {C::Undo, M::Edit, "&Undo\tCtrl+Z", ""},
    {C::Redo, M::Edit, "&Redo\tCtrl+Y", "Applies again what Undo took back"},
    {C::Cut, M::Edit, "&Cut\tCtrl+X", "Cuts the current frame to the clipboard"},
    {C::Copy, M::Edit, "&Copy\tCtrl+C", "Copies the current frame to the clipboard"},
    {C::Paste, M::Edit, "&Paste\tCtrl+V", "Pastes an image or text from the clipboard, inserts a new frame before the current frame"},
    {C::PasteAppend, M::Edit, "Paste &Append", "Pastes from the clipboard, adds a frame at the end"},
    {C::Delete, M::Edit, "&Delete\tCtrl+Del", "Deletes the current frame, the clipboard is not affected", nullptr, nullptr, false, false, "delete"},
    {C::PaletteAdd, M::Edit, "&Add", "Add a color entry to the palette", "Pale&tte", "color palette operations"},
    {C::PaletteDelete, M::Edit, "&Delete", "Delete a color entry from the palette", "Pale&tte", "color palette operations", false, false, "delete-color"},
    {C::PaletteModify, M::Edit, "&Modify", "Modify a color entry of the palette", "Pale&tte", "color palette operations"},

    {C::Play, M::Animation, "&Play", "Plays the current animation"},
    {C::Stop, M::Animation, "&Stop", "Stops the current animation"},
    {C::NextFrame, M::Animation, "&Next frame", "Shows next frame"},
    {C::PrevFrame, M::Animation, "Pre&v frame", "Shows previous frame"},
    {C::ReduceColorDepth, M::Animation, "&Reduce color depth...", "Reduces the number of colors used in the images. Collapses existing local palettes into one global palette", nullptr, nullptr, false, false, nullptr, "reduce colors"},
    {C::TransparentColor, M::Animation, "&Transparent color...", "Selects transparent color. Click on the image or the palette window. Click outside the image to use no transparent color", nullptr, nullptr, false, false, "transparent", "set transparent"},
    {C::BackgroundColor, M::Animation, "&Background color...", "", nullptr, nullptr, false, false, "background"},
    {C::LoopCount, M::Animation, "&Loop count...", "Sets the number of loop iterations", nullptr, nullptr, false, false, "loop"},
    {C::FrameRate, M::Animation, "&Frame rate...", "Selects frame rate and repeat count", nullptr, nullptr, false, false, "frame-rate", "frame rate"},
    {C::MergeBackground, M::Animation, "&Merge background", "Merges the selected background frame (not transparent) into the transparent frames that follow it", nullptr, nullptr, false, false, "merge-background", "merge background"},
    {C::MergeForeground, M::Animation, "&Merge foreground", "", nullptr, nullptr, false, false, "merge-foreground", "merge foreground"},
    {C::Unoptimize, M::Animation, "&Unoptimize", "Builds each frame to the full animation size", nullptr, nullptr, false, false, "unoptimize", "unoptimize"},

    {C::Shift, M::Frames, "&Shift...", "Shifts multiple frames by the selected pixel offset", nullptr, nullptr, false, false, "shift", "shift frames"},
    {C::SetRestoreMethod, M::Frames, "Set &restore method...", "Sets the \"restore method\" of each selected frame", nullptr, nullptr, false, false, "restore", "restore method"},
    {C::Crop, M::Frames, "&Crop...", "Crops mutliple frames by the defined rectangle", nullptr, nullptr, false, false, "crop", "crop frames"},
    {C::Resize, M::Frames, "Resi&ze...", "Shrinks multiple frames to the indicated rectangle", nullptr, nullptr, false, false, "resize", "resize frames"},
    {C::FlipRotate, M::Frames, "&Flip and rotate...", "Flips, mirrors or rotates the selected frames", nullptr, nullptr, false, false, "rotate", "rotate frames"},
    {C::Duplicate, M::Frames, "&Duplicate...", "Duplicates multiple frames", nullptr, nullptr, false, false, "duplicate", "duplicate frames"},
    {C::DeleteFrames, M::Frames, "De&lete...", "Deletes multiple frames at once", nullptr, nullptr, false, false, "delete", "delete frames"},
    {C::InsertSolidColor, M::Frames, "&Insert solid color...", "Inserts a new frame with a solid color. Color can be selected from the palette or from the image area", nullptr, nullptr, false, false, "solid", "insert solid frame"},
    {C::ReverseOrder, M::Frames, "Re&verse order...", "Reverses the order of a block of frames", nullptr, nullptr, false, false, "reverse", "Reverse order"},
    {C::MovingSprite, M::Frames, "&Moving sprite...", "Shifts each selected frame by the accumulated pixel offset, creating a moving sprite", nullptr, nullptr, false, false, "sprite", "moving sprite"},
    {C::GrayScale, M::Frames, "&Gray scale...", "Converts the selected frames to gray scale", nullptr, nullptr, false, false, "gray", "gray scale"},

    {C::Loop, M::Options, "&Loop", "Run the animation in a loop", nullptr, nullptr, true},
    {C::CropToDirty, M::Options, "&Crop to dirty rectangles", "Crop frames tightly around dirty rectangles, save cropped frames in file", optimizations, optimizationsHelp, true},
    {C::SplitDirty, M::Options, "&Split dirty rectangles", "Split dirty rectangles into two smaller ones, when possible", optimizations, optimizationsHelp, true},
    {C::TransparentMask, M::Options, "&Transparent mask", "Use transparent color to let previous frames show through, for better compression", optimizations, optimizationsHelp, true},
    {C::OptimizeColors, M::Options, "Optimize &number of colors", "Reduce number of colors to closest power of 2", optimizations, optimizationsHelp, true},
    {C::LocalMerge, M::Options, "&Merge", "Merge local color palettes found in multi-frame GIF's into a single global palette", localPalettes, localPalettesHelp, true, true},
    {C::LocalKeep, M::Options, "&Keep", "Keep local palettes found in multi-frame GIF's, merge colors of other frames", localPalettes, localPalettesHelp, true, true},
    {C::LocalCreate, M::Options, "&Create", "Create a local palette for each image file that is read", localPalettes, localPalettesHelp, true, true},
    {C::GlobalCumulative, M::Options, "&Cumulative", "Global palette accumulates colors from each frame, first come first serve", globalPalette, globalPaletteHelp, true, true},
    {C::GlobalOptimized, M::Options, "&Optimized", "Calculate one optimized global palette, all frames contribute equally (proportionally to their size)", globalPalette, globalPaletteHelp, true, true},
    {C::GlobalAutomatic, M::Options, "&Automatic", "Switch automatically to optimized palette when cumulative palette becomes full (image has more than 256 colors)", globalPalette, globalPaletteHelp, true, true},
    {C::GlobalFixed, M::Options, "&Fixed...", "Use a fixed global palette such as Netscape palette. Prevents unwanted dithering on 256 color displays", globalPalette, globalPaletteHelp, true, true},
    {C::CommentFrame, M::Options, "&Movigram comment frame", "Add Movigram text comment to GIF file", nullptr, nullptr, true},
    {C::OptimizeOnSave, M::Options, "Optimize on &save", "Apply optimizations when saving to the current filename", nullptr, nullptr, true},
    {C::MaxCompression, M::Options, "Ma&ximum compression", "Optimized saves try several layouts per frame and keep the smallest file (slower)", nullptr, nullptr, true},
    {C::EnableUndo, M::Options, "Enable &undo", "", nullptr, nullptr, true},
    {C::UndoMemory, M::Options, "Undo &memory...", "Sets how much memory the undo history may keep; beyond it the oldest steps are forgotten"},
    {C::QuantizeMedianCut, M::Options, "&Median cut", "Median cut quantizer: fast, the colors of earlier versions", quantizer, quantizerHelp, true, true},
    {C::QuantizeHighQuality, M::Options, "&High quality", "High quality quantizer: closer colors for photos and video, slower", quantizer, quantizerHelp, true, true},
    {C::DitherNone, M::Options, "&None", "No dithering: each pixel takes the closest color (best for screen recordings)", dithering, ditheringHelp, true, true},
    {C::DitherOrdered, M::Options, "&Ordered", "Ordered dithering: a regular pattern, compresses well", dithering, ditheringHelp, true, true},
    {C::DitherDiffusion, M::Options, "&Error diffusion", "Error diffusion: the smoothest gradients for photos and video", dithering, ditheringHelp, true, true},

    {C::ShowDirtyRect, M::View, "Show &dirty rectangle", "Marks the dirty rectangle of each frame", nullptr, nullptr, true},
    {C::ShowPalette, M::View, "Show &palette", "Show color palette window (toggle)", nullptr, nullptr, true},
    {C::ShowFrameList, M::View, "Show &frame list", "Show frame list window (toggle)", nullptr, nullptr, true},
    {C::ShowAsBrowsers, M::View, "Show as &browsers do", "Draws restored areas as the page showing through and plays very short delays as 100 ms, as web browsers do", nullptr, nullptr, true},
    {C::ZoomIn, M::View, "Zoom &in", "Zooms in on the image (up to 4 times larger)"},
    {C::ZoomOut, M::View, "Zoom &out", "Zooms out (down to true size)"},
    {C::Zoom1to1, M::View, "Zoom &1:1", "Resets zoom ratio to 1:1"},
    {C::ShowDirtyOnly, M::None, "", "Displays the dirty rectangle only, clears the rest of the image", nullptr, nullptr, true},

    {C::FadeIn, M::Effects, "Fade &in...", "Inserts frames, fading in the image of the selected frame from a solid color", nullptr, nullptr, false, false, "fade-in", "fade in"},
    {C::FadeOut, M::Effects, "Fade &out...", "Add frames, fading out the image of the selected frame into a solid color", nullptr, nullptr, false, false, "fade-out", "fade out"},
    {C::Dissolve, M::Effects, "&Dissolve...", "Inserts frames, dissolving one frame into the next (or to/from solid color)", nullptr, nullptr, false, false, "dissolve-next", "dissolve"},
    {C::BannerScroll, M::Effects, "&Banner scroll...", "Inserts frames, the original frame scrolling in (or out), until it reaches center (or disappers)", nullptr, nullptr, false, false, "banner-in", "banner scroll"},
    {C::Wipe, M::Effects, "&Wipe...", "Inserts frames, the next frame sliding in, pushing the current frame out", nullptr, nullptr, false, false, "wipe-next", "wipe"},
    {C::Spiral, M::Effects, "&Spiral...", "", nullptr, nullptr, false, false, "spiral-next", "spiral"},
    {C::Blind, M::Effects, "&Blind...", "", nullptr, nullptr, false, false, "blind-next", "blind"},

    {C::HelpEnglish, M::Help, "&English", "Displays the Movigram help document", "&Help", ""},
    {C::HelpFrench, M::Help, "&French", "", "&Help", ""},
    {C::HelpSpanish, M::Help, "&Spanish", "", "&Help", ""},
    {C::About, M::Help, "&About", ""},
    {C::HowToUseHelp, M::Help, "&How to use help", "Displays instructinos on how to use help"},
};
// clang-format on

constexpr CommandId separator{0};

constexpr std::array toolBar{
    C::New,  C::Open, C::Save,      C::SaveAs, C::SaveOptimizedAs, separator,        C::Preview,
    C::HtmlCode,      separator,    C::Undo,   C::Redo,   C::Cut,             C::Copy,          C::Paste,
    separator,        C::Play,      C::Stop,   separator,          C::Loop,          C::TransparentColor,
    C::FrameRate,     C::ReduceColorDepth,     separator,          C::ZoomIn,        C::ZoomOut,
    C::Zoom1to1,      separator,    C::HelpEnglish,
};

constexpr std::array contextMenu{
    C::Play,      C::Stop,       separator,          C::Paste,      C::PasteAppend, C::DeleteFrames, separator,
    C::FrameRate, C::LoopCount,  C::SetRestoreMethod, C::Unoptimize, separator,      C::Save,
    C::SaveOptimizedAs,
};

bool hasFrame(const Document& doc) { return doc.currentFrame != nullptr; }
bool hasImageFrame(const Document& doc) { return doc.currentFrame && doc.currentFrame->hasImage(); }
bool canSave(const Document& doc) {
    return !doc.frameList.empty() && !doc.fileName.empty() && (doc.modified || doc.optimizable);
}

}  // namespace

std::span<const CommandInfo> commandTable() { return table; }

const CommandInfo* findCommand(CommandId id) {
    for (const CommandInfo& info : table)
        if (info.id == id) return &info;
    return nullptr;
}

const CommandInfo* findCommand(int32_t id) { return findCommand(CommandId(id)); }

std::string shortcutOf(const CommandInfo& info) {
    const std::string text = info.menuText;
    const size_t tab = text.find('\t');
    return tab == std::string::npos ? std::string() : text.substr(tab + 1);
}

std::vector<std::string> extraShortcuts(CommandId id) {
    if (id == C::Delete) return {"Ctrl+Delete"};
    if (id == C::Redo) return {"Ctrl+Shift+Z"};
    return {};
}

std::string menuTextOf(const CommandInfo& info, const Document& doc) {
    if (info.id == C::Save && doc.optimizeOnSave) return "&Save optimized\tCtrl+S";
    if (info.id == C::Undo) return doc.undo.menuText();
    if (info.id == C::Redo) return doc.undo.redoMenuText();
    return info.menuText;
}

bool isEnabled(CommandId id, const Document& doc, const ViewState& view) {
    switch (id) {
    case C::Save:
    case C::Revert: return canSave(doc);
    case C::SaveAs:
    case C::SaveOptimizedAs: return !doc.frameList.empty();
    case C::Preview:
    case C::SaveFrames: return hasFrame(doc);
    case C::HtmlCode: return hasFrame(doc) && !doc.fileName.empty();
    case C::Undo: return doc.undo.canUndo();
    case C::Redo: return doc.undo.canRedo();
    case C::Cut:
    case C::Copy:
    case C::Delete: return hasFrame(doc) && doc.frameList.selectedIndex() >= 0;
    case C::Paste:
    case C::PasteAppend: return view.clipboardHasData;
    case C::PaletteAdd:
    case C::PaletteDelete:
    case C::PaletteModify: return hasFrame(doc) && view.paletteWindowExists;
    case C::Play:
    case C::Stop:
    case C::NextFrame:
    case C::PrevFrame:
    case C::ReduceColorDepth:
    case C::TransparentColor:
    case C::LoopCount:
    case C::FrameRate:
    case C::Unoptimize:
    case C::Shift:
    case C::SetRestoreMethod:
    case C::Crop:
    case C::Resize:
    case C::FlipRotate:
    case C::Duplicate:
    case C::DeleteFrames:
    case C::InsertSolidColor:
    case C::ReverseOrder:
    case C::MovingSprite:
    case C::GrayScale: return hasFrame(doc);
    case C::MergeBackground:
    case C::MergeForeground:
    case C::FadeIn:
    case C::FadeOut:
    case C::Dissolve:
    case C::Wipe:
    case C::Spiral:
    case C::Blind:
    case C::BannerScroll: return hasImageFrame(doc);
    case C::SplitDirty:
    case C::TransparentMask: return doc.cropToDirty;
    case C::ZoomIn: return hasFrame(doc) && view.zoom < 4;
    case C::ZoomOut: return hasFrame(doc) && view.zoom > -4;
    case C::Zoom1to1: return hasFrame(doc) && view.zoom != 1;
    default: return findCommand(id) != nullptr;
    }
}

bool isChecked(CommandId id, const Document& doc, const ViewState& view) {
    switch (id) {
    case C::Loop: return doc.loopOption;
    case C::CropToDirty: return doc.cropToDirty;
    case C::SplitDirty: return doc.splitDirty;
    case C::TransparentMask: return doc.transparentMaskOption;
    case C::OptimizeColors: return doc.optimizeColors;
    case C::LocalMerge: return doc.localPaletteMode == LocalPaletteMode::Merge;
    case C::LocalKeep: return doc.localPaletteMode == LocalPaletteMode::Keep;
    case C::LocalCreate: return doc.localPaletteMode == LocalPaletteMode::Create;
    case C::GlobalCumulative: return doc.globalPaletteMode == GlobalPaletteMode::Cumulative;
    case C::GlobalOptimized: return doc.globalPaletteMode == GlobalPaletteMode::Optimized;
    case C::GlobalAutomatic: return doc.globalPaletteMode == GlobalPaletteMode::Automatic;
    case C::GlobalFixed: return doc.globalPaletteMode == GlobalPaletteMode::Fixed;
    case C::CommentFrame: return doc.commentFrameOption;
    case C::OptimizeOnSave: return doc.optimizeOnSave;
    case C::MaxCompression: return doc.maxCompression;
    case C::QuantizeMedianCut: return doc.quantize.quantizer == Quantizer::MedianCut;
    case C::QuantizeHighQuality: return doc.quantize.quantizer == Quantizer::HighQuality;
    case C::DitherNone: return doc.quantize.dither == DitherMethod::None;
    case C::DitherOrdered: return doc.quantize.dither == DitherMethod::Ordered;
    case C::DitherDiffusion: return doc.quantize.dither == DitherMethod::Diffusion;
    case C::EnableUndo: return doc.undo.enabled();
    case C::ShowDirtyRect: return doc.showDirtyRect;
    case C::ShowDirtyOnly: return view.showDirtyOnly;
    case C::ShowPalette: return view.showPaletteWindow;
    case C::ShowFrameList: return view.showFrameList;
    case C::ShowAsBrowsers: return view.showAsBrowsers;
    default: return false;
    }
}

std::span<const CommandId> toolBarCommands() { return toolBar; }
std::span<const CommandId> contextMenuCommands() { return contextMenu; }

const char* contextMenuText(CommandId id) {
    switch (id) {
    case C::Play: return "Play";
    case C::Stop: return "Stop";
    case C::Paste: return "Paste insert";
    case C::PasteAppend: return "Paste append";
    case C::DeleteFrames: return "Delete...";
    case C::FrameRate: return "Frame rate...";
    case C::LoopCount: return "Loop count...";
    case C::SetRestoreMethod: return "Set restore method...";
    case C::Unoptimize: return "Unoptimize";
    case C::Save: return "Save";
    case C::SaveOptimizedAs: return "Save optimized...";
    default: return "";
    }
}

}  // namespace movigram
