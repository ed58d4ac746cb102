#include "OptionCommands.h"

namespace movigram {

bool applyOption(Document& doc, CommandId id) {
    const CommandInfo* info = findCommand(id);
    if (!info || info->menu != Menu::Options || !info->run) return false;
    info->run(doc);
    doc.optionsEdited();
    return true;
}

}  // namespace movigram
