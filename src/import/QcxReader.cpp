#include "QcxReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <new>

#include "BmpReader.h"
#include "PcxImage.h"
#include "colour/PaletteMapping.h"
#include "document/FileIo.h"
#include "gif/ByteReader.h"

namespace movigram {
namespace {

constexpr size_t trailerBytes = 768;

bool endsWithBmp(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".bmp";
}

std::string resolve(const std::string& name, const std::vector<std::string>& folders) {
    const bool bare =
        !name.empty() && std::isalnum(static_cast<unsigned char>(name[0])) && !(name.size() > 1 && name[1] == ':');
    if (!bare) return name;
    for (const std::string& folder : folders) {
        const std::string candidate = (std::filesystem::path(folder) / name).string();
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
    }
    return name;
}

uint8_t scale6(uint8_t v) { return v == 63 ? 255 : uint8_t(std::min(4 * int(v), 255)); }

// Decodes into image with the file's top-left pixel at (ox, oy); a new image
// is the same call at (0, 0) with a blank 256-colour image of the file's size.
bool decodeInto(std::span<const uint8_t> file, TDib256& image, int64_t ox, int64_t oy, bool fresh,
                const QcxOptions& options) {
    PcxHeader header;
    if (!PcxHeader::parse(file, header)) return false;
    const int kind = header.manufacturer;
    if ((kind != 10 && kind != 12 && kind != 14) || file[3] != 8 || file[65] != 1) return false;
    const int64_t w = header.width(), h = header.height();
    if (w <= 0 || h <= 0) return false;
    if (kind == 10 && file.size() < PcxHeader::size + trailerBytes) return false;

    ColorTable& table = image.colors();
    const uint8_t* source = file.data() + file.size() - trailerBytes;  // kind 10 only
    int valueMap[256];
    std::fill(std::begin(valueMap), std::end(valueMap), -1);
    int used = fresh ? 1 : std::clamp(image.colorsImportant, 1, 256);
    if (kind == 12) {
        // The colours go where the offset values point (entries 0..15 when
        // reading a file).
        for (int i = 0; i < 16; ++i) {
            const uint8_t* c = header.palette.data() + 3 * i;
            table[size_t((i + options.colorOffset) & 255)] = {scale6(c[2]), scale6(c[1]), scale6(c[0]), 0};
        }
    }
    if (fresh && kind != 10) image.fixedColorMask = header.colorMask;
    if (table[0] == RgbQuad{0, 0, 0, 0}) table[0] = {1, 1, 1, 0};

    // Kind 10: file values take table entries on first use, black entry 0 and
    // every other colour the first entry already holding it.
    auto mapped = [&](int value) -> uint8_t {
        if (kind == 12) return uint8_t(value + options.colorOffset);
        if (kind == 14) return uint8_t(value);
        int& slot = valueMap[value];
        if (slot < 0) {
            const uint8_t* c = source + 3 * value;
            const RgbQuad colour{c[2], c[1], c[0], 0};
            if (colour == RgbQuad{0, 0, 0, 0}) {
                slot = 0;
            } else {
                int k = 0;
                while (k < used && !(table[size_t(k)] == colour)) ++k;
                if (k == used && used < 256) {
                    table[size_t(used++)] = colour;
                } else if (k == used) {
                    // 256 colours besides black: the nearest one stands in.
                    PaletteEntry entries[256];
                    for (int i = 0; i < used; ++i)
                        entries[i] = {table[size_t(i)].red, table[size_t(i)].green, table[size_t(i)].blue, 0};
                    k = nearestColor(entries, used, colour.red, colour.green, colour.blue);
                }
                slot = k;
            }
        }
        return uint8_t(slot);
    };

    // Rows top to bottom.  A run that passes the end of its row is cut there;
    // once a row is full, raw bytes are skipped until the count reaches the
    // bytes per line.
    const int64_t bpl = header.bytesPerLine;
    ByteReader in(file.subspan(PcxHeader::size));
    int64_t row = 0, count = 0;
    while (row < h) {
        if (count >= w) {
            while (count < bpl && in.skip(1)) ++count;
            ++row, count = 0;
            continue;
        }
        uint8_t v;
        if (!in.readByte(v)) break;
        int value;
        int64_t length;
        if (kind == 10) {
            if ((v & 0xC0) == 0xC0) {
                uint8_t next;
                if (!in.readByte(next)) break;
                length = v & 63, value = next;
            } else {
                length = 1, value = v;
            }
        } else {
            value = v & 15;
            if (v < 240) {
                length = v / 16 + 1;
            } else {
                uint8_t hi;
                if (!in.readByte(hi)) break;
                if (hi >= 15) {
                    length = hi + 1;
                } else {
                    uint8_t lo;
                    if (!in.readByte(lo)) break;
                    length = int64_t(hi) * 256 + lo;
                }
            }
        }
        if (value != options.skipValue && length > 0) {
            const uint8_t pixel = mapped(value);
            const int64_t y = oy + row;
            const int64_t from = std::max<int64_t>(ox + count, 0);
            const int64_t to = std::min<int64_t>({ox + count + length, ox + w, int64_t(image.width())});
            if (y >= 0 && y < image.height() && from < to)
                std::memset(image.row(int32_t(y)) + from, pixel, size_t(to - from));
        }
        count += length;
    }
    if (kind == 10) image.colorsImportant = used;
    return true;
}

std::vector<uint8_t> fileBytes(const std::string& path, bool& ok) {
    std::vector<uint8_t> bytes;
    ok = readWholeFile(path, bytes) == ReadFileResult::Ok;
    return bytes;
}

// A ".bmp" file as one 8-bit image (deeper ones reduced to 256 colours).
std::unique_ptr<TDib256> bitmapImage(const std::string& path, const DecodeLimits& limits) {
    DecodedImage decoded = readBmp(path, limits);
    if (decoded.trueColor) return reduceTo256(*decoded.trueColor);
    return std::move(decoded.indexed);
}

}  // namespace

std::unique_ptr<TDib256> decodeQcx(std::span<const uint8_t> file, const QcxOptions& options) {
    PcxHeader header;
    if (!PcxHeader::parse(file, header)) return nullptr;
    if (checkedImageBytes(header.width(), header.height(), 1, options.limits) == 0) return nullptr;
    try {
        auto image = std::make_unique<TDib256>(header.width(), header.height());
        if (!decodeInto(file, *image, 0, 0, true, options)) return nullptr;
        return image;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<TDib256> readQcx(const std::string& name, const QcxOptions& options) {
    const std::string path = resolve(name, options.searchFolders);
    if (endsWithBmp(path)) return bitmapImage(path, options.limits);
    bool ok;
    const std::vector<uint8_t> bytes = fileBytes(path, ok);
    return ok ? decodeQcx(bytes, options) : nullptr;
}

bool drawQcx(std::span<const uint8_t> file, TDib256& target, int32_t x, int32_t y, const QcxOptions& options) {
    return decodeInto(file, target, x, y, false, options);
}

bool drawQcx(const std::string& name, TDib256& target, int32_t x, int32_t y, const QcxOptions& options) {
    const std::string path = resolve(name, options.searchFolders);
    if (endsWithBmp(path)) {
        auto image = bitmapImage(path, options.limits);
        if (!image) return false;
        target.blit(x, y, *image, options.skipValue < 256 ? options.skipValue : -1);
        return true;
    }
    bool ok;
    const std::vector<uint8_t> bytes = fileBytes(path, ok);
    return ok && drawQcx(std::span<const uint8_t>(bytes), target, x, y, options);
}

}  // namespace movigram
