#include "PngBuilder.h"

#include <algorithm>

namespace movigram::test {
namespace {

void put32(PngBytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}
void put16(PngBytes& out, uint16_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

uint32_t crc32(const uint8_t* p, size_t n) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return ~crc;
}

PngBytes frameControl(uint32_t sequence, const ApngFrameSpec& f) {
    PngBytes d;
    put32(d, sequence);
    put32(d, f.width);
    put32(d, f.height);
    put32(d, f.x);
    put32(d, f.y);
    put16(d, f.delayNum);
    put16(d, f.delayDen);
    d.push_back(f.dispose);
    d.push_back(f.blend);
    return pngChunk("fcTL", d);
}

void append(PngBytes& out, const PngBytes& more) { out.insert(out.end(), more.begin(), more.end()); }

}  // namespace

PngBytes pngChunk(const std::string& type, const PngBytes& data) {
    PngBytes out;
    put32(out, uint32_t(data.size()));
    out.insert(out.end(), type.begin(), type.end());
    append(out, data);
    put32(out, crc32(out.data() + 4, data.size() + 4));
    return out;
}

PngBytes pngSignature() { return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}; }

PngBytes pngHeader(uint32_t width, uint32_t height, int bitDepth, int colorType, bool interlaced) {
    PngBytes d;
    put32(d, width);
    put32(d, height);
    d.push_back(uint8_t(bitDepth));
    d.push_back(uint8_t(colorType));
    d.push_back(0);
    d.push_back(0);
    d.push_back(interlaced ? 1 : 0);
    return d;
}

PngBytes pngImageData(const PngBytes& scanlines, size_t rowBytes) {
    PngBytes raw;
    for (size_t at = 0; at < scanlines.size(); at += rowBytes) {
        raw.push_back(0);
        raw.insert(raw.end(), scanlines.begin() + long(at), scanlines.begin() + long(at + rowBytes));
    }
    PngBytes z = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - at, 65535);
        z.push_back(at + n == raw.size() ? 1 : 0);
        z.push_back(uint8_t(n));
        z.push_back(uint8_t(n >> 8));
        z.push_back(uint8_t(~n));
        z.push_back(uint8_t(~n >> 8));
        z.insert(z.end(), raw.begin() + long(at), raw.begin() + long(at + n));
        at += n;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, b << 16 | a);
    return z;
}

PngBytes rgbaPng(uint32_t width, uint32_t height, const PngBytes& rgba) {
    PngBytes png = pngSignature();
    append(png, pngChunk("IHDR", pngHeader(width, height, 8, 6)));
    append(png, pngChunk("IDAT", pngImageData(rgba, size_t(width) * 4)));
    append(png, pngChunk("IEND", {}));
    return png;
}

PngBytes apngFile(uint32_t width, uint32_t height, const std::vector<ApngFrameSpec>& frames, uint32_t plays,
                  bool defaultIsFrame) {
    PngBytes png = pngSignature();
    append(png, pngChunk("IHDR", pngHeader(width, height, 8, 6)));
    PngBytes control;
    put32(control, uint32_t(frames.size()));
    put32(control, plays);
    append(png, pngChunk("acTL", control));
    uint32_t sequence = 0;
    size_t first = 0;
    if (defaultIsFrame) {
        append(png, frameControl(sequence++, frames[0]));
        append(png, pngChunk("IDAT", pngImageData(frames[0].rgba, size_t(width) * 4)));
        first = 1;
    } else {
        PngBytes black(size_t(width) * height * 4, 0);
        for (size_t i = 3; i < black.size(); i += 4) black[i] = 255;
        append(png, pngChunk("IDAT", pngImageData(black, size_t(width) * 4)));
    }
    for (size_t i = first; i < frames.size(); ++i) {
        append(png, frameControl(sequence++, frames[i]));
        PngBytes data;
        put32(data, sequence++);
        append(data, pngImageData(frames[i].rgba, size_t(frames[i].width) * 4));
        append(png, pngChunk("fdAT", data));
    }
    append(png, pngChunk("IEND", {}));
    return png;
}

}  // namespace movigram::test
