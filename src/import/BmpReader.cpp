#include "BmpReader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "document/FileIo.h"
#include "gif/ByteReader.h"

namespace movigram {
namespace {

enum Compression : uint32_t {
    BiRgb = 0,
    BiRle8 = 1,
    BiRle4 = 2,
    BiBitfields = 3,
    BiAlphaBitfields = 6,
};

constexpr size_t fileHeaderSize = 14;

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// What the headers say, checked against the file.
struct BmpLayout {
    int64_t width = 0;
    int64_t height = 0;  // always positive; topDown tells the row order
    bool topDown = false;
    int bitCount = 0;
    uint32_t compression = BiRgb;
    uint32_t masks[3] = {};  // red, green, blue
    int colorCount = 0;      // colour-table entries read
    int colorsImportant = 0;
    ColorTable table{};
    size_t pixelOffset = 0;
    uint64_t rowBytes = 0;
};

bool readHeaders(std::span<const uint8_t> file, BmpLayout& out) {
    const uint8_t* f = file.data();
    if (file.size() < fileHeaderSize + 4 || f[0] != 'B' || f[1] != 'M') return false;
    const uint32_t offBits = le32(f + 10);
    const uint32_t headerSize = le32(f + 14);
    if (file.size() - fileHeaderSize < headerSize) return false;
    const uint8_t* h = f + fileHeaderSize;

    int planes = 0;
    bool os2 = false;
    uint32_t colorsUsed = 0, important = 0;
    int entrySize = 4;
    if (headerSize == 12) {
        // OS/2 1.x core header: 16-bit unsigned sizes, 3-byte table entries.
        out.width = ByteReader::le16(h + 4);
        out.height = ByteReader::le16(h + 6);
        planes = ByteReader::le16(h + 8);
        out.bitCount = ByteReader::le16(h + 10);
        entrySize = 3;
    } else if (headerSize >= 16 && (headerSize <= 64 || headerSize >= 108)) {
        // Windows headers are 40, 52, 56, 108 or 124 bytes; OS/2 2.x ones
        // anything from 16 to 64.
        os2 = headerSize <= 64 && headerSize != 40 && headerSize != 52 && headerSize != 56;
        // Fields an OS/2 2.x header leaves out read as zero.
        uint8_t info[40] = {};
        std::memcpy(info, h, std::min<size_t>(headerSize, sizeof info));
        out.width = int32_t(le32(info + 4));
        const int32_t height = int32_t(le32(info + 8));
        if (height == INT32_MIN) return false;
        out.topDown = height < 0;
        out.height = height < 0 ? -int64_t(height) : height;
        planes = ByteReader::le16(info + 12);
        out.bitCount = ByteReader::le16(info + 14);
        out.compression = le32(info + 16);
        colorsUsed = le32(info + 32);
        important = le32(info + 36);
    } else {
        return false;
    }
    if (planes != 1 || out.width <= 0 || out.height <= 0) return false;

    const int bpp = out.bitCount;
    switch (out.compression) {
    case BiRgb:
        if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
        break;
    case BiRle8:
        if (bpp != 8 || out.topDown) return false;
        break;
    case BiRle4:
        if (bpp != 4 || out.topDown) return false;
        break;
    case BiBitfields:
    case BiAlphaBitfields:
        // To OS/2 these codes mean Huffman 1D and RLE24, which are not read.
        if (os2 || (bpp != 16 && bpp != 32)) return false;
        break;
    default: return false;  // embedded JPEG or PNG, and unknown methods
    }

    size_t tableOffset = fileHeaderSize + headerSize;
    if (out.compression == BiBitfields || out.compression == BiAlphaBitfields) {
        // The masks follow a 40-byte header and lie inside the larger ones,
        // at the same place either way.
        const size_t maskBytes = out.compression == BiAlphaBitfields ? 16 : 12;
        if (file.size() < fileHeaderSize + 40 + 12) return false;
        for (int i = 0; i < 3; ++i) out.masks[i] = le32(f + fileHeaderSize + 40 + 4 * i);
        if (headerSize == 40) tableOffset += maskBytes;
    } else if (bpp == 16) {
        out.masks[0] = 0x7C00, out.masks[1] = 0x03E0, out.masks[2] = 0x001F;
    } else if (bpp == 32) {
        out.masks[0] = 0xFF0000, out.masks[1] = 0x00FF00, out.masks[2] = 0x0000FF;
    }

    if (bpp <= 8) {
        int64_t n = colorsUsed ? std::min<int64_t>(colorsUsed, int64_t(1) << bpp) : int64_t(1) << bpp;
        // A table shorter than the depth allows ends where the pixels begin.
        if (offBits >= tableOffset) n = std::min<int64_t>(n, (offBits - tableOffset) / size_t(entrySize));
        if (tableOffset > file.size() || uint64_t(n) * size_t(entrySize) > file.size() - tableOffset) return false;
        out.colorCount = int(n);
        for (int i = 0; i < out.colorCount; ++i) {
            const uint8_t* e = f + tableOffset + size_t(i) * size_t(entrySize);
            out.table[size_t(i)] = {e[0], e[1], e[2], 0};
        }
        out.colorsImportant = int(std::min<uint32_t>(important, uint32_t(out.colorCount)));
    }

    out.pixelOffset = offBits ? offBits : tableOffset + size_t(out.colorCount) * size_t(entrySize);
    if (out.pixelOffset > file.size()) return false;
    out.rowBytes = (uint64_t(out.width) * uint64_t(bpp) + 31) / 32 * 4;
    if (out.compression == BiRgb || out.compression == BiBitfields || out.compression == BiAlphaBitfields) {
        // Rows cut short by the end of the file are refused, not guessed.
        if (out.rowBytes * uint64_t(out.height) > file.size() - out.pixelOffset) return false;
    }
    return true;
}

// Picture row y (0 = top) of an uncompressed file.
const uint8_t* fileRow(std::span<const uint8_t> file, const BmpLayout& b, int32_t y) {
    const int64_t r = b.topDown ? y : b.height - 1 - y;
    return file.data() + b.pixelOffset + size_t(r) * size_t(b.rowBytes);
}

// Pixel values past the end of the colour table show black; counting them as
// used keeps every pixel inside the table that palette mapping reads.
void coverPixelValues(TDib256& image) {
    int highest = 0;
    for (int32_t y = 0; y < image.height() && highest < 255; ++y) {
        const uint8_t* row = image.row(y);
        highest = std::max<int>(highest, *std::max_element(row, row + image.width()));
    }
    if (image.colorsUsed != 0 && highest >= image.colorsUsed) image.colorsUsed = highest + 1;
}

std::unique_ptr<TDib256> decodeIndexed(std::span<const uint8_t> file, const BmpLayout& b) {
    const int32_t w = int32_t(b.width), h = int32_t(b.height);
    std::unique_ptr<TDib256> image;
    if (b.bitCount == 2) {
        // Unpacked here: the expansion knows 1, 4 and 8 bits only.
        image = std::make_unique<TDib256>(w, h);
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* in = fileRow(file, b, y);
            uint8_t* out = image->row(y);
            for (int32_t x = 0; x < w; ++x) out[x] = uint8_t(in[x / 4] >> (6 - 2 * (x % 4)) & 3);
        }
        image->colors() = b.table;
        image->colorsUsed = b.colorCount;
        image->colorsImportant = b.colorsImportant;
    } else {
        // The expansion reads bottom-up rows; a top-down file is turned first.
        const uint8_t* bits = file.data() + b.pixelOffset;
        std::vector<uint8_t> turned;
        if (b.topDown) {
            turned.resize(size_t(b.rowBytes) * size_t(h));
            for (int32_t y = 0; y < h; ++y)
                std::memcpy(turned.data() + size_t(h - 1 - y) * size_t(b.rowBytes), fileRow(file, b, y),
                            size_t(b.rowBytes));
            bits = turned.data();
        }
        image = TDib256::expand(w, h, b.bitCount, bits, b.table, b.colorCount, b.colorsImportant);
    }
    return image;
}

// RLE4 and RLE8: runs, literal strings padded to 16 bits, end of line, end
// of bitmap and delta moves, bottom-up.  Pixels the stream never reaches keep
// colour 0; a stream that stops without its end marker ends the picture
// there (lenient), and pixels beyond the right edge are dropped.
std::unique_ptr<TDib256> decodeRle(std::span<const uint8_t> file, const BmpLayout& b) {
    const int64_t w = b.width, h = b.height;
    auto image = std::make_unique<TDib256>(int32_t(w), int32_t(h));
    image->colors() = b.table;
    image->colorsUsed = b.colorCount;
    image->colorsImportant = b.colorsImportant;
    const bool rle4 = b.compression == BiRle4;
    uint8_t* bits = image->bits();
    const size_t stride = size_t(image->stride());
    int64_t x = 0, y = 0;  // y counts from the bottom row
    auto put = [&](uint8_t v) {
        if (x < w) bits[size_t(y) * stride + size_t(x)] = v;
        ++x;
    };
    ByteReader in(file.subspan(b.pixelOffset));
    uint8_t count, code;
    while (y < h && in.readByte(count) && in.readByte(code)) {
        if (count > 0) {
            for (int i = 0; i < count && x < w; ++i) put(rle4 ? uint8_t(i & 1 ? code & 15 : code >> 4) : code);
        } else if (code == 0) {
            x = 0, ++y;
        } else if (code == 1) {
            break;
        } else if (code == 2) {
            uint8_t dx, dy;
            if (!in.readByte(dx) || !in.readByte(dy)) break;
            x += dx, y += dy;
        } else {
            const size_t bytes = rle4 ? (code + 1u) / 2 : code;
            const auto literal = in.take(bytes);
            if (literal.empty()) break;
            for (int i = 0; i < code; ++i)
                put(rle4 ? uint8_t(i & 1 ? literal[size_t(i / 2)] & 15 : literal[size_t(i / 2)] >> 4)
                         : literal[size_t(i)]);
            if (bytes & 1) in.skip(1);
        }
    }
    return image;
}

struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;
    explicit Channel(uint32_t m) : mask(m), shift(m ? std::countr_zero(m) : 0), max(m ? m >> shift : 0) {}
    uint8_t operator()(uint32_t pixel) const {
        if (max == 0) return 0;
        const uint64_t v = (pixel & mask) >> shift;
        return uint8_t((v * 255 + max / 2) / max);
    }
};

