#pragma once
// The seventeen effects with their names, short names (used in the names of
// generated frames), command-line names, flags and descriptions; the eight
// directions; and the seven families of the Effects menu with the ranges
// they offer.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace movigram {

enum EffectFlags : int32_t {
    EffectBefore = 0x01,         // built by DoFadeIn: frames go before the current frame
    EffectAfter = 0x02,          // built by DoFadeOut: frames go after the current frame
    EffectNeedsNext = 0x04,      // needs a following frame
    EffectUsesSolid = 0x08,      // uses the solid colour
    EffectAnyRgb = 0x10,         // the solid colour may be any RGB value
    EffectInsertReversed = 0x20  // the generated chain is inserted in reverse order
};

enum EffectIndex : int32_t {
    FadeIn = 0,
    FadeOut,
    DissolveFromSolid,
    DissolveToSolid,
    DissolveToNext,
    WipeFromSolid,
    WipeToSolid,
    WipeToNext,
    SpiralFromSolid,
    SpiralToSolid,
    SpiralToNext,
    BlindFromSolid,
    BlindToSolid,
    BlindToNext,
    BannerScrollIn,
    BannerScrollOut,
    BannerRotate,
    EffectCount
};

enum DirectionIndex : int32_t {
    LeftToRight = 0,
    RightToLeft,
    TopToBottom,
    BottomToTop,
    InsideOut,
    OutsideIn,
    Horizontal,
    Vertical,
    DirectionCount
};

struct EffectInfo {
    const char* name;
    const char* shortName;
    const char* cliName;  // the step of movigram-cli edit: "fade-in", "wipe-next" ...
    int32_t flags;
    const char* description;
};

// Entry `effect` (0..16); null outside the table.
const EffectInfo* effectInfo(int32_t effect);
// The effect whose cliName is `name`, or -1.
int32_t effectOfCliName(std::string_view name);
// "from left to right" ... "vertical"; empty outside the table.
const char* directionName(int32_t direction);

// The families, one per command of the Effects menu, in menu order.
enum class EffectFamilyId : int32_t { FadeIn, FadeOut, Dissolve, Wipe, Spiral, Blind, BannerScroll };

// One family of effects: the range its command's dialog offers.
struct EffectFamily {
    EffectFamilyId id;
    int32_t dialogResource;
    int32_t firstEffect, lastEffect;
    int32_t firstDirection, lastDirection;  // -1 when the family has none
    int32_t initialEffect, initialDirection;
    bool remembers;  // keeps the last choice while the program runs
    const char* undoLabel;
};
// Families in menu order: Fade in to Banner scroll.
const EffectFamily* effectFamilies();
int32_t effectFamilyCount();
const EffectFamily& effectFamily(EffectFamilyId id);
const EffectFamily* familyOfEffect(int32_t effect);

// The undo label of the frames an effect inserts: "fade in", "dissolve",
// "banner rotate" ...
const char* effectUndoLabel(int32_t effect);
// The number in the name of generated frame i (generation order) of n, so
// that the names read 01, 02, ... in list order after insertion ("Banner
// scroll in" reads 00 upward).
int32_t effectFrameNumber(int32_t effect, int32_t i, int32_t n);
// "%s-%02d" of the effect's short name and number.
std::string effectFrameName(int32_t effect, int32_t number);

}  // namespace movigram
