#pragma once
// The Options menu: check options that take effect at once and the palette
// modes.  Loop opens or closes the chain and counts as a change of the
// animation; the optimisation options make Save write the file even without
// edits; switching undo either way empties the journal.
#include "CommandTable.h"

namespace movigram {

// Applies the option command; false for an id that is not one of them (the
// Fixed palette mode needs a palette file and is not handled here).
bool applyOption(Document& doc, CommandId id);

}  // namespace movigram