std::optional<TrueColorImage> decodeDeep(std::span<const uint8_t> file, const BmpLayout& b,
                                         const DecodeLimits& limits) {
    const int32_t w = int32_t(b.width), h = int32_t(b.height);
    const bool straight555 = b.bitCount == 16 && b.masks[0] == 0x7C00 && b.masks[1] == 0x03E0 && b.masks[2] == 0x001F;
    auto image = TrueColorImage::create(w, h, straight555 ? 16 : 24, limits);
    if (!image) return std::nullopt;
    if (straight555 || b.bitCount == 24) {
        const size_t n = size_t(w) * size_t(b.bitCount / 8);
        for (int32_t y = 0; y < h; ++y) std::memcpy(image->row(y), fileRow(file, b, y), n);
        return image;
    }
    const bool plain32 = b.bitCount == 32 && b.masks[0] == 0xFF0000 && b.masks[1] == 0x00FF00 && b.masks[2] == 0x0000FF;
    const Channel red(b.masks[0]), green(b.masks[1]), blue(b.masks[2]);
    const int bytes = b.bitCount / 8;
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* in = fileRow(file, b, y);
        uint8_t* out = image->row(y);
        for (int32_t x = 0; x < w; ++x, in += bytes, out += 3) {
            if (plain32) {
                // Alpha is dropped.
                out[0] = in[0], out[1] = in[1], out[2] = in[2];
                continue;
            }
            const uint32_t p = bytes == 2 ? uint32_t(in[0] | in[1] << 8) : le32(in);
            out[0] = blue(p), out[1] = green(p), out[2] = red(p);
        }
    }
    return image;
}

}  // namespace

DecodedImage decodeBmp(std::span<const uint8_t> file, const DecodeLimits& limits) {
    DecodedImage result;
    BmpLayout b;
    if (!readHeaders(file, b)) return result;
    if (checkedImageBytes(b.width, b.height, b.bitCount <= 8 ? 1 : 3, limits) == 0) return result;
    try {
        if (b.bitCount <= 8) {
            result.indexed = b.compression == BiRgb ? decodeIndexed(file, b) : decodeRle(file, b);
            coverPixelValues(*result.indexed);
        } else {
            result.trueColor = decodeDeep(file, b, limits);
        }
    } catch (const std::bad_alloc&) {
        return {};
    }
    return result;
}

DecodedImage readBmp(const std::string& path, const DecodeLimits& limits) {
    std::vector<uint8_t> bytes;
    if (readWholeFile(path, bytes) != ReadFileResult::Ok) return {};
    return decodeBmp(bytes, limits);
}

}  // namespace movigram
