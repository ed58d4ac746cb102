#include "DoFade.h"

#include <cstdio>

#include "FadeDissolve.h"
#include "GeometricEffects.h"
#include "colour/ReadingPolicy.h"
#include "document/EditScope.h"
#include "document/Undo.h"
#include "document/Compose.h"
#include "document/FrameChain.h"
#include "document/GrowthLimits.h"

namespace movigram {

namespace {

bool validParameters(const EffectParams& p) {
    if (p.frameCount < 1 || p.msPerFrame < 0 || p.cellWidth < 1 || p.cellHeight < 1) return false;
    const EffectFamily* family = familyOfEffect(p.effect);
    if (!family) return false;
    if (family->firstDirection < 0) return true;
    return p.direction >= family->firstDirection && p.direction <= family->lastDirection;
}

FrameChain generateFrames(const TFrame& source, const EffectParams& p, const TFrame* next,
                          std::optional<uint32_t> seed) {
    std::unique_ptr<TEffectsFrame> generator;
    switch (p.effect) {
    case FadeIn:
    case FadeOut: generator = std::make_unique<TFadeInOutFrame>(source, p); break;
    case DissolveFromSolid:
    case DissolveToSolid:
    case DissolveToNext: generator = std::make_unique<TDissolveFrame>(source, p, next, seed); break;
    case WipeFromSolid:
    case WipeToSolid:
    case WipeToNext: generator = std::make_unique<TWipeFrame>(source, p, next); break;
    case SpiralFromSolid:
    case SpiralToSolid:
    case SpiralToNext: generator = std::make_unique<TSpiralFrame>(source, p, next); break;
    case BlindFromSolid:
    case BlindToSolid:
    case BlindToNext: generator = std::make_unique<TBlindFrame>(source, p, next); break;
    default: generator = std::make_unique<TBannerFrame>(source, p); break;
    }
    return TEffectsFrame::takeChain(std::move(generator));
}

EffectResult doFade(Document& doc, const EffectParams& p, bool fadeIn, std::optional<uint32_t> seed) {
    const EffectInfo* info = effectInfo(p.effect);
    const int32_t entryFlag = fadeIn ? EffectBefore : EffectAfter;
    if (!info || !(info->flags & entryFlag)) {
        char text[96];
        std::snprintf(text, sizeof text, fadeIn ? "DoFadeIn(%s)" : "DoFadeOut(%s)", info ? info->name : "");
        doc.host().showMessage("Internal Error", text, MessageIcon::Stop);
        return EffectResult::NotForThisEntry;
    }
    TFrame* current = doc.currentFrame;
    if (!current || !current->image) return EffectResult::NoImage;
    if (!validParameters(p)) return EffectResult::InvalidParameters;

    // The effects that need a next frame are offered only when there is
    // one; they are all built by DoFadeOut.
    const TFrame* next = nullptr;
    if (!fadeIn && (info->flags & EffectNeedsNext)) {
        next = followingImageFrame(doc);
        if (!next) return EffectResult::NoNextFrame;
    }
    doc.startEdit();

    // A partial frame on the global palette is replaced by the full picture
    // of that moment, which serves only as the template.
    const TFrame* source = current;
    std::unique_ptr<TFrame> composed;
    if (!current->localPalette &&
        (current->rect.width() != doc.screenWidth || current->rect.height() != doc.screenHeight)) {
        const TMyPalette none;
        composed = compositeAt(doc.frameList, doc.frameList.indexOf(current), effectFrameName(p.effect, 0),
                               {doc.screenWidth, doc.screenHeight}, doc.globalPalette ? *doc.globalPalette : none);
        if (composed) source = composed.get();
    }

    // Every new frame is the size of the template.
    if (!growthFits(doc.frameList, uint64_t(p.frameCount), 1, source->image->byteSize()))
        return EffectResult::NoMemory;
    FrameChain chain = generateFrames(*source, p, next, seed);
    const bool reversed = info->flags & EffectInsertReversed;
    const int flags = (fadeIn ? 0 : InsertAfter) | (reversed ? InsertReversed : 0);
    insertFrames(doc, flags, std::move(chain), effectUndoLabel(p.effect));
    doc.frameTime = normalizeFrameTimes(doc.firstFrame);
    return EffectResult::Inserted;
}

}  // namespace

EffectResult DoFadeIn(Document& doc, const EffectParams& params, std::optional<uint32_t> seed) {
    return doFade(doc, params, true, seed);
}

EffectResult DoFadeOut(Document& doc, const EffectParams& params, std::optional<uint32_t> seed) {
    return doFade(doc, params, false, seed);
}

TFrame* followingImageFrame(const Document& doc) {
    const TFrame* current = doc.currentFrame;
    if (!current) return nullptr;
    for (TFrame* f = current->next; f && f != current; f = f->next) {
        if (f->image) return f;
    }
    return nullptr;
}

bool hasFollowingFrame(const Document& doc) {
    const TFrame* current = doc.currentFrame;
    return current && current->next && current->next != current && followingImageFrame(doc);
}

int32_t offeredEffect(const Document& doc, const EffectParams& params, int32_t effect) {
    if (hasFollowingFrame(doc)) return effect;
    const int32_t range = params.lastEffect - params.firstEffect + 1;
    for (int32_t tries = 0; tries < range; ++tries) {
        const EffectInfo* info = effectInfo(effect);
        if (!info || !(info->flags & EffectNeedsNext)) return effect;
        effect = effect >= params.lastEffect ? params.firstEffect : effect + 1;
    }
    return effect;
}

int32_t proposedSolidIndex(const Document& doc) {
    const TFrame* f = doc.currentFrame;
    if (!f || !f->image || f->image->width() == 0 || f->image->height() == 0) return 0;
    return f->image->pixel(0, 0);
}

int32_t colorOfIndex(const Document& doc, int32_t index) {
    const TFrame* f = doc.currentFrame;
    if (index < 0 || index > 255 || !f || !f->image) return 0;
    const RgbQuad& c = f->image->colors()[size_t(index)];
    return rgbValue(c.red, c.green, c.blue);
}

void selectFamily(EffectParams& params, const EffectFamily& family) {
    params.firstEffect = family.firstEffect;
    params.lastEffect = family.lastEffect;
    params.effect = family.initialEffect;
    params.firstDirection = family.firstDirection;
    params.lastDirection = family.lastDirection;
    params.direction = family.initialDirection;
}

EffectResult runEffectCommand(Document& doc, const EffectFamily& family, const EffectParams& params,
                              const std::string& rebuildLabel, std::optional<uint32_t> seed) {
    const bool fadeCommand = family.firstEffect == FadeIn;
    const bool first = fadeCommand ? params.effect == FadeIn : params.effect == family.firstEffect;
    const EffectResult result = first ? DoFadeIn(doc, params, seed) : DoFadeOut(doc, params, seed);
    if (family.id == EffectFamilyId::FadeIn && rebuildsAfterEdit(doc) && !doc.frameList.empty()) {
        // The rebuild renumbers every frame's pixels: a step of its own, as
        // after a paste, so that undoing the fade never leaves frames on a
        // palette that is no longer there.
        EditScope edit(doc, EditScope::whole(doc, rebuildLabel));
        rebuildAfterEdit(doc);
    }
    return result;
}

}  // namespace movigram
