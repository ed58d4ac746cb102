#pragma once
// PNG and animated PNG files written in code for the tests.  Pixel data is
// kept in deflate's stored (uncompressed) blocks: any size a test needs, and
// no encoder between the test and the bytes it means.
#include <cstdint>
#include <string>
#include <vector>

namespace movigram::test {

using PngBytes = std::vector<uint8_t>;

// One chunk: length, type, data and its CRC.
PngBytes pngChunk(const std::string& type, const PngBytes& data);
PngBytes pngSignature();
// The 13 bytes of a header chunk.
PngBytes pngHeader(uint32_t width, uint32_t height, int bitDepth, int colorType, bool interlaced = false);
// A zlib stream of the scanlines, each given a filter byte of 0.
PngBytes pngImageData(const PngBytes& scanlines, size_t rowBytes);
// A whole PNG of 8-bit RGBA pixels, rows from the top.
PngBytes rgbaPng(uint32_t width, uint32_t height, const PngBytes& rgba);

struct ApngFrameSpec {
    uint32_t width = 0, height = 0, x = 0, y = 0;
    uint16_t delayNum = 1, delayDen = 10;
    uint8_t dispose = 0;  // 0 none, 1 background, 2 previous
    uint8_t blend = 0;    // 0 source, 1 over
    PngBytes rgba;
};

// An animated RGBA PNG of width x height; the first frame is the picture
// data when defaultIsFrame, else a hidden default picture (opaque black)
// comes first.
PngBytes apngFile(uint32_t width, uint32_t height, const std::vector<ApngFrameSpec>& frames, uint32_t plays = 0,
                  bool defaultIsFrame = true);

}  // namespace movigram::test
