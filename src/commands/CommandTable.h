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

#include "document/CommandId.h"
#include "document/Document.h"

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
