#pragma once
// The Options menu: the check options and palette modes that take effect at
// once, each run through its record (OptionsMenuCommands.cpp).
#include "CommandTable.h"

namespace movigram {

// Applies the option command and announces the options; false for an id
// that is not one of them (the Fixed palette mode needs a palette file and
// is not handled here).
bool applyOption(Document& doc, CommandId id);

}  // namespace movigram
