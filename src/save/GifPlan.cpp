#include "GifPlan.h"

#include <algorithm>
#include <bit>

#include "gif/GifBlockWriter.h"
#include "gif/GifBlocks.h"

namespace movigram {

namespace {

// Graphic control extension 8 bytes, image descriptor 10.
constexpr size_t controlBytes = 8, descriptorBytes = 10;

uint8_t tableField(size_t entries) { return uint8_t(std::countr_zero(entries) - 1); }

void putTable(ByteSink& out, const std::vector<uint32_t>& table) {
    for (uint32_t rgb : table) {
        out.put(uint8_t(rgb >> 16));
        out.put(uint8_t(rgb >> 8));
        out.put(uint8_t(rgb));
    }
}

void putComment(ByteSink& out, const std::string& text) {
    gif::putExtensionStart(out, gif::commentLabel);
    for (size_t at = 0; at < text.size(); at += gif::maxSubBlock) {
        const size_t n = std::min<size_t>(gif::maxSubBlock, text.size() - at);
        out.put(uint8_t(n));
        out.write(reinterpret_cast<const uint8_t*>(text.data() + at), n);
    }
    out.put(gif::blockTerminator);
}

}  // namespace

size_t plannedImageBytes(const PlannedImage& image) {
    return controlBytes + descriptorBytes + 3 * image.localTable.size() + image.data.size();
}

bool writeGifPlan(ByteSink& out, const GifPlan& plan) {
    gif::putHeader(out, uint32_t(plan.screen.width), uint32_t(plan.screen.height),
                   std::countr_zero(plan.globalTable.size()), plan.backgroundIndex);
    putTable(out, plan.globalTable);
    if (plan.loopExtension) gif::putLoopingExtension(out, plan.loopValue);
    for (const PlannedImage& image : plan.images) {
        for (const std::string& text : image.commentsBefore) putComment(out, text);
        // Every image has its graphic control extension: without one a
        // browser shows an image for a moment of its own choosing.
        gif::putGraphicControl(out, image.disposal, image.transparentIndex, image.delayCs);
        const uint8_t interlace = image.interlaced ? gif::interlaceFlag : 0;
        const uint8_t packed = image.localTable.empty()
                                   ? interlace
                                   : uint8_t(gif::colorTableFlag | interlace | tableField(image.localTable.size()));
        gif::putImageDescriptor(out, uint32_t(image.rect.left), uint32_t(image.rect.top),
                                uint32_t(image.rect.width()), uint32_t(image.rect.height()), packed);
        if (!image.localTable.empty()) putTable(out, image.localTable);
        out.write(image.data.data(), image.data.size());
    }
    for (const std::string& text : plan.trailingComments) putComment(out, text);
    gif::putTrailer(out);
    return !out.failed();
}

}  // namespace movigram
