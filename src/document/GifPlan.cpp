#include "GifPlan.h"

#include <algorithm>
#include <bit>

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
    out.put(0x21);
    out.put(0xFE);
    for (size_t at = 0; at < text.size(); at += 255) {
        const size_t n = std::min<size_t>(255, text.size() - at);
        out.put(uint8_t(n));
        out.write(reinterpret_cast<const uint8_t*>(text.data() + at), n);
    }
    out.put(0);
}

}  // namespace

size_t plannedImageBytes(const PlannedImage& image) {
    return controlBytes + descriptorBytes + 3 * image.localTable.size() + image.data.size();
}

bool writeGifPlan(ByteSink& out, const GifPlan& plan) {
    out.write(reinterpret_cast<const uint8_t*>("GIF89a"), 6);
    out.putLe16(uint32_t(plan.screen.width));
    out.putLe16(uint32_t(plan.screen.height));
    out.put(uint8_t(0xD0 | tableField(plan.globalTable.size())));
    out.put(plan.backgroundIndex);
    out.put(0);
    putTable(out, plan.globalTable);
    if (plan.loopExtension) {
        static const uint8_t ext[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01};
        out.write(ext, sizeof ext);
        out.putLe16(plan.loopValue);
        out.put(0);
    }
    for (const PlannedImage& image : plan.images) {
        for (const std::string& text : image.commentsBefore) putComment(out, text);
        // Every image has its graphic control extension: without one a
        // browser shows an image for a moment of its own choosing.
        out.put(0x21);
        out.put(0xF9);
        out.put(0x04);
        out.put(uint8_t(image.disposal << 2 | (image.transparentIndex >= 0 ? 1 : 0)));
        out.putLe16(image.delayCs);
        out.put(image.transparentIndex >= 0 ? uint8_t(image.transparentIndex) : 0);
        out.put(0);

        out.put(0x2C);
        out.putLe16(uint32_t(image.rect.left));
        out.putLe16(uint32_t(image.rect.top));
        out.putLe16(uint32_t(image.rect.width()));
        out.putLe16(uint32_t(image.rect.height()));
        const uint8_t interlace = image.interlaced ? 0x40 : 0;
        if (image.localTable.empty()) {
            out.put(interlace);
        } else {
            out.put(uint8_t(0x80 | interlace | tableField(image.localTable.size())));
            putTable(out, image.localTable);
        }
        out.write(image.data.data(), image.data.size());
    }
    for (const std::string& text : plan.trailingComments) putComment(out, text);
    out.put(0x3B);
    return !out.failed();
}

}  // namespace movigram
