#pragma once
// What the dialogs remember while the program runs: the parameters of the
// effects, the last effect and direction of each effect command, the flip
// and rotate choice (none of them saved), and the target size of Save for
// sharing (saved with the settings).
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "commands/CommandTable.h"
#include "effects/EffectParams.h"
#include "frameops/FlipRotate.h"
#include "shell/recording/RecordChoice.h"

namespace movigram {

struct RotateChoice {
    FlipRotateOperation operation = FlipRotateOperation::Flip;
    bool rotateLeft = false;
};

struct DialogMemory {
    // Save for sharing's target size, as typed; kept in the settings file.
    std::string shareTarget = "10 MB";
    // What File > Record screen... recorded last and how; kept in the
    // settings file (but a window, whose id changes from run to run).
    RecordChoice record;
    EffectParams effects;
    std::map<CommandId, std::pair<int32_t, int32_t>> effectChoice;
    RotateChoice rotate;
};

}  // namespace movigram
