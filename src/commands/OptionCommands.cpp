#include "OptionCommands.h"

namespace movigram {

bool applyOption(Document& doc, CommandId id) {
    const CommandInfo* info = findCommand(id);
    if (!info || info->menu != Menu::Options || !info->run) return false;
    info->run(doc);
    doc.notify(&DocumentObserver::optionsChanged);
    return true;
}

}  // namespace movigram
