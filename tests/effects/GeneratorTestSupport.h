#pragma once
// What the tests of the transition generators share: effect parameters with
// a solid colour and a frame time, running a generator to its chain, and the
// names of the frames it made.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "effects/EffectParams.h"
#include "effects/TEffectsFrame.h"

namespace movigram::test {

inline constexpr int solid = 5;

inline EffectParams params(int effect, int count, int direction = 0) {
    EffectParams p;
    p.effect = effect;
    p.frameCount = count;
    p.direction = direction;
    p.solidIndex = solid;
    p.msPerFrame = 70;
    return p;
}

template <typename Generator, typename... Args>
FrameChain run(Args&&... args) {
    return TEffectsFrame::takeChain(std::make_unique<Generator>(std::forward<Args>(args)...));
}

inline std::vector<std::string> namesOf(const FrameChain& chain) {
    std::vector<std::string> names;
    for (const auto& f : chain) names.push_back(f->name);
    return names;
}

}  // namespace movigram::test
