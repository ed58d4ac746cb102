#include "Caption.h"

#include <algorithm>

#include "ScreenPicture.h"
#include "TextRaster.h"
#include "colour/PaletteMapping.h"
#include "document/EditScope.h"

namespace movigram {

namespace {

uint8_t mix(uint8_t under, uint8_t over, unsigned alpha) {
    return uint8_t((under * (255 - alpha) + over * alpha + 127) / 255);
}

Rgb8 mix(Rgb8 under, Rgb8 over, unsigned alpha) {
    return {mix(under.red, over.red, alpha), mix(under.green, over.green, alpha), mix(under.blue, over.blue, alpha)};
}

// The caption over one frame's screen.
ScreenArea captionOver(const ScreenArea& screen, const TextMask& mask, TPoint at, const CaptionStyle& style) {
    ScreenArea picture(screen.area);
    const TRect& r = screen.area;
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x) {
            const size_t m = size_t(y - at.y) * size_t(mask.width) + size_t(x - at.x);
            const unsigned text = mask.text[m], outline = mask.outline[m];
            if (text == 0 && outline == 0) continue;
            const size_t p = picture.at(x, y);
            const Rgb8 letters = style.outline > 0 ? mix(style.outlineColor, style.color, text) : style.color;
            if (screen.shown[p]) {
                picture.colors[p] = mix(mix(screen.colors[p], style.outlineColor, outline), style.color, text);
            } else if (std::max(text, outline) >= 128) {
                picture.colors[p] = letters;
            } else {
                continue;
            }
            picture.shown[p] = 1;
        }
    return picture;
}

}  // namespace

std::optional<Rgb8> distantNearest(const TMyPalette& palette, Rgb8 wanted) {
    if (palette.colorCount <= 0) return std::nullopt;
    const int i = nearestColor(palette.entries().data(), palette.colorCount, wanted.red, wanted.green, wanted.blue);
    const PaletteEntry& e = palette.entry(i);
    const int dr = e.red - wanted.red, dg = e.green - wanted.green, db = e.blue - wanted.blue;
    if (dr * dr + dg * dg + db * db < 3 * 32 * 32) return std::nullopt;
    return Rgb8{e.red, e.green, e.blue};
}

int captionPixelSize(int points) { return (points * 96 + 36) / 72; }

int defaultCaptionSize(int32_t screenHeight) { return int(std::clamp<int64_t>(int64_t(screenHeight) * 3 / 32, 8, 24)); }

std::string drawCaption(Document& doc, FrameSelection selection, const std::string& text, const CaptionStyle& style,
                        const std::string& label) {
    selection = normalizeSelection(doc.frameList, std::move(selection));
    if (text.find_first_not_of(" \t\n") == std::string::npos) return "the caption has no text";
    if (text.size() > longestCaption) return "the caption is longer than " + std::to_string(longestCaption) + " bytes";
    if (style.size < smallestCaptionSize || style.size > largestCaptionSize)
        return "the size must be " + std::to_string(smallestCaptionSize) + " to " +
               std::to_string(largestCaptionSize) + " points";
    if (style.outline < 0 || style.outline > largestOutline)
        return "the outline must be 0 to " + std::to_string(largestOutline) + " pixels";

    TextRasterResult raster = rasterizeText(text, style.font, captionPixelSize(style.size), style.outline);
    if (!raster.error.empty()) return raster.error;
    const TextMask& mask = raster.mask;
    const TPoint at{style.left.value_or((doc.screenWidth - mask.width) / 2),
                    style.top.value_or(doc.screenHeight - mask.height - doc.screenHeight / 20)};
    const TRect box{at.x, at.y, int32_t(std::min<int64_t>(int64_t(at.x) + mask.width, INT32_MAX)),
                    int32_t(std::min<int64_t>(int64_t(at.y) + mask.height, INT32_MAX))};
    const TRect area = box.intersected({0, 0, doc.screenWidth, doc.screenHeight});

    // Every frame's caption is laid over the screen as it was before any of
    // them was drawn: a frame that lets an earlier one show through must not
    // lay the caption over that one's caption a second time.
    std::vector<int> frames;
    std::vector<ScreenArea> pictures;
    ScreenWalk before(doc);
    for (int32_t i : selection) {
        const TFrame& f = *doc.frameList.frameAt(i);
        if (!f.image || f.isComment || area.isEmpty()) continue;
        const TRect part = area.intersected(frameArea(f));
        if (part.isEmpty()) continue;
        frames.push_back(i);
        pictures.push_back(captionOver(before.after(i, part), mask, at, style));
    }
    if (frames.empty()) return "the caption falls outside the selected frames";

    EditScope edit(doc, TUndo::indexed(UndoKind::FramesChanged, doc.frameList, frames, label));
    PalettePainter painter(doc);
    ScreenWalk now(doc);
    bool changed = false;
    for (size_t k = 0; k < frames.size(); ++k)
        if (painter.paint(frames[k], pictures[k], now.after(frames[k], pictures[k].area))) {
            now.redraw(frames[k]);
            changed = true;
        }
    if (!changed) {
        edit.cancel();
        return {};
    }
    forgetFileSizes(doc);
    return {};
}

}  // namespace movigram
