#pragma once
// Test inputs for the readers, made in code: BMP, PCX, ".qcx", JPEG and AVI
// files with exactly the layout a test needs, a scratch folder to put them
// in, and PNG/PPM decoding for the corpus references.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "import/TrueColorImage.h"

namespace movigram::test {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, unsigned v);
void put32(Bytes& b, uint32_t v);

// A folder under the system's temporary folder, removed with its files.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    // Writes bytes to the named file and returns its path.
    std::string write(const std::string& name, const Bytes& bytes) const;
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

private:
    std::filesystem::path dir_;
};

// Packs pixel values of bitCount bits (1, 2, 4, 8) or raw pixel bytes into
// rows padded to four bytes, bottom row first unless topDown.
Bytes packIndexedRows(int width, int height, int bitCount, const std::function<int(int, int)>& value,
                      bool topDown = false);
Bytes packPixelRows(int width, int height, int bytesPerPixel, const std::function<uint32_t(int, int)>& pixel,
                    bool topDown = false);

struct BmpSpec {
    int headerSize = 40;  // 12 (OS/2 core), 40, 108, 124
    int width = 0;
    int height = 0;  // negative: top-down
    int bitCount = 8;
    uint32_t compression = 0;
    std::vector<Rgb8> palette;
    std::vector<uint32_t> masks;  // written after a 40-byte header, or inside a larger one
    uint32_t colorsUsed = 0;
    int planes = 1;
    Bytes pixels;
};
Bytes bmpFile(const BmpSpec& layout);

struct PcxSpec {
    uint8_t manufacturer = 10;
    uint8_t version = 5;
    int bitsPerPixel = 8;
    int planes = 1;
    int width = 0;
    int height = 0;
    int bytesPerLine = 0;            // 0: the smallest even count that holds a line
    std::vector<Rgb8> headerColors;  // up to 16
    uint16_t colorMask = 0;
    // Plane lines row by row (planes x bytesPerLine bytes per row), run-length
    // encoded by pcxFile unless encoded is given.
    Bytes lines;
    Bytes encoded;
    std::vector<Rgb8> trailer;  // 256 colours after a 0x0C marker
};
int pcxBytesPerLine(const PcxSpec& layout);
Bytes pcxFile(const PcxSpec& layout);

// A JPEG of 1 (gray), 3 (RGB) or 4 (CMYK) components at the highest quality.
Bytes jpegFile(int width, int height, int components, const std::function<void(int, int, uint8_t*)>& sample);

struct AviSpec {
    int width = 0;
    int height = 0;
    int bitCount = 24;
    uint32_t rate = 15;
    uint32_t scale = 1;
    uint32_t compression = 0;     // biCompression; a FourCC for compressed video
    std::vector<Rgb8> palette;    // 8-bit video
    std::vector<Bytes> frames;    // DIB pixel rows, bottom row first
    uint32_t declaredFrames = 0;  // 0: the number of frames given
};
Bytes aviFile(const AviSpec& layout);

// Decoded reference pictures, row by row from the top.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<Rgb8> pixels;
    const Rgb8& at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};
bool readPng(const std::string& path, RgbPicture& out);
bool readPpm(const std::string& path, RgbPicture& out);

// The colour of an 8-bit image's pixel through its colour table.
Rgb8 colorAt(const TDib256& image, int x, int y);

}  // namespace movigram::test
