#pragma once
// What the dialogs remember while the program runs (not saved): the
// parameters of the effects, the last effect and direction of each effect
// command, and the flip and rotate choice.
#include <cstdint>
#include <map>
#include <utility>

#include "commands/CommandTable.h"
#include "effects/EffectParams.h"
#include "frameops/FlipRotate.h"

namespace movigram {

struct RotateChoice {
    FlipRotateOperation operation = FlipRotateOperation::Flip;
    bool rotateLeft = false;
};

struct DialogMemory {
    EffectParams effects;
    std::map<CommandId, std::pair<int32_t, int32_t>> effectChoice;
    RotateChoice rotate;
};

}  // namespace movigram
