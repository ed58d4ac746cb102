// The Help menu's handlers: the help pages in the browser, the page on how
// to use help, and the about box.
#include "MenuHandlers.h"
#include "shell/BrowserServices.h"
#include "shell/EditorSession.h"

namespace movigram {

namespace {

using C = CommandId;
using S = EditorSession;

constexpr MenuHandler handlers[] = {
    {C::HelpEnglish, [](S& s) { s.browserServices().help(s.document().host(), C::HelpEnglish); }},
    {C::HelpFrench, [](S& s) { s.browserServices().help(s.document().host(), C::HelpFrench); }},
    {C::HelpSpanish, [](S& s) { s.browserServices().help(s.document().host(), C::HelpSpanish); }},
    {C::HowToUseHelp, [](S& s) { s.browserServices().howToUseHelp(s.document().host()); }},
    {C::About, [](S& s) { s.browserServices().about(s.window()); }},
};

}  // namespace

std::span<const MenuHandler> helpMenuHandlers() { return handlers; }

}  // namespace movigram
