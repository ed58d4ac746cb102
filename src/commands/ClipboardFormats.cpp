#include "ClipboardFormats.h"

#include <climits>
#include <cstring>
#include <new>

#include "gif/ByteReader.h"

namespace movigram {

namespace {

// The program's format, little-endian:
//   "MVGRFRM1"
//   u32 flags (1 restore to background, 2 the palette is the frame's local one)
//   i32 frameTime, repeat, rect (4), dirtyRect (4), backgroundIndex, transparentIndex
//   u32 name length, name bytes
//   u16 palette colour count (0..256), i32 palette transparent index, 256 x (r, g, b)
//   i32 width, height, colorsUsed, colorsImportant, image transparent index
//   u16 fixedColorMask, 256 x (b, g, r, 0) colour table
//   width x height pixels, top row first, rows unpadded
constexpr char magic[8] = {'M', 'V', 'G', 'R', 'F', 'R', 'M', '1'};
constexpr uint32_t restoreFlag = 1;
constexpr uint32_t localPaletteFlag = 2;

class Writer {
public:
    void bytes(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    }
    void u8(uint8_t v) { out.push_back(v); }
    void u16(uint32_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void i32(int32_t v) { u32(uint32_t(v)); }
    void rect(const TRect& r) {
        i32(r.left);
        i32(r.top);
        i32(r.right);
        i32(r.bottom);
    }
    std::vector<uint8_t> out;
};

class Reader {
public:
    explicit Reader(std::span<const uint8_t> data) : in(data) {}
    bool u16(uint32_t& v) {
        uint8_t b[2];
        if (!in.read(b, 2)) return false;
        v = ByteReader::le16(b);
        return true;
    }
    bool u32(uint32_t& v) {
        uint32_t lo, hi;
        if (!u16(lo) || !u16(hi)) return false;
        v = lo | hi << 16;
        return true;
    }
    bool i32(int32_t& v) {
        uint32_t u;
        if (!u32(u)) return false;
        v = int32_t(u);
        return true;
    }
    bool rect(TRect& r) { return i32(r.left) && i32(r.top) && i32(r.right) && i32(r.bottom); }
    ByteReader in;
};

bool validIndex(int32_t i) { return i >= -1 && i <= 255; }

void putLe32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) out[at + size_t(k)] = uint8_t(v >> (8 * k));
}

}  // namespace

std::vector<uint8_t> encodeHeldFrame(const TFrame& frame, const TMyPalette& palette) {
    Writer w;
    if (!frame.image) return {};
    const TDib256& image = *frame.image;
    w.bytes(magic, sizeof magic);
    w.u32((frame.restoreToBackground ? restoreFlag : 0) | (frame.localPalette ? localPaletteFlag : 0));
    w.i32(frame.frameTime);
    w.i32(frame.repeat);
    w.rect(frame.rect);
    w.rect(frame.dirtyRect);
    w.i32(frame.backgroundIndex);
    w.i32(frame.transparentIndex);
    w.u32(uint32_t(frame.name.size()));
    w.bytes(frame.name.data(), frame.name.size());

    w.u16(uint32_t(palette.colorCount));
    w.i32(palette.transparentIndex);
    for (const PaletteEntry& e : palette.entries()) {
        w.u8(e.red);
        w.u8(e.green);
        w.u8(e.blue);
    }

    w.i32(image.width());
    w.i32(image.height());
    w.i32(image.colorsUsed);
    w.i32(image.colorsImportant);
    w.i32(image.transparentIndex);
    w.u16(image.fixedColorMask);
    w.bytes(image.colors().data(), sizeof(RgbQuad) * image.colors().size());
    for (int32_t y = 0; y < image.height(); ++y) w.bytes(image.row(y), size_t(image.width()));
    return std::move(w.out);
}

