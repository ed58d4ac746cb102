#pragma once
// Builds GIF byte streams block by block, for tests that need exact control
// over what a reader sees (odd extensions, broken blocks, hand-made LZW data).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/FrameChain.h"
#include "document/TFrame.h"

namespace movigram::test {

using Bytes = std::vector<uint8_t>;

class GifBuilder {
public:
    // Header and logical screen descriptor; globalColors 0 means no global table.
    GifBuilder(int width, int height, int globalColors = 4, int background = 0,
               const char* signature = "GIF89a");

    GifBuilder& loop(int value);  // NETSCAPE2.0 with this loop value
    GifBuilder& comment(const std::string& text);
    GifBuilder& control(int delayCs, int transparent = -1, int disposal = 0, int blockSize = 4);
    GifBuilder& plainText();
    // An image whose pixels are encoded with the program's encoder (indices
    // row by row from the top).
    GifBuilder& image(int left, int top, int width, int height, const std::vector<uint8_t>& pixels,
                      int localColors = 0, bool interlaced = false);
    // An image descriptor followed by raw bytes (code size byte and sub-blocks).
    GifBuilder& rawImage(int left, int top, int width, int height, const Bytes& data, int localColors = 0,
                         bool interlaced = false);
    GifBuilder& raw(const Bytes& bytes);
    GifBuilder& trailer();

    const Bytes& bytes() const { return bytes_; }

    // Colour i of a test table: distinct, easy to recognise.
    static void testColor(int i, uint8_t rgb[3]);

private:
    void colorTable(int entries);
    Bytes bytes_;
};

// LSB-first packing of codes of the given widths into GIF sub-blocks
// (code size byte first, terminator last).
Bytes packCodes(int minCodeSize, const std::vector<std::pair<int, int>>& codesAndWidths);

// A frame with an image of the given size whose pixels come from fn(x, y).
template <typename Fn>
std::unique_ptr<TFrame> makeFrame(int width, int height, Fn&& fn, std::string name = "frame") {
    auto image = std::make_unique<TDib256>(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image->setPixel(x, y, uint8_t(fn(x, y)));
    return std::make_unique<TFrame>(std::move(name), std::move(image));
}

// A palette of count test colours.
TMyPalette testPalette(int count);

// Pixels of a frame's image row by row from the top.
std::vector<uint8_t> pixelsOf(const TDib256& image);

}  // namespace movigram::test
