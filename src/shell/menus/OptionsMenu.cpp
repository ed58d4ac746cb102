// The Options menu's handler that needs a person: Undo memory.  The check
// options and the palette modes run in the core; "Fixed..." chooses a
// palette file with the palette commands.
#include <QInputDialog>
#include <algorithm>

#include "MenuHandlers.h"
#include "shell/EditorSession.h"
#include "document/Undo.h"

namespace movigram {

namespace {

using C = CommandId;
using S = EditorSession;

// The budget in MiB, with what the history holds now.
void chooseUndoMemory(S& s) {
    Document& doc = s.document();
    const int64_t mib = UndoJournal::mib;
    const int held = int((doc.undo.bytesHeld() + mib - 1) / mib);
    const int maximum = int(std::clamp<int64_t>(UndoJournal::defaultBudget() * 8 / mib, 256, 1 << 20));
    bool ok = false;
    const int chosen = QInputDialog::getInt(
        s.window(), QStringLiteral("Undo memory"),
        QStringLiteral("The undo history holds %1 MiB now.\nMemory it may keep, in MiB (the oldest steps are "
                       "forgotten beyond it):")
            .arg(held),
        int(std::min<int64_t>(doc.undo.budget() / mib, maximum)), 16, maximum, 16, &ok);
    if (ok) setUndoBudget(doc, chosen * mib);
}

constexpr MenuHandler handlers[] = {
    {C::UndoMemory, chooseUndoMemory},
};

}  // namespace

std::span<const MenuHandler> optionsMenuHandlers() { return handlers; }

}  // namespace movigram
