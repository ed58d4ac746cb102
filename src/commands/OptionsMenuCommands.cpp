// The Options menu's records: check options that take effect at once and
// the palette modes.  Loop opens or closes the chain and counts as a change
// of the animation; the optimisation options make Save write the file even
// without edits; switching undo either way empties the journal.
#include "MenuRecords.h"
#include "document/EditScope.h"

namespace movigram::records {

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

// The check rule and the toggle of a flag of the document.
template <auto flag>
bool isSet(const Document& doc, const ViewState&) {
    return doc.*flag;
}
template <auto flag>
bool toggle(Document& doc) {
    doc.*flag = !(doc.*flag);
    return true;
}
// An optimisation option: the file becomes worth saving.
template <auto flag>
bool toggleOptimisation(Document& doc) {
    toggle<flag>(doc);
    doc.optimizable = true;
    return true;
}

// A radio item: the mode it shows and sets.
template <auto member, auto value>
bool hasMode(const Document& doc, const ViewState&) {
    return doc.*member == value;
}
template <auto member, auto value>
bool setMode(Document& doc) {
    doc.*member = value;
    return true;
}

bool toggleLoop(Document& doc) {
    // An edit of the chain: playback stops before it is relinked, and the
    // document is marked and relinked when the scope closes.
    EditScope edit(doc, nullptr);
    doc.loopOption = !doc.loopOption;
    return true;
}

bool quantizerIs(const Document& doc, Quantizer q) { return doc.quantize.quantizer == q; }
bool ditherIs(const Document& doc, DitherMethod d) { return doc.quantize.dither == d; }

bool undoEnabled(const Document& doc, const ViewState&) { return doc.undo.enabled(); }
bool toggleUndo(Document& doc) {
    doc.setUndoEnabled(!doc.undo.enabled());
    return true;
}

bool cropsToDirty(const Document& doc, const ViewState&) { return doc.cropToDirty; }

using D = Document;
using L = LocalPaletteMode;
using G = GlobalPaletteMode;

// clang-format off
const CommandInfo options[] = {
    {.id = C::Loop, .menu = M::Options, .menuText = "&Loop", .help = "Run the animation in a loop", .checkable = true, .icon = "loop",
     .checked = isSet<&D::loopOption>, .run = toggleLoop},
    {.id = C::CropToDirty, .menu = M::Options, .menuText = "&Crop to dirty rectangles", .help = "Crop frames tightly around dirty rectangles, save cropped frames in file", .submenu = optimizations, .submenuHelp = optimizationsHelp, .checkable = true,
     .checked = isSet<&D::cropToDirty>, .run = toggleOptimisation<&D::cropToDirty>},
    {.id = C::SplitDirty, .menu = M::Options, .menuText = "&Split dirty rectangles", .help = "Split dirty rectangles into two smaller ones, when possible", .submenu = optimizations, .submenuHelp = optimizationsHelp, .checkable = true,
     .enabled = cropsToDirty, .checked = isSet<&D::splitDirty>, .run = toggleOptimisation<&D::splitDirty>},
    {.id = C::TransparentMask, .menu = M::Options, .menuText = "&Transparent mask", .help = "Use transparent color to let previous frames show through, for better compression", .submenu = optimizations, .submenuHelp = optimizationsHelp, .checkable = true,
     .enabled = cropsToDirty, .checked = isSet<&D::transparentMaskOption>, .run = toggleOptimisation<&D::transparentMaskOption>},
    {.id = C::OptimizeColors, .menu = M::Options, .menuText = "Optimize &number of colors", .help = "Reduce number of colors to closest power of 2", .submenu = optimizations, .submenuHelp = optimizationsHelp, .checkable = true,
     .checked = isSet<&D::optimizeColors>, .run = toggleOptimisation<&D::optimizeColors>},
    {.id = C::LocalMerge, .menu = M::Options, .menuText = "&Merge", .help = "Merge local color palettes found in multi-frame GIF's into a single global palette", .submenu = localPalettes, .submenuHelp = localPalettesHelp, .checkable = true, .radio = true,
     .checked = hasMode<&D::localPaletteMode, L::Merge>, .run = setMode<&D::localPaletteMode, L::Merge>},
    {.id = C::LocalKeep, .menu = M::Options, .menuText = "&Keep", .help = "Keep local palettes found in multi-frame GIF's, merge colors of other frames", .submenu = localPalettes, .submenuHelp = localPalettesHelp, .checkable = true, .radio = true,
     .checked = hasMode<&D::localPaletteMode, L::Keep>, .run = setMode<&D::localPaletteMode, L::Keep>},
    {.id = C::LocalCreate, .menu = M::Options, .menuText = "&Create", .help = "Create a local palette for each image file that is read", .submenu = localPalettes, .submenuHelp = localPalettesHelp, .checkable = true, .radio = true,
     .checked = hasMode<&D::localPaletteMode, L::Create>, .run = setMode<&D::localPaletteMode, L::Create>},
    {.id = C::GlobalCumulative, .menu = M::Options, .menuText = "&Cumulative", .help = "Global palette accumulates colors from each frame, first come first serve", .submenu = globalPalette, .submenuHelp = globalPaletteHelp, .checkable = true, .radio = true,
     .checked = hasMode<&D::globalPaletteMode, G::Cumulative>, .run = setMode<&D::globalPaletteMode, G::Cumulative>},
    {.id = C::GlobalOptimized, .menu = M::Options, .menuText = "&Optimized", .help = "Calculate one optimized global palette, all frames contribute equally (proportionally to their size)", .submenu = globalPalette, .submenuHelp = globalPaletteHelp, .checkable = true, .radio = true,
     .checked = hasMode<&D::globalPaletteMode, G::Optimized>, .run = setMode<&D::globalPaletteMode, G::Optimized>},
    {.id = C::GlobalAutomatic, .menu = M::Options, .menuText = "&Automatic", .help = "Switch automatically to optimized palette when cumulative palette becomes full (image has more than 256 colors)", .submenu = globalPalette, .submenuHelp = globalPaletteHelp, .checkable = true, .radio = true,
     .checked = hasMode<&D::globalPaletteMode, G::Automatic>, .run = setMode<&D::globalPaletteMode, G::Automatic>},
    // Needs a palette file: the shell asks for one.
    {.id = C::GlobalFixed, .menu = M::Options, .menuText = "&Fixed...", .help = "Use a fixed global palette such as Netscape palette. Prevents unwanted dithering on 256 color displays", .submenu = globalPalette, .submenuHelp = globalPaletteHelp, .checkable = true, .radio = true,
     .checked = hasMode<&D::globalPaletteMode, G::Fixed>},
    {.id = C::CommentFrame, .menu = M::Options, .menuText = "&Movigram comment frame", .help = "Add Movigram text comment to GIF file", .checkable = true,
     .checked = isSet<&D::commentFrameOption>, .run = toggle<&D::commentFrameOption>},
    {.id = C::OptimizeOnSave, .menu = M::Options, .menuText = "Optimize on &save", .help = "Apply optimizations when saving to the current filename", .checkable = true,
     .checked = isSet<&D::optimizeOnSave>, .run = toggleOptimisation<&D::optimizeOnSave>},
    {.id = C::MaxCompression, .menu = M::Options, .menuText = "Ma&ximum compression", .help = "Optimized saves try several layouts per frame and keep the smallest file (slower)", .checkable = true,
     .checked = isSet<&D::maxCompression>, .run = toggleOptimisation<&D::maxCompression>},
    {.id = C::EnableUndo, .menu = M::Options, .menuText = "Enable &undo", .help = "", .checkable = true,
     .checked = undoEnabled, .run = toggleUndo},
    {.id = C::UndoMemory, .menu = M::Options, .menuText = "Undo &memory...", .help = "Sets how much memory the undo history may keep; beyond it the oldest steps are forgotten"},
    {.id = C::QuantizeMedianCut, .menu = M::Options, .menuText = "&Median cut", .help = "Median cut quantizer: fast, the colors of earlier versions", .submenu = quantizer, .submenuHelp = quantizerHelp, .checkable = true, .radio = true,
     .checked = [](const Document& doc, const ViewState&) { return quantizerIs(doc, Quantizer::MedianCut); },
     .run = [](Document& doc) { doc.quantize.quantizer = Quantizer::MedianCut; return true; }},
    {.id = C::QuantizeHighQuality, .menu = M::Options, .menuText = "&High quality", .help = "High quality quantizer: closer colors for photos and video, slower", .submenu = quantizer, .submenuHelp = quantizerHelp, .checkable = true, .radio = true,
     .checked = [](const Document& doc, const ViewState&) { return quantizerIs(doc, Quantizer::HighQuality); },
     .run = [](Document& doc) { doc.quantize.quantizer = Quantizer::HighQuality; return true; }},
    {.id = C::DitherNone, .menu = M::Options, .menuText = "&None", .help = "No dithering: each pixel takes the closest color (best for screen recordings)", .submenu = dithering, .submenuHelp = ditheringHelp, .checkable = true, .radio = true,
     .checked = [](const Document& doc, const ViewState&) { return ditherIs(doc, DitherMethod::None); },
     .run = [](Document& doc) { doc.quantize.dither = DitherMethod::None; return true; }},
    {.id = C::DitherOrdered, .menu = M::Options, .menuText = "&Ordered", .help = "Ordered dithering: a regular pattern, compresses well", .submenu = dithering, .submenuHelp = ditheringHelp, .checkable = true, .radio = true,
     .checked = [](const Document& doc, const ViewState&) { return ditherIs(doc, DitherMethod::Ordered); },
     .run = [](Document& doc) { doc.quantize.dither = DitherMethod::Ordered; return true; }},
    {.id = C::DitherDiffusion, .menu = M::Options, .menuText = "&Error diffusion", .help = "Error diffusion: the smoothest gradients for photos and video", .submenu = dithering, .submenuHelp = ditheringHelp, .checkable = true, .radio = true,
     .checked = [](const Document& doc, const ViewState&) { return ditherIs(doc, DitherMethod::Diffusion); },
     .run = [](Document& doc) { doc.quantize.dither = DitherMethod::Diffusion; return true; }},
};
// clang-format on

}  // namespace

std::span<const CommandInfo> optionsMenu() { return options; }

}  // namespace movigram::records
