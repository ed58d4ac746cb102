#include "FrameTransforms.h"

#include <algorithm>
#include <utility>

namespace movigram {

void flipImage(TDib256& image) {
    for (int32_t y = 0; y < image.height() / 2; ++y)
        std::swap_ranges(image.row(y), image.row(y) + image.width(), image.row(image.height() - 1 - y));
}

void mirrorImage(TDib256& image) {
    for (int32_t y = 0; y < image.height(); ++y) std::reverse(image.row(y), image.row(y) + image.width());
}

std::unique_ptr<TDib256> transposeImage(const TDib256& image) {
    auto turned = std::make_unique<TDib256>(image.height(), image.width());
    turned->colors() = image.colors();
    turned->colorsUsed = image.colorsUsed;
    turned->colorsImportant = image.colorsImportant;
    turned->fixedColorMask = image.fixedColorMask;
    turned->transparentIndex = image.transparentIndex;
    for (int32_t y = 0; y < turned->height(); ++y) {
        uint8_t* out = turned->row(y);
        for (int32_t x = 0; x < turned->width(); ++x) out[x] = image.pixel(y, x);
    }
    return turned;
}

namespace {
TRect transposed(const TRect& r) { return {r.top, r.left, r.bottom, r.right}; }

void transposeFrame(TFrame& frame) {
    frame.image = transposeImage(*frame.image);
    frame.rect = transposed(frame.rect);
    frame.dirtyRect = transposed(frame.dirtyRect);
}
}  // namespace

void flipFrame(TFrame& frame) {
    if (frame.image) flipImage(*frame.image);
}

void mirrorFrame(TFrame& frame) {
    if (frame.image) mirrorImage(*frame.image);
}

void rotateFrame(TFrame& frame, int degrees) {
    if (!frame.image) return;
    switch (((degrees % 360) + 360) % 360) {
    case 90:
        transposeFrame(frame);
        mirrorImage(*frame.image);
        break;
    case 180:
        mirrorImage(*frame.image);
        flipImage(*frame.image);
        break;
    case 270:
        transposeFrame(frame);
        flipImage(*frame.image);
        break;
    default: break;
    }
}

void reverseFrames(FrameList& list, const std::vector<int32_t>& positions) {
    std::vector<int32_t> valid;
    for (int32_t p : positions)
        if (p >= 0 && p < list.count()) valid.push_back(p);
    for (size_t i = 0, j = valid.size(); i + 1 < j; ++i, --j) list.swap(valid[i], valid[j - 1]);
}

}  // namespace movigram