std::optional<HeldFrame> decodeHeldFrame(std::span<const uint8_t> bytes, const DecodeLimits& limits) {
    Reader r(bytes);
    char head[sizeof magic];
    if (!r.in.read(head, sizeof head) || std::memcmp(head, magic, sizeof magic) != 0) return std::nullopt;

    uint32_t flags = 0, nameLength = 0;
    int32_t frameTime, repeat, background, transparent;
    TRect rect, dirty;
    if (!r.u32(flags) || !r.i32(frameTime) || !r.i32(repeat) || !r.rect(rect) || !r.rect(dirty) ||
        !r.i32(background) || !r.i32(transparent) || !r.u32(nameLength))
        return std::nullopt;
    if (!validIndex(background) || !validIndex(transparent) || nameLength > r.in.remaining()) return std::nullopt;
    // Any program can put bytes on the clipboard under the format's name, so
    // they are held to what the editor's own frames have: a display time that
    // fits 32 bits, and (below) a rectangle that is its image's, through
    // which the rest of the program reads the image, at a place where the
    // screen it needs stays within the limits, as a shift keeps it.
    if (frameTime < 0 || repeat < 0 || int64_t(frameTime) * repeat > INT32_MAX) return std::nullopt;
    const std::span<const uint8_t> name = r.in.take(nameLength);

    uint32_t colorCount = 0;
    int32_t paletteTransparent;
    if (!r.u16(colorCount) || !r.i32(paletteTransparent) || colorCount > 256 || !validIndex(paletteTransparent))
        return std::nullopt;
    if ((flags & localPaletteFlag) && colorCount == 0) return std::nullopt;
    HeldFrame held;
    held.palette.colorCount = int(colorCount);
    held.palette.transparentIndex = paletteTransparent;
    for (int i = 0; i < 256; ++i) {
        PaletteEntry e;
        if (!r.in.readByte(e.red) || !r.in.readByte(e.green) || !r.in.readByte(e.blue)) return std::nullopt;
        held.palette.setEntry(i, e);
    }

    int32_t width, height, used, important, imageTransparent;
    uint32_t fixedMask;
    if (!r.i32(width) || !r.i32(height) || !r.i32(used) || !r.i32(important) || !r.i32(imageTransparent) ||
        !r.u16(fixedMask))
        return std::nullopt;
    // A frame cropped to nothing is 0 x 0 at (0, 0, 0, 0), and comes back as it went.
    const bool emptied = width == 0 && height == 0 && rect.isNull();
    if ((!emptied && (width <= 0 || height <= 0)) || used < 0 || used > 256 || important < 0 || important > 256 ||
        !validIndex(imageTransparent))
        return std::nullopt;
    if (rect.left < 0 || rect.top < 0 || int64_t(rect.right) - rect.left != width ||
        int64_t(rect.bottom) - rect.top != height ||
        uint64_t(rect.right) * uint64_t(rect.bottom) > limits.maxImagePixels)
        return std::nullopt;
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    if (pixels > limits.maxImagePixels || pixels > limits.maxTotalBytes) return std::nullopt;
    ColorTable table;
    if (!r.in.read(table.data(), sizeof(RgbQuad) * table.size())) return std::nullopt;
    if (r.in.remaining() != pixels) return std::nullopt;

    std::unique_ptr<TDib256> image;
    try {
        image = std::make_unique<TDib256>(width, height);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    image->colors() = table;
    image->colorsUsed = used;
    image->colorsImportant = important;
    image->transparentIndex = imageTransparent;
    image->fixedColorMask = uint16_t(fixedMask);
    for (int32_t y = 0; y < height; ++y) r.in.read(image->row(y), size_t(width));

    auto frame = std::make_unique<TFrame>(std::string(name.begin(), name.end()), std::move(image));
    frame->restoreToBackground = (flags & restoreFlag) != 0;
    if (flags & localPaletteFlag) frame->localPalette = std::make_unique<TMyPalette>(held.palette);
    frame->frameTime = frameTime;
    frame->repeat = repeat;
    frame->rect = rect;
    // Like every other field, the changed area is held to the frame.
    const TRect changed = dirty.intersected(rect);
    frame->dirtyRect = changed.isEmpty() ? rect : changed;
    frame->backgroundIndex = background;
    frame->transparentIndex = transparent;
    held.frame = std::move(frame);
    return held;
}

std::vector<uint8_t> bitmapFileOf(const TDib256& image, const TMyPalette& palette) {
    constexpr uint32_t fileHeader = 14, infoHeader = 40, table = 256 * 4;
    const uint32_t pixelBytes = uint32_t(image.stride()) * uint32_t(image.height());
    std::vector<uint8_t> out(fileHeader + infoHeader + table + pixelBytes, 0);
    out[0] = 'B';
    out[1] = 'M';
    putLe32(out, 2, uint32_t(out.size()));
    putLe32(out, 10, fileHeader + infoHeader + table);
    uint8_t* h = out.data() + fileHeader;
    putLe32(out, fileHeader, infoHeader);
    putLe32(out, fileHeader + 4, uint32_t(image.width()));
    putLe32(out, fileHeader + 8, uint32_t(image.height()));  // positive: rows bottom-up, as stored
    h[12] = 1;                                               // planes
    h[14] = 8;                                               // bits per pixel
    putLe32(out, fileHeader + 20, pixelBytes);
    putLe32(out, fileHeader + 32, 256);  // colours used
    putLe32(out, fileHeader + 36, 256);  // colours important
    uint8_t* quads = h + infoHeader;
    for (int i = 0; i < 256; ++i) {
        const PaletteEntry& e = palette.entry(i);
        quads[4 * i] = e.blue;
        quads[4 * i + 1] = e.green;
        quads[4 * i + 2] = e.red;
    }
    if (pixelBytes) std::memcpy(quads + table, image.bits(), pixelBytes);
    return out;
}

std::string plainTextOf(const TTextFrame& frame) {
    std::string text = frame.getText();
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

}  // namespace movigram
