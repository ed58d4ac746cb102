#pragma once
// The commands that need a person (a dialog, a file chooser, a pick, a
// window), one table per menu, each in its own file.  A command that needs
// no person runs in the core and has no entry here; a command has exactly
// one handler, which the session finds by id.
#include <optional>
#include <span>

#include "commands/CommandTable.h"
#include "document/Geometry.h"
#include "shell/CanvasBox.h"

namespace movigram {

class EditorSession;

struct MenuHandler {
    CommandId id;
    void (*run)(EditorSession& session);
};

std::span<const MenuHandler> fileMenuHandlers();
std::span<const MenuHandler> editMenuHandlers();
std::span<const MenuHandler> animationMenuHandlers();
std::span<const MenuHandler> framesMenuHandlers();
std::span<const MenuHandler> paletteMenuHandlers();
std::span<const MenuHandler> effectsMenuHandlers();
std::span<const MenuHandler> viewMenuHandlers();
std::span<const MenuHandler> optionsMenuHandlers();
std::span<const MenuHandler> helpMenuHandlers();

// The box tool's box chosen: its dialog with the box and the frames
// selected in the list (all frames when the list selects one).  Nothing
// when the dialog did its work; else the box its numbers were left at.
std::optional<TRect> runBoxDialog(EditorSession& session, BoxTool tool, const TRect& box);

// Every menu's handlers, menu by menu.
using MenuHandlerTable = std::span<const MenuHandler> (*)();
std::span<const MenuHandlerTable> menuHandlerTables();
// The first handler of the command, or null when the core runs it.
const MenuHandler* findMenuHandler(CommandId id);

}  // namespace movigram
