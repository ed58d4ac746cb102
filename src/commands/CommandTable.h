#pragma once
// The command records: every command of the editor declared once, with its
// id, menu text, status-bar help, shortcut, the menu and submenu it sits in,
// its icon, its enabling and check rules as functions of the document and
// the view, its context-menu text, the command-line steps that run it, its
// undo label, and for a command that needs no person, the function that
// runs it.  The menus, tool bar and context menu of the editor and the step
// grammar, help and dispatch of the command-line tool are built from these
// records.  The records live one file per menu (FileMenuCommands.cpp ...).
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "CommandId.h"
#include "document/Document.h"
#include "effects/DoFade.h"
#include "frameops/FrameSelection.h"

namespace movigram {

enum class Menu { File, Edit, Animation, Frames, Options, View, Effects, Help, None };

// What the enabling and check rules need besides the document: the view's
// own state, and the clipboard as the editor sees it.
struct ViewState {
    int32_t zoom = 1;
    bool showDirtyOnly = false;
    bool showPaletteWindow = true;
    bool showFrameList = true;
    bool showAsBrowsers = false;
    // The frame list's pictures: each frame's own patch instead of the
    // screen as it shows after the frame.
    bool showFramePatches = false;
    bool paletteWindowExists = false;
    bool clipboardHasData = false;
};

// How a command-line step's argument is written.
enum class StepForm {
    None,          // --unoptimize
    Frames,        // --reverse 2-6
    FramesValues,  // --shift 0-9:5,0
    FramesWord,    // --restore all:background
    Value,         // --loop 3
    ValueOrNone,   // --transparent 5 | none
    FrameRate,     // --frame-rate 50 | all:50,2
    Effect,        // --fade-in [3:]8,ms=50
    Text,          // --scale 50% | 320x0: the whole argument, read by the step
    FramesText,    // --speed 0-9:1.5: the frames, and the text after the colon read by the step
};

// The values a step accepts, inclusive.
struct ValueRange {
    int64_t low = 0, high = 0;
};

// A step as the command line gave it, its frames resolved against the
// document.
struct StepArguments {
    std::string name;          // "crop", "fade-in" ...
    bool framesGiven = false;  // the argument named frames
    FrameSelection frames;     // their positions, counted from 0
    std::vector<int32_t> values;
    std::string word;                            // the keyword, when it took one
    std::map<std::string, std::string> options;  // effects: key=value
};

// What a step reports: nothing when it ran; a message, and whether the
// message is about how the step was written (a usage error).
struct StepOutcome {
    std::string error;
    bool usage = false;
};

using StepFunction = StepOutcome (*)(Document&, const StepArguments&);

// One command-line step (movigram-cli edit --NAME ARGUMENT).
struct CliStep {
    const char* name;
    StepForm form;
    int minValues, maxValues;
    const char* words;  // accepted words separated by '|', or null
    ValueRange first;   // the first value
    ValueRange rest;    // the values after it
    StepFunction run;
    // The step's lines of --help, "" when a neighbour's line covers it; and
    // where the lines stand among the others.
    const char* help;
    int helpOrder;
    // The undo label the step records under when it differs from its
    // record's (Flip and rotate's three operations), or null.
    const char* undoLabel = nullptr;
};

using EnableRule = bool (*)(const Document&, const ViewState&);

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
    // The icon's resource name (":/icons/NAME.svg"), or null.
    const char* icon = nullptr;
    // When the command is enabled; null for always.
    EnableRule enabled = nullptr;
    // Whether the check mark (or radio dot) is shown; null for never.
    EnableRule checked = nullptr;
    // The text of the canvas's right-button menu, or null when not there.
    const char* contextText = nullptr;
    // The command-line steps that run the same operation.
    std::span<const CliStep> steps = {};
    // The undo label the command records under, or null.
    const char* undoLabel = nullptr;
    // Runs the command when it needs no person (no dialog, no pick); null
    // otherwise.  False when nothing was done.
    bool (*run)(Document&) = nullptr;
    // The family of an Effects command.
    std::optional<EffectFamilyId> effectFamily = std::nullopt;
};

// Every command, in menu order within each menu.  Item 602 is in no menu.
std::span<const CommandInfo> commandTable();
// Null for an unknown id.
const CommandInfo* findCommand(CommandId id);
const CommandInfo* findCommand(int32_t id);
// The label a command records its undo step under; "" for a command that
// records none (or an unknown id).
const char* undoLabelOf(CommandId id);
// The label a step of a record records under: the step's own when it has
// one, else its command's; "" for an unknown step.
const char* undoLabelOfStep(const std::string& name);

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
// Runs a command through its record's function (an option also announces
// the options); false for one that needs a person (or an unknown id).
bool runCommand(Document& doc, CommandId id);

// The tool bar, left to right, with CommandId{0} for separators.
std::span<const CommandId> toolBarCommands();
// The canvas's right-button menu, in order, with CommandId{0} for separators.
// Its texts are its own ("Paste insert"): contextMenuText gives them.
std::span<const CommandId> contextMenuCommands();
const char* contextMenuText(CommandId id);

// The family of an Effects command, or null.
const EffectFamily* familyOfCommand(CommandId id);
// The Effects command of a family.
CommandId commandOfFamily(EffectFamilyId family);
// An effect command after its dialog (see runEffectCommand of the effects).
EffectResult runEffectCommand(Document& doc, CommandId id, const EffectParams& params,
                              std::optional<uint32_t> seed = std::nullopt);

// The command-line step called `name`: a step of a record, or one of the
// effects by the effect table's command-line names.  Null for none.
const CliStep* findStep(const std::string& name);
// The command a step belongs to (an effect's: its family's command), or
// CommandId{0}.
CommandId commandOfStep(const std::string& name);
// The steps of the records, in the order of --help.
std::vector<const CliStep*> stepsInHelpOrder();
// The lines of --help about the effect steps.
std::string effectStepsHelp();

}  // namespace movigram
