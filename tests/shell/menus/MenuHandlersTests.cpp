// Every command of the table is carried out in exactly one place: a handler
// of one menu file of the editor, or the core.
#include <gtest/gtest.h>

#include <map>

#include "commands/CommandTable.h"
#include "shell/menus/MenuHandlers.h"

namespace movigram {
namespace {

TEST(MenuHandlers, EveryCommandHasExactlyOneHandler) {
    std::map<CommandId, int> handlers;
    for (MenuHandlerTable table : menuHandlerTables())
        for (const MenuHandler& handler : table()) {
            EXPECT_NE(findCommand(handler.id), nullptr) << "a handler of no command: " << int(handler.id);
            ++handlers[handler.id];
        }
    for (const CommandInfo& info : commandTable()) {
        // The core carries out what needs no person (the check options, the
        // palette modes, the merges, Unoptimize): the record names its function.
        const bool core = info.run != nullptr;
        EXPECT_EQ(handlers[info.id] + (core ? 1 : 0), 1) << info.menuText << " (" << int(info.id) << ")";
    }
}

}  // namespace
}  // namespace movigram
