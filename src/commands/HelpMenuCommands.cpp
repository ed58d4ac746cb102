// The Help menu's records.
#include "MenuRecords.h"

namespace movigram::records {

namespace {

using C = CommandId;
using M = Menu;

// clang-format off
const CommandInfo help[] = {
    {.id = C::HelpEnglish, .menu = M::Help, .menuText = "&English", .help = "Displays the Movigram help document", .submenu = "&Help", .submenuHelp = "", .icon = "help"},
    {.id = C::HelpFrench, .menu = M::Help, .menuText = "&French", .help = "", .submenu = "&Help", .submenuHelp = ""},
    {.id = C::HelpSpanish, .menu = M::Help, .menuText = "&Spanish", .help = "", .submenu = "&Help", .submenuHelp = ""},
    {.id = C::About, .menu = M::Help, .menuText = "&About", .help = ""},
    {.id = C::HowToUseHelp, .menu = M::Help, .menuText = "&How to use help", .help = "Displays instructinos on how to use help"},
};
// clang-format on

}  // namespace

std::span<const CommandInfo> helpMenu() { return help; }

}  // namespace movigram::records
