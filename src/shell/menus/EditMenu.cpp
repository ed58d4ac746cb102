// The Edit menu's handlers: undo and redo, and the clipboard commands on
// the system clipboard.
#include "MenuHandlers.h"
#include "shell/EditClipboard.h"
#include "shell/EditorSession.h"
#include "commands/ClipboardCommands.h"
#include "document/Undo.h"

namespace movigram {

namespace {

using C = CommandId;
using S = EditorSession;

constexpr MenuHandler handlers[] = {
    {C::Undo, [](S& s) { undo(s.document()); }},
    {C::Redo, [](S& s) { redo(s.document()); }},
    {C::Cut, [](S& s) { s.clipboard().cut(s.document()); }},
    {C::Copy, [](S& s) { s.clipboard().copy(s.document()); }},
    {C::Paste, [](S& s) { s.clipboard().paste(s.document(), PastePlace::BeforeSelected); }},
    {C::PasteAppend, [](S& s) { s.clipboard().paste(s.document(), PastePlace::AtEnd); }},
    {C::Delete, [](S& s) { deleteFrame(s.document(), undoLabelOf(C::Delete)); }},
};

}  // namespace

std::span<const MenuHandler> editMenuHandlers() { return handlers; }

}  // namespace movigram
