#pragma once
// The two entry operations of the effects: DoFadeIn builds the frames that
// go before the current frame, DoFadeOut those that go after it.  Both insert
// the new frames as one undoable step and bring the frame times to one
// common unit.
#include <cstdint>
#include <optional>
#include <string>

#include "EffectParams.h"
#include "EffectTable.h"
#include "document/Document.h"

namespace movigram {

enum class EffectResult {
    Inserted,
    NotForThisEntry,   // the effect lacks the entry's flag ("Internal Error" shown)
    NoImage,           // no current frame, or one without an image
    NoNextFrame,       // the effect needs a following frame and there is none
    InvalidParameters,  // frame count below 1, negative time, or a direction outside the family
    NoMemory            // the new frames would pass the decoding limits; nothing was made
};

EffectResult DoFadeIn(Document& doc, const EffectParams& params, std::optional<uint32_t> seed = std::nullopt);
EffectResult DoFadeOut(Document& doc, const EffectParams& params, std::optional<uint32_t> seed = std::nullopt);

// The frame that plays after the current one and has an image (following a
// looping chain round to the start), or null.
TFrame* followingImageFrame(const Document& doc);
// Whether the effects that need a following frame can run on the current
// frame: its next is neither null nor the frame itself, and a frame with an
// image follows it (comment frames give the generators no picture).
bool hasFollowingFrame(const Document& doc);
// The effect the dialog keeps when the person chooses `effect` from the
// range of params: one that needs a following frame gives way, while there
// is none, to the next effect of the range, wrapping from the last to the
// first.
int32_t offeredEffect(const Document& doc, const EffectParams& params, int32_t effect);
// The colour index of the current frame's top-left pixel, which every
// effect command proposes as the solid colour; 0 without one.
int32_t proposedSolidIndex(const Document& doc);
// The RGB value of a palette index as the current frame shows it.
int32_t colorOfIndex(const Document& doc, int32_t index);
// Sets the range, effect and direction of a command's family (its first
// choice; the editor keeps the last one instead).
void selectFamily(EffectParams& params, const EffectFamily& family);

// What an effect command does after its dialog: DoFadeIn for the first
// effect of the family (Fade in for the fade commands), DoFadeOut for the
// others; the Fade in command then rebuilds one global palette when local
// palettes are merged, whatever was chosen, as an undo step of its own
// under rebuildLabel (Reduce color depth's).
EffectResult runEffectCommand(Document& doc, const EffectFamily& family, const EffectParams& params,
                              const std::string& rebuildLabel, std::optional<uint32_t> seed = std::nullopt);

}  // namespace movigram
