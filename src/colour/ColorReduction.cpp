#include "ColorReduction.h"

#include <algorithm>

#include "ChainDitherer.h"
#include "OptimizedPalette.h"
#include "PaletteMapping.h"
#include "document/FrameChain.h"

namespace movigram {

bool reduceColors(Document& doc, int colors, bool collapseLocal) {
    colors = std::clamp(colors, 2, 256);
    Host& host = doc.host();
    StatusText status(host, "Reducing to " + std::to_string(colors) + " colors");

    std::optional<PaletteEntry> reserved;
    const int32_t t = documentTransparent(doc.firstFrame);
    if (t >= 0 && doc.globalPalette) reserved = doc.globalPalette->entry(t & 0xFF);
    // Frames whose local palettes are collapsed keep their transparency too:
    // without an entry of its own, the transparent value of a frame that
    // uses every colour of the new palette would take a visible colour's
    // index and hide those pixels.
    if (!reserved && collapseLocal)
        forEachInChain(doc.firstFrame, [&](TFrame& f) {
            if (!reserved && f.image && f.localPalette && f.transparentIndex >= 0)
                reserved = f.localPalette->entry(f.transparentIndex & 0xFF);
        });

    const std::optional<PaletteEntry> background = backgroundColor(doc);
    TOptimizedPalette builder(colors, reserved, doc.firstFrame, &host, collapseLocal);
    if (background) builder.alsoHold(*background);
    builder.useQuantizer(doc.quantize.quantizer);
    const bool built = builder.build();
    if (built) {
        doc.setModified(true);
        doc.optimizable = false;
        doc.globalPalette = std::make_unique<TMyPalette>(builder.makePalette());
        // Colours kept exactly have nothing to dither.
        remapAllFrames(doc, 50, collapseLocal, background, !builder.exact());
    }
    doc.paletteEdited();
    return built;
}

std::optional<PaletteEntry> backgroundColor(const Document& doc) {
    const int32_t b = doc.backgroundIndex;
    if (!doc.globalPalette || b < 0 || b >= doc.globalPalette->colorCount) return std::nullopt;
    return doc.globalPalette->entry(b);
}

void remapAllFrames(Document& doc, int progressBase, bool collapseLocal, std::optional<PaletteEntry> background,
                    bool dither) {
    if (!doc.globalPalette) doc.globalPalette = std::make_unique<TMyPalette>();
    Host& host = doc.host();
    const int total = chainCount(doc.firstFrame);
    int visited = 0;
    std::unique_ptr<ChainDitherer> ditherer;
    if (dither && doc.quantize.dither != DitherMethod::None)
        ditherer = std::make_unique<ChainDitherer>(doc.firstFrame, *doc.globalPalette, doc.quantize);
    forEachInChain(doc.firstFrame, [&](TFrame& f) {
        ++visited;
        if (!f.image) return;
        if (f.localPalette) {
            if (!collapseLocal) {
                if (ditherer) ditherer->pass(f);
                return;
            }
            f.localPalette.reset();
        }
        if (ditherer) {
            ditherer->remap(f);
        } else {
            f.image->transparentIndex = f.transparentIndex;
            mapToPalette(*f.image, *doc.globalPalette, true, false);
            if (f.transparentIndex >= 0 && f.image->colorMap)
                f.transparentIndex = (*f.image->colorMap)[size_t(f.transparentIndex & 0xFF)];
        }
        if (total) host.setProgress(progressBase * visited / total - progressBase + 100);
    });
    if (background && doc.globalPalette->colorCount > 0) {
        const TMyPalette& p = *doc.globalPalette;
        doc.backgroundIndex = nearestColor(p.entries().data(), p.colorCount, background->red, background->green,
                                           background->blue);
        setBackgroundAll(doc.firstFrame, doc.backgroundIndex);
    }
    doc.transparentIndex = documentTransparent(doc.firstFrame);
    doc.sameTransparent = sameTransparent(doc.firstFrame);
    host.startGaugeReset();
    doc.changed({.palette = true});
}

void reduceToPowerOfTwo(Document& doc) {
    if (!doc.globalPalette) return;
    const int n = doc.globalPalette->colorCount;
    if (n < 9) return;
    int p = 1;
    while (p * 2 <= n) p *= 2;
    if (p < n) reduceColors(doc, p, false);
}

}  // namespace movigram
