#include "TEffectsFrame.h"

#include <algorithm>
#include <cstring>

#include "EffectTable.h"
#include "colour/OptimizedPalette.h"
#include "colour/PaletteMapping.h"
#include "document/Compose.h"

namespace movigram {

namespace {

// Maps a frame onto its (new) local palette by nearest colours, keeping its
// transparent pixels apart from the visible ones.
void mapOntoOwnPalette(TFrame& frame) {
    TDib256& image = *frame.image;
    image.transparentIndex = frame.transparentIndex;
    mapToPalette(image, *frame.localPalette, true, false);
    if (frame.transparentIndex >= 0 && image.colorMap)
        frame.transparentIndex = (*image.colorMap)[size_t(frame.transparentIndex & 0xFF)];
    image.transparentIndex = frame.transparentIndex;
}

}  // namespace

TEffectsFrame::TEffectsFrame(const TFrame& source, const EffectParams& params)
    : TFrame(source, TRect{}),
      params_(params),
      frameCount_(std::max(params.frameCount, 1)),
      fillValue_(uint8_t(std::clamp(params.solidIndex, 0, 255))) {
    frameTime = params.msPerFrame;
    repeat = 1;
}

FrameChain TEffectsFrame::takeChain(std::unique_ptr<TEffectsFrame> generator) {
    FrameChain chain;
    FrameChain followers = std::move(generator->followers_);
    chain.push_back(std::move(generator));
    for (auto& f : followers) chain.push_back(std::move(f));
    linkChain(chain);
    return chain;
}

TFrame& TEffectsFrame::lastGenerated() { return followers_.empty() ? *this : *followers_.back(); }

TFrame& TEffectsFrame::generate(int32_t i, const TFrame& from) {
    TFrame* frame = this;
    if (i > 0) {
        auto copy = std::make_unique<TFrame>(from, TRect{});
        lastGenerated().next = copy.get();
        frame = copy.get();
        followers_.push_back(std::move(copy));
    }
    frame->name = effectFrameName(params_.effect, effectFrameNumber(params_.effect, i, frameCount_));
    frame->frameTime = params_.msPerFrame;
    frame->repeat = 1;
    return *frame;
}

std::unique_ptr<TDib256> TEffectsFrame::makeTarget(const TFrame& nextFrame) {
    const TFrame* drawn = &nextFrame;
    std::unique_ptr<TFrame> copy;
    if ((localPalette || nextFrame.localPalette) && image && nextFrame.image) {
        copy = std::make_unique<TFrame>(nextFrame, TRect{});
        TFrame* const savedNext = next;
        next = copy.get();
        TOptimizedPalette builder(256, std::nullopt, this, nullptr, true);
        const bool built = builder.build();
        next = savedNext;
        // Without a common palette the next frame is drawn as it is.
        if (built) {
            const TMyPalette common = builder.makePalette();
            localPalette = std::make_unique<TMyPalette>(common);
            copy->localPalette = std::make_unique<TMyPalette>(common);
            mapOntoOwnPalette(*this);
            mapOntoOwnPalette(*copy);
        }
        drawn = copy.get();
    }
    auto target = std::make_unique<TDib256>(*image);
    // As on the screen: a frame that restores to the background is erased
    // before the next one is drawn.
    if (restoreToBackground) target->fill(uint8_t(fillColorOf(*this)));
    if (drawn->image)
        target->blit(drawn->rect.left - rect.left, drawn->rect.top - rect.top, *drawn->image,
                     drawn->transparentIndex >= 0 ? drawn->transparentIndex : -1);
    return target;
}

void TEffectsFrame::fillRegion(TDib256& into, TRect region, const TDib256* target) const {
    region = region.intersected(into.bounds());
    if (region.isEmpty()) return;
    const size_t n = size_t(region.width());
    for (int32_t y = region.top; y < region.bottom; ++y) {
        if (target) std::memcpy(into.row(y) + region.left, target->row(y) + region.left, n);
        else std::memset(into.row(y) + region.left, fillValue_, n);
    }
}

}  // namespace movigram
