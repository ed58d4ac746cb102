#include "TFrame.h"

#include <algorithm>

#include "OriginalImageData.h"

namespace movigram {

TFrame::TFrame(std::string frameName, std::unique_ptr<TDib256> frameImage)
    : image(std::move(frameImage)), name(std::move(frameName)) {
    if (image) rect = {0, 0, image->width(), image->height()};
    dirtyRect = rect;
}

std::unique_ptr<TFrame> TFrame::blank(int32_t width, int32_t height, int fill,
                                      const TMyPalette& palette) {
    auto image = std::make_unique<TDib256>(width, height);
    image->fill(uint8_t(std::clamp(fill, 0, 255)));
    image->colors() = palette.toColorTable();
    image->colorsUsed = palette.colorCount;
    auto frame = std::make_unique<TFrame>(std::string(), std::move(image));
    frame->backgroundIndex = fill;
    return frame;
}

void TFrame::copyFieldsFrom(const TFrame& source) {
    if (source.localPalette) localPalette = std::make_unique<TMyPalette>(*source.localPalette);
    restoreToBackground = source.restoreToBackground;
    isComment = source.isComment;
    name = source.name;
    frameTime = source.frameTime;
    repeat = source.repeat;
    index = source.index;
    rect = source.rect;
    dirtyRect = source.dirtyRect;
    backgroundIndex = source.backgroundIndex;
    transparentIndex = source.transparentIndex;
    withoutControl = source.withoutControl;
    original = source.original;
    // next, splitPair, unchanged and overlay start cleared in a copy.
}

TFrame::TFrame(const TFrame& source, const TRect& cropRect) {
    copyFieldsFrom(source);
    if (!source.image) return;
    if (cropRect.isNull()) {
        image = std::make_unique<TDib256>(*source.image);
        return;
    }
    rect = cropRect;
    image = TDib256::subImage(*source.image, cropRect.moved(-source.rect.left, -source.rect.top));
    image->fixedColorMask = source.image->fixedColorMask;
    image->transparentIndex = source.image->transparentIndex;
}

std::unique_ptr<TFrame> TFrame::clone() const { return std::make_unique<TFrame>(*this, TRect{}); }

void TFrame::moveTo(TPoint point) {
    rect = {point.x, point.y, point.x + rect.width(), point.y + rect.height()};
    dirtyRect = rect;
}

void TFrame::crop(const TRect& r) {
    const TRect inside = rect.intersected(r);
    if (r.contains(rect) || !image) return;
    TRect part = inside;
    if (part.isEmpty()) part = {rect.left, rect.top, rect.left, rect.top};
    image = TDib256::subImage(*image, part.moved(-rect.left, -rect.top));
    rect = part;
    dirtyRect = part;
}

TTextFrame::TTextFrame() : textBlocks(std::make_shared<std::vector<TTextBlock>>()) {
    isComment = true;
    repeat = 0;
}

TTextFrame::TTextFrame(const TextMeasurer* measurer, std::string_view text)
    : textBlocks(std::make_shared<std::vector<TTextBlock>>()) {
    isComment = true;
    if (!text.empty()) {
        appendText(text);
        if (measurer) measure(*measurer);
    }
}

TTextFrame::TTextFrame(const TTextFrame& source)
    : TFrame(),
      textWidth(source.textWidth),
      textHeight(source.textHeight),
      textBlocks(source.textBlocks) {
    copyFieldsFrom(source);
}

std::unique_ptr<TFrame> TTextFrame::clone() const { return std::make_unique<TTextFrame>(*this); }

void TTextFrame::appendText(std::string_view text) {
    const bool wasEmpty = textBlocks->empty();
    for (size_t at = 0; at < text.size(); at += TTextBlock::capacity)
        textBlocks->push_back({std::string(text.substr(at, TTextBlock::capacity))});
    if (wasEmpty && !text.empty()) {
        std::string title = "// ";
        title += text.substr(0, 25);
        for (size_t at = title.find("\r\n"); at != std::string::npos; at = title.find("\r\n", at))
            title.replace(at, 2, "  ");
        name = title + "...";
    }
    textWidth = 0;
    textHeight = 0;
}

size_t TTextFrame::textLength() const {
    size_t n = 0;
    for (const TTextBlock& b : *textBlocks) n += b.text.size();
    return n;
}

std::string TTextFrame::getText() const {
    std::string text;
    text.reserve(textLength());
    for (const TTextBlock& b : *textBlocks) text += b.text;
    return text;
}

void TTextFrame::measure(const TextMeasurer& measurer) {
    const TSize client = measurer.clientSize();
    textWidth = client.width;
    textHeight = measurer.textHeight(getText(), std::max(client.width - 20, 0)) + 20;
}

}  // namespace movigram
