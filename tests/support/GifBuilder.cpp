#include "GifBuilder.h"

#include "save/GifWriter.h"
#include "gif/ByteSink.h"
#include "gif/LzwEncoder.h"

namespace movigram::test {

namespace {
void le16(Bytes& b, int v) {
    b.push_back(uint8_t(v & 0xFF));
    b.push_back(uint8_t((v >> 8) & 0xFF));
}
int sizeField(int entries) { return std::max(tableBits(entries), 1) - 1; }
}  // namespace

void GifBuilder::testColor(int i, uint8_t rgb[3]) {
    rgb[0] = uint8_t(i * 37 + 11);
    rgb[1] = uint8_t(i * 91 + 7);
    rgb[2] = uint8_t(255 - i);
}

TMyPalette testPalette(int count) {
    std::vector<PaletteEntry> entries;
    for (int i = 0; i < count; ++i) {
        uint8_t rgb[3];
        GifBuilder::testColor(i, rgb);
        entries.push_back({rgb[0], rgb[1], rgb[2], 0});
    }
    return TMyPalette(entries);
}

std::vector<uint8_t> pixelsOf(const TDib256& image) {
    std::vector<uint8_t> out;
    for (int y = 0; y < image.height(); ++y) out.insert(out.end(), image.row(y), image.row(y) + image.width());
    return out;
}

void GifBuilder::colorTable(int entries) {
    const int n = 1 << (sizeField(entries) + 1);
    for (int i = 0; i < n; ++i) {
        uint8_t rgb[3];
        testColor(i, rgb);
        bytes_.insert(bytes_.end(), rgb, rgb + 3);
    }
}

GifBuilder::GifBuilder(int width, int height, int globalColors, int background, const char* signature) {
    bytes_.assign(signature, signature + 6);
    le16(bytes_, width);
    le16(bytes_, height);
    bytes_.push_back(uint8_t(globalColors ? 0x80 | 0x70 | sizeField(globalColors) : 0));
    bytes_.push_back(uint8_t(background));
    bytes_.push_back(0);
    if (globalColors) colorTable(globalColors);
}

GifBuilder& GifBuilder::loop(int value) {
    const uint8_t ext[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01};
    bytes_.insert(bytes_.end(), ext, ext + sizeof ext);
    le16(bytes_, value);
    bytes_.push_back(0);
    return *this;
}

GifBuilder& GifBuilder::comment(const std::string& text) {
    bytes_.push_back(0x21);
    bytes_.push_back(0xFE);
    for (size_t at = 0; at < text.size(); at += 255) {
        const size_t n = std::min<size_t>(255, text.size() - at);
        bytes_.push_back(uint8_t(n));
        bytes_.insert(bytes_.end(), text.begin() + long(at), text.begin() + long(at + n));
    }
    bytes_.push_back(0);
    return *this;
}

GifBuilder& GifBuilder::control(int delayCs, int transparent, int disposal, int blockSize) {
    bytes_.push_back(0x21);
    bytes_.push_back(0xF9);
    bytes_.push_back(uint8_t(blockSize));
    bytes_.push_back(uint8_t((disposal << 2) | (transparent >= 0 ? 1 : 0)));
    le16(bytes_, delayCs);
    bytes_.push_back(uint8_t(transparent >= 0 ? transparent : 0));
    bytes_.push_back(0);
    return *this;
}

GifBuilder& GifBuilder::plainText() {
    const uint8_t ext[] = {0x21, 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0, 5, 'h', 'e', 'l', 'l', 'o', 0};
    bytes_.insert(bytes_.end(), ext, ext + sizeof ext);
    return *this;
}

GifBuilder& GifBuilder::rawImage(int left, int top, int width, int height, const Bytes& data, int localColors,
                                 bool interlaced) {
    bytes_.push_back(0x2C);
    le16(bytes_, left);
    le16(bytes_, top);
    le16(bytes_, width);
    le16(bytes_, height);
    bytes_.push_back(uint8_t((localColors ? 0x80 | sizeField(localColors) : 0) | (interlaced ? 0x40 : 0)));
    if (localColors) colorTable(localColors);
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
}

GifBuilder& GifBuilder::image(int left, int top, int width, int height, const std::vector<uint8_t>& pixels,
                              int localColors, bool interlaced) {
    // Interlaced data is stored in pass order.
    std::vector<uint8_t> ordered;
    if (interlaced) {
        static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < height; y += step[pass])
                ordered.insert(ordered.end(), pixels.begin() + long(y) * width,
                               pixels.begin() + long(y + 1) * width);
    } else {
        ordered = pixels;
    }
    int highest = 1;
    for (uint8_t p : ordered) highest = std::max(highest, int(p));
    const int m = std::max(2, tableBits(highest + 1));
    ByteSink sink;
    LzwEncoder().encode(ordered.data(), width, uint32_t(width), uint32_t(height), m, sink);
    return rawImage(left, top, width, height, sink.bytes(), localColors, interlaced);
}

GifBuilder& GifBuilder::raw(const Bytes& b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
}

GifBuilder& GifBuilder::trailer() {
    bytes_.push_back(0x3B);
    return *this;
}

Bytes packCodes(int minCodeSize, const std::vector<std::pair<int, int>>& codes) {
    Bytes data;
    uint64_t acc = 0;
    int bits = 0;
    for (auto [code, width] : codes) {
        acc |= uint64_t(code) << bits;
        bits += width;
        while (bits >= 8) {
            data.push_back(uint8_t(acc));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits) data.push_back(uint8_t(acc));
    Bytes out{uint8_t(minCodeSize)};
    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t n = std::min<size_t>(255, data.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), data.begin() + long(at), data.begin() + long(at + n));
    }
    out.push_back(0);
    return out;
}

}  // namespace movigram::test
