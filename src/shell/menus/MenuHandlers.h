#pragma once
// The commands that need a person (a dialog, a file chooser, a pick, a
// window), one table per menu, each in its own file.  A command that needs
// no person runs in the core and has no entry here; a command has exactly
// one handler, which the session finds by id.
#include <span>

#include "commands/CommandTable.h"

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

// Every menu's handlers, menu by menu.
using MenuHandlerTable = std::span<const MenuHandler> (*)();
std::span<const MenuHandlerTable> menuHandlerTables();
// The first handler of the command, or null when the core runs it.
const MenuHandler* findMenuHandler(CommandId id);

}  // namespace movigram
