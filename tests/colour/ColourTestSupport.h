#pragma once
// Frames and documents with chosen colours, for the colour tests.
#include <memory>
#include <vector>

#include "colour/ReadingPolicy.h"
#include "document/Document.h"
#include "document/TFrame.h"

namespace movigram::test {

struct Rgb {
    uint8_t r, g, b;
};

// A frame of width x height whose colour table holds `colors` and whose
// pixels are the indices given row by row (cycled when shorter).
inline std::unique_ptr<TFrame> colorFrame(int width, int height, const std::vector<Rgb>& colors,
                                          const std::vector<uint8_t>& pixels) {
    auto image = std::make_unique<TDib256>(width, height);
    for (size_t i = 0; i < colors.size(); ++i) image->colors()[i] = {colors[i].b, colors[i].g, colors[i].r, 0};
    image->colorsUsed = int(colors.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image->setPixel(x, y, pixels[size_t(y * width + x) % pixels.size()]);
    return std::make_unique<TFrame>("f", std::move(image));
}

// The colour a frame's pixel shows through its own table.
inline Rgb shownColor(const TFrame& frame, int x, int y) {
    const RgbQuad q = frame.image->colors()[frame.image->pixel(x, y)];
    return {q.red, q.green, q.blue};
}

inline bool operator==(const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

inline Rgb entryColor(const TMyPalette& p, int i) { return {p.entry(i).red, p.entry(i).green, p.entry(i).blue}; }

// Reads frames into a document as one batch of a multi-frame file.
inline void readBatch(Document& doc, std::vector<std::unique_ptr<TFrame>> frames) {
    PaletteReadingBatch batch(doc);
    for (auto& f : frames) {
        batch.acceptFrame(*f);
        doc.frameList.append("f", std::move(f));
    }
    doc.relink();
    batch.finish();
}

}  // namespace movigram::test
