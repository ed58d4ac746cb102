#include "EffectTable.h"

#include <cstdio>

namespace movigram {

namespace {

constexpr EffectInfo effects[EffectCount] = {
    {"Fade in", "FadeIn", "fade-in", 0x19,
     "Insert new frames before the current frame. Each frame changes colors gradually from a solid color to the "
     "image contained in the current frame."},
    {"Fade out", "FadeOut", "fade-out", 0x3A,
     "Add new frames following the current frame. Each frame changes colors gradually the original image to the "
     "selected solid color."},
    {"Dissolve from solid color", "Dissolve", "dissolve-from", 0x29,
     "Insert new frames before the current frame. The first inserted frame contains one solid color. Each frame "
     "gradually contains more pixels from the image of the current frame. The pixel locations are selected at "
     "random."},
    {"Dissolve to solid color", "Dissolve", "dissolve-to", 0x0A,
     "Add new frames following the current frame. Each frame gradually contains more pixels of the selected solid "
     "color. The pixel locations are selected at random."},
    {"Dissolve to next frame", "Dissolve", "dissolve-next", 0x06,
     "Add new frames following the current frame. Each frame gradually contains more pixels from the image of the "
     "next frame. The pixel locations are selected at random."},
    {"Wipe from solid color", "Wipe", "wipe-from", 0x29,
     "Insert new frames before the current frame. The first inserted frame contains one solid color. In each frame "
     "the current image gradually slides in from the selected direction."},
    {"Wipe to solid color", "Wipe", "wipe-to", 0x0A,
     "Add new frames following the current frame. In each inserted frame a solid color gradually slides in until "
     "it replaces the current frame."},
    {"Wipe to next frame", "Wipe", "wipe-next", 0x06,
     "Add new frames following the current frame. In each inserted frame the next image gradually slides in until "
     "it replaces the current frame."},
    {"Spiral from solid color", "Spiral", "spiral-from", 0x29,
     "Insert new frames before the current frame. The first inserted frame contains one solid color. The next "
     "image starts as a small rectangle that gradually grows to the full frame size."},
    {"Spiral to solid color", "Spiral", "spiral-to", 0x0A,
     "Add new frames following the current frame. A small rectangle of solid color start small and gradually "
     "grows to the full frame size."},
    {"Spiral to next frame", "Spiral", "spiral-next", 0x06,
     "Insert new frames before the current frame. The next image starts as a small rectangle that gradually grows "
     "to the full frame size."},
    {"Blind from solid color", "Blind", "blind-from", 0x29,
     "Insert new frames before the current frame. Similar to Wipe but with several stripes."},
    {"Blind to solid color", "Blind", "blind-to", 0x0A,
     "Add new frames following the current frame. Similar to Wipe but with several stripes."},
    {"Blind to next frame", "Blind", "blind-next", 0x06,
     "Add new frames following the current frame. Similar to Wipe but with several stripes."},
    {"Banner scroll in", "Banner", "banner-in", 0x29,
     "Add new frames before the current frame. The current frame scrolls in until it reaches the center "
     "position."},
    {"Banner scroll out", "Banner", "banner-out", 0x0E,
     "Add new frames following the current frame. The current frame scrolls out until it disappears."},
    {"Banner rotate", "Banner", "banner-rotate", 0x02,
     "Add new frames following the current frame. The current frame scrolls out to one side and scrolls in from "
     "the other side."},
};

constexpr const char* directions[DirectionCount] = {
    "from left to right", "from right to left", "from top to bottom", "from bottom to top",
    "from inside out",    "from outside in",    "horizontal",         "vertical",
};

constexpr EffectFamily families[] = {
    {EffectFamilyId::FadeIn, 10, FadeIn, FadeOut, -1, -1, FadeIn, -1, false, "fade in"},
    {EffectFamilyId::FadeOut, 10, FadeIn, FadeOut, -1, -1, FadeOut, -1, false, "fade out"},
    {EffectFamilyId::Dissolve, 11, DissolveFromSolid, DissolveToNext, -1, -1, DissolveToNext, -1, true, "dissolve"},
    {EffectFamilyId::Wipe, 10, WipeFromSolid, WipeToNext, LeftToRight, BottomToTop, WipeToNext, LeftToRight, true, "wipe"},
    {EffectFamilyId::Spiral, 10, SpiralFromSolid, SpiralToNext, InsideOut, OutsideIn, SpiralToNext, InsideOut, true, "spiral"},
    {EffectFamilyId::Blind, 10, BlindFromSolid, BlindToNext, Horizontal, Vertical, BlindToNext, Horizontal, true, "blind"},
    {EffectFamilyId::BannerScroll, 10, BannerScrollIn, BannerRotate, LeftToRight, BottomToTop, BannerRotate, LeftToRight, true,
     "banner scroll"},
};

}  // namespace

const EffectInfo* effectInfo(int32_t effect) {
    return effect >= 0 && effect < EffectCount ? &effects[effect] : nullptr;
}

int32_t effectOfCliName(std::string_view name) {
    for (int32_t e = 0; e < EffectCount; ++e)
        if (name == effects[e].cliName) return e;
    return -1;
}

const char* directionName(int32_t direction) {
    return direction >= 0 && direction < DirectionCount ? directions[direction] : "";
}

const EffectFamily* effectFamilies() { return families; }
int32_t effectFamilyCount() { return int32_t(std::size(families)); }

const EffectFamily& effectFamily(EffectFamilyId id) { return families[int32_t(id)]; }

const EffectFamily* familyOfEffect(int32_t effect) {
    for (const EffectFamily& f : families)
        if (effect >= f.firstEffect && effect <= f.lastEffect) return &f;
    return nullptr;
}

const char* effectUndoLabel(int32_t effect) {
    switch (effect) {
    case FadeIn: return "fade in";
    case FadeOut: return "fade out";
    case BannerRotate: return "banner rotate";
    default: {
        const EffectFamily* family = familyOfEffect(effect);
        return family ? family->undoLabel : "";
    }
    }
}

int32_t effectFrameNumber(int32_t effect, int32_t i, int32_t n) {
    if (effect == BannerScrollIn) return n - (i + 1);
    if (effect >= BannerScrollIn) return i + 1;
    const EffectInfo* info = effectInfo(effect);
    return info && (info->flags & EffectInsertReversed) ? n - i : i + 1;
}

std::string effectFrameName(int32_t effect, int32_t number) {
    const EffectInfo* info = effectInfo(effect);
    char text[64];
    std::snprintf(text, sizeof text, "%s-%02d", info ? info->shortName : "", number);
    return text;
}

}  // namespace movigram
