#include "MenuHandlers.h"

#include <array>

namespace movigram {

std::span<const MenuHandlerTable> menuHandlerTables() {
    static constexpr std::array<MenuHandlerTable, 9> tables{
        fileMenuHandlers,    editMenuHandlers, animationMenuHandlers, framesMenuHandlers, paletteMenuHandlers,
        effectsMenuHandlers, viewMenuHandlers, optionsMenuHandlers,   helpMenuHandlers};
    return tables;
}

const MenuHandler* findMenuHandler(CommandId id) {
    for (auto table : menuHandlerTables())
        for (const MenuHandler& handler : table())
            if (handler.id == id) return &handler;
    return nullptr;
}

}  // namespace movigram
