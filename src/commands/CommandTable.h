#pragma once
// The command map: every menu command of the editor with its id, menu text,
// status-bar help, shortcut, the menu and submenu it sits in, its enabling
// and check rules as functions of the document and the view, and where it
// has one, its command-line step and undo label.  Menus, the tool bar, the
// context menu, the command-line tool and the tests find commands here by id.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "document/Document.h"

namespace movigram {

enum class CommandId : int32_t {
    // File
    New = 24331,
    Open = 24332,
    Save = 24333,
    SaveAs = 24334,
    SaveOptimizedAs = 107,
    Revert = 105,
    Preview = 108,
    HtmlCode = 109,
    SaveFrames = 103,
    AppendFrames = 101,
    InsertFrames = 102,
    LoadPalette = 250,
    StorePalette = 251,
    Exit = 24310,
    RecentFile1 = 151,
    RecentFile2 = 152,
    RecentFile3 = 153,
    RecentFile4 = 154,
    // Edit
    Undo = 24321,
    Cut = 24322,
    Copy = 24323,
    Paste = 24324,
    PasteAppend = 350,
    Delete = 24326,
    PaletteAdd = 430,
    PaletteDelete = 431,
    PaletteModify = 432,
    // Animation
    Play = 401,
    Stop = 402,
    NextFrame = 403,
    PrevFrame = 404,
    ReduceColorDepth = 411,
    TransparentColor = 408,
    BackgroundColor = 414,
    LoopCount = 412,
    FrameRate = 410,
    MergeBackground = 409,
    MergeForeground = 415,
    Unoptimize = 413,
    // Frames
    Shift = 451,
    SetRestoreMethod = 456,
    Crop = 453,
    FlipRotate = 458,
    Duplicate = 455,
    DeleteFrames = 454,
    InsertSolidColor = 460,
    ReverseOrder = 457,
    MovingSprite = 452,
    GrayScale = 459,
    // Options
    Loop = 501,
    CropToDirty = 511,
    SplitDirty = 512,
    TransparentMask = 513,
    OptimizeColors = 514,
    LocalMerge = 521,
    LocalKeep = 522,
    LocalCreate = 523,
    GlobalCumulative = 531,
    GlobalOptimized = 532,
    GlobalAutomatic = 533,
    GlobalFixed = 534,
    CommentFrame = 502,
    OptimizeOnSave = 515,
    EnableUndo = 516,
    // View
    ShowDirtyRect = 601,
    ShowDirtyOnly = 602,
    ShowPalette = 603,
    ShowFrameList = 604,
    ShowAsBrowsers = 609,
    ZoomIn = 606,
    ZoomOut = 607,
    Zoom1to1 = 608,
    // Effects
    FadeIn = 701,
    FadeOut = 702,
    Dissolve = 703,
    Wipe = 704,
    Spiral = 705,
    Blind = 706,
    BannerScroll = 707,
    // Help
    HelpEnglish = 801,
    HelpFrench = 810,
    HelpSpanish = 811,
    About = 802,
    HowToUseHelp = 806,
};

enum class Menu { File, Edit, Animation, Frames, Options, View, Effects, Help, None };

// What the enabling and check rules need besides the document: the view's
// own state, and the clipboard as the editor sees it.
struct ViewState {
    int32_t zoom = 1;
    bool showDirtyOnly = false;
    bool showPaletteWindow = true;
    bool showFrameList = true;
    bool showAsBrowsers = false;
    bool paletteWindowExists = false;
    bool clipboardHasData = false;
};

struct CommandInfo {
    CommandId id;
    Menu menu;
    // "&Open...\tCtrl+O": the text as the menu shows it, the shortcut after the tab.
    const char* menuText;
    const char* help;  // status-bar text while the item is highlighted; "" for none
    // The submenu the item sits in ("&Optimizations"), or null; and the
    // submenu's own help text.
    const char* submenu = nullptr;
    const char* submenuHelp = nullptr;
    // Check mark (options), or a radio item of a group of options.
    bool checkable = false;
    bool radio = false;
    // The command-line step that runs the same operation (movigram-cli edit),
    // and the undo label the command records under; null for none.
    const char* cliStep = nullptr;
    const char* undoLabel = nullptr;
};

// Every command, in menu order within each menu.  Item 602 is in no menu.
std::span<const CommandInfo> commandTable();
// Null for an unknown id.
const CommandInfo* findCommand(CommandId id);
const CommandInfo* findCommand(int32_t id);

// The text after the tab of menuText ("Ctrl+O"), or "".
std::string shortcutOf(const CommandInfo& info);
// Further keys that run a command besides the one in its menu text
// ("Ctrl+Del" for Delete).
std::vector<std::string> extraShortcuts(CommandId id);
// The text the menu shows now: Save follows optimizeOnSave, Undo carries the
// newest record's label.
std::string menuTextOf(const CommandInfo& info, const Document& doc);

bool isEnabled(CommandId id, const Document& doc, const ViewState& view);
// Whether an option's check mark (or radio dot) is shown.
bool isChecked(CommandId id, const Document& doc, const ViewState& view);

// The tool bar, left to right, with CommandId{0} for separators.
std::span<const CommandId> toolBarCommands();
// The canvas's right-button menu, in order, with CommandId{0} for separators.
// Its texts are its own ("Paste insert"): contextMenuText gives them.
std::span<const CommandId> contextMenuCommands();
const char* contextMenuText(CommandId id);

}  // namespace movigram
