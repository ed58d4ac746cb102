#include "PcxImage.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "document/FileIo.h"
#include "gif/ByteReader.h"

namespace movigram {

bool PcxHeader::parse(std::span<const uint8_t> file, PcxHeader& out) {
    if (file.size() < size) return false;
    const uint8_t* h = file.data();
    out.manufacturer = h[0];
    out.version = h[1];
    out.bitsPerPixel = h[3];
    out.xmin = ByteReader::le16(h + 4);
    out.ymin = ByteReader::le16(h + 6);
    out.xmax = ByteReader::le16(h + 8);
    out.ymax = ByteReader::le16(h + 10);
    std::memcpy(out.palette.data(), h + 16, out.palette.size());
    out.planes = h[65];
    out.bytesPerLine = ByteReader::le16(h + 66);
    out.colorMask = ByteReader::le16(h + 82);
    return true;
}

PCXImage::PCXImage(const DecodeLimits& limits, Progress* progress)
    : limits_(limits), progress_(progress) {}

void PCXImage::report(int percent) {
    if (progress_ && percent != lastPercent_) progress_->setProgress(percent);
    lastPercent_ = percent;
}

bool PCXImage::read(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (readWholeFile(path, bytes) != ReadFileResult::Ok) return false;
    return read(bytes);
}

bool PCXImage::read(std::span<const uint8_t> file) {
    image_ = {};
    lastPercent_ = -1;
    try {
        return decode(file);
    } catch (const std::bad_alloc&) {
        image_ = {};
        return false;
    }
}

bool PCXImage::decode(std::span<const uint8_t> file) {
    if (!PcxHeader::parse(file, header_) || header_.manufacturer != 10) return false;
    const int b = header_.bitsPerPixel, p = header_.planes, depth = b * p;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24) return false;
    // Pixels are assembled from whole fields of a byte, and 24 bits only from
    // three byte planes; other ways of making these depths are refused.
    if (b != 1 && b != 2 && b != 4 && b != 8) return false;
    if (depth == 24 && p != 3) return false;
    const int32_t w = header_.width(), h = header_.height();
    if (w <= 0 || h <= 0) return false;
    const size_t bpl = header_.bytesPerLine;
    // A plane line must hold the fields of a whole row: the assembly never
    // reaches into the next line.
    const size_t lineBytes = (size_t(w) * size_t(b) + 7) / 8;
    if (bpl < lineBytes) return false;
    const uint64_t bufferBytes = uint64_t(p) * uint64_t(h) * bpl;
    if (bufferBytes > limits_.maxTotalBytes) return false;
    if (checkedImageBytes(w, h, depth == 24 ? 3 : 1, limits_) == 0) return false;
    std::vector<uint8_t> buffer(size_t(bufferBytes), 0);

    // Runs: two top bits set give a count (v & 63) and a value; anything else
    // is one literal byte.  A run is cut at the end of the buffer; a literal
    // that finds it full ends decoding, as does the end of the file.
    const size_t n = buffer.size();
    size_t pos = 0;
    ByteReader in(file.subspan(PcxHeader::size));
    uint8_t v;
    while (in.readByte(v)) {
        const size_t before = pos;
        if ((v & 0xC0) == 0xC0) {
            uint8_t value;
            if (!in.readByte(value)) break;
            const size_t len = std::min<size_t>(v & 63, n - pos);
            std::memset(buffer.data() + pos, value, len);
            pos += len;
        } else {
            if (pos >= n) break;
            buffer[pos++] = v;
        }
        if (pos >> 8 != before >> 8) report(int(uint64_t(pos) * 50 / n));
    }

    if (depth == 24) {
        auto image = TrueColorImage::create(w, h, 24, limits_);
        if (!image) return false;
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* red = buffer.data() + size_t(y) * 3 * bpl;
            const uint8_t* green = red + bpl;
            const uint8_t* blue = green + bpl;
            uint8_t* out = image->row(y);
            for (int32_t x = 0; x < w; ++x, out += 3) out[0] = blue[x], out[1] = green[x], out[2] = red[x];
            report(50 + int(int64_t(y) * 50 / h));
        }
        image_.trueColor = std::move(image);
        report(100);
        return true;
    }

    auto image = std::make_unique<TDib256>(w, h);
    ColorTable& table = image->colors();
    if (depth == 1) {
        table[1] = {255, 255, 255, 0};
    } else {
        for (size_t i = 0; i < 16; ++i)
            table[i] = {header_.palette[3 * i + 2], header_.palette[3 * i + 1], header_.palette[3 * i], 0};
        if (header_.version > 4 && depth > 4 && file.size() >= 769 && file[file.size() - 769] == 12) {
            const uint8_t* trailer = file.data() + file.size() - 768;
            for (size_t i = 0; i < 256; ++i) table[i] = {trailer[3 * i + 2], trailer[3 * i + 1], trailer[3 * i], 0};
        }
    }

    // Each byte of a plane line holds 8 / b fields, most significant first;
    // a pixel gathers its field from every plane, the last plane giving the
    // highest bits.  Fields past the width (the spare low bits of a line's
    // last byte) are dropped.
    const int perByte = 8 / b;
    const unsigned mask = (1u << b) - 1;
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* lines = buffer.data() + size_t(y) * size_t(p) * bpl;
        uint8_t* out = image->row(y);
        int32_t x = 0;
        for (size_t k = 0; k < lineBytes; ++k) {
            for (int j = 0; j < perByte && x < w; ++j, ++x) {
                const int shift = 8 - b * (j + 1);
                unsigned pixel = 0;
                for (int plane = p - 1; plane >= 0; --plane)
                    pixel = pixel << b | (lines[size_t(plane) * bpl + k] >> shift & mask);
                out[x] = uint8_t(pixel);
            }
        }
        report(50 + int(int64_t(y) * 50 / h));
    }
    image_.indexed = std::move(image);
    report(100);
    return true;
}

}  // namespace movigram
