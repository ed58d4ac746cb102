#pragma once
// The commands that open a dialog of the Frames, Animation and Effects
// menus: each stops playback, runs its dialog and leaves the rest to the
// core operation the dialog calls.
#include <map>
#include <utility>

#include "FrameDialogs.h"
#include "commands/CommandId.h"
#include "effects/EffectParams.h"

namespace movigram {

class TBmpViewWindow;

// What the dialogs remember while the program runs (not saved): the
// parameters of the effects, the last effect and direction of each effect
// command, and the flip and rotate choice.
struct DialogMemory {
    EffectParams effects;
    std::map<CommandId, std::pair<int32_t, int32_t>> effectChoice;
    RotateChoice rotate;
};

// Runs the command when it is one of the dialog commands; false otherwise.
bool runDialogCommand(TBmpViewWindow& view, CommandId id);

}  // namespace movigram
