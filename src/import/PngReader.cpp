#include "PngReader.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <png.h>

#include "document/SharedLibrary.h"

namespace movigram {
namespace {

#define MOVIGRAM_PNG_FUNCTIONS(X)                                                                         \
    X(png_create_read_struct) X(png_create_info_struct) X(png_destroy_read_struct) X(png_set_read_fn)     \
    X(png_get_io_ptr) X(png_get_error_ptr) X(png_error) X(png_read_info) X(png_get_IHDR) X(png_get_tRNS)  \
    X(png_get_PLTE) X(png_set_packing) X(png_set_expand) X(png_set_expand_gray_1_2_4_to_8)               \
    X(png_set_scale_16) X(png_set_gray_to_rgb) X(png_set_add_alpha) X(png_set_interlace_handling)         \
    X(png_read_update_info) X(png_get_rowbytes) X(png_get_channels) X(png_get_bit_depth) X(png_read_image) \
    X(png_read_end) X(png_set_user_limits) X(png_set_chunk_malloc_max)

struct PngLibrary {
    MOVIGRAM_PNG_FUNCTIONS(MOVIGRAM_LIBRARY_POINTER)
};

const PngLibrary* pngLibrary() {
    return openLibraryOnce<PngLibrary>(MOVIGRAM_PNG_SONAME, [](void* handle, PngLibrary& lib) {
        bool complete = true;
        MOVIGRAM_PNG_FUNCTIONS(MOVIGRAM_LIBRARY_BIND)
        return complete;
    });
}

// Text and other ancillary chunks are held in memory while they are read;
// none needs more.
constexpr png_alloc_size_t maxChunkBytes = png_alloc_size_t(8) << 20;

// The library's errors jump back to decode(), which cleans up: between the
// setjmp and a jump only the session changes, reached through a reference,
// and no object with a destructor is made.
struct Session {
    const PngLibrary* png = nullptr;
    png_structp read = nullptr;
    png_infop info = nullptr;
    std::span<const uint8_t> data;
    size_t position = 0;
    std::jmp_buf jump;
    char message[160] = {};
    const DecodeLimits* limits = nullptr;
    PngForm form = PngForm::Natural;

    png_uint_32 width = 0, height = 0;
    int channels = 0;
    bool indexed = false;
    bool tooLarge = false;
    bool noMemory = false;
    bool complete = false;  // every pixel was read
    std::vector<uint8_t> pixels;
    std::vector<png_bytep> rows;
    std::vector<uint8_t> alpha;
    png_color palette[256] = {};
    int paletteSize = 0;
    int grayKey = -1;  // the gray value tRNS makes transparent
};

Session& sessionOf(png_structp read, bool io) {
    return *static_cast<Session*>(io ? (*pngLibrary()->png_get_io_ptr)(read) : (*pngLibrary()->png_get_error_ptr)(read));
}

[[noreturn]] void errorExit(png_structp read, png_const_charp message) {
    Session& s = sessionOf(read, false);
    std::snprintf(s.message, sizeof s.message, "%s", message ? message : "error");
    std::longjmp(s.jump, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

void readBytes(png_structp read, png_bytep out, size_t count) {
    Session& s = sessionOf(read, true);
    if (count > s.data.size() - s.position) s.png->png_error(read, "the file ends early");
    std::memcpy(out, s.data.data() + s.position, count);
    s.position += count;
}

bool allocate(Session& s, size_t rowBytes) {
    try {
        s.pixels.assign(rowBytes * s.height, 0);
        s.rows.resize(s.height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (png_uint_32 y = 0; y < s.height; ++y) s.rows[y] = s.pixels.data() + size_t(y) * rowBytes;
    return true;
}

// Chooses what the library delivers: one index or gray byte per pixel, or
// red, green, blue and alpha bytes.
void chooseForm(Session& s, int bitDepth, int colorType) {
    const PngLibrary& png = *s.png;
    png_bytep trnsAlpha = nullptr;
    int trnsCount = 0;
    png_color_16p trnsColor = nullptr;
    const bool hasTrns = png.png_get_tRNS(s.read, s.info, &trnsAlpha, &trnsCount, &trnsColor) != 0;
    if (s.form == PngForm::Natural && colorType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp palette = nullptr;
        int count = 0;
        png.png_get_PLTE(s.read, s.info, &palette, &count);
        s.paletteSize = std::clamp(count, 0, 256);
        if (palette) std::memcpy(s.palette, palette, sizeof(png_color) * size_t(s.paletteSize));
        s.alpha.assign(256, 255);
        for (int i = 0; hasTrns && trnsAlpha && i < std::min(trnsCount, 256); ++i) s.alpha[size_t(i)] = trnsAlpha[i];
        png.png_set_packing(s.read);
        s.indexed = true;
        return;
    }
    // A 16-bit key could stand for several 8-bit grays: such pictures go
    // the RGBA way.
    if (s.form == PngForm::Natural && colorType == PNG_COLOR_TYPE_GRAY && !(bitDepth == 16 && hasTrns)) {
        if (bitDepth < 8) png.png_set_expand_gray_1_2_4_to_8(s.read);
        if (bitDepth == 16) png.png_set_scale_16(s.read);
        if (hasTrns && trnsColor) {
            const int most = (1 << bitDepth) - 1;
            if (trnsColor->gray <= most) s.grayKey = trnsColor->gray * 255 / most;
        }
        s.indexed = true;
        return;
    }
    png.png_set_expand(s.read);
    png.png_set_scale_16(s.read);
    png.png_set_gray_to_rgb(s.read);
    png.png_set_add_alpha(s.read, 0xFF, PNG_FILLER_AFTER);
}

bool decode(Session& s) {
    s.png = pngLibrary();
    if (!s.png) return false;
    if (setjmp(s.jump)) {
        s.png->png_destroy_read_struct(&s.read, s.info ? &s.info : nullptr, nullptr);
        return false;
    }
    s.read = s.png->png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, errorExit, ignoreWarning);
    if (!s.read) return false;
    s.info = s.png->png_create_info_struct(s.read);
    if (!s.info) s.png->png_error(s.read, "no memory");
    s.png->png_set_read_fn(s.read, &s, readBytes);
    s.png->png_set_chunk_malloc_max(s.read, maxChunkBytes);
    // The size is checked against our own limits below.
    s.png->png_set_user_limits(s.read, 0x7FFFFFFF, 0x7FFFFFFF);
    s.png->png_read_info(s.read, s.info);
    int bitDepth = 0, colorType = 0;
    s.png->png_get_IHDR(s.read, s.info, &s.width, &s.height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
    if (checkedImageBytes(s.width, s.height, 4, *s.limits) == 0) {
        s.tooLarge = true;
        s.png->png_error(s.read, "the picture is larger than allowed");
    }
    chooseForm(s, bitDepth, colorType);
    s.png->png_set_interlace_handling(s.read);
    s.png->png_read_update_info(s.read, s.info);
    s.channels = s.png->png_get_channels(s.read, s.info);
    const size_t rowBytes = s.png->png_get_rowbytes(s.read, s.info);
    if (s.png->png_get_bit_depth(s.read, s.info) != 8 || s.channels != (s.indexed ? 1 : 4) ||
        rowBytes != size_t(s.width) * size_t(s.channels))
        s.png->png_error(s.read, "unexpected pixel layout");
    if (!allocate(s, rowBytes)) {
        s.noMemory = true;
        s.png->png_error(s.read, "no memory for the picture");
    }
    s.png->png_read_image(s.read, s.rows.data());
    // What follows the pixels (text, the end chunk) cannot change them: a
    // file cut short after them still gives its picture.
    s.complete = true;
    s.png->png_read_end(s.read, nullptr);
    s.png->png_destroy_read_struct(&s.read, &s.info, nullptr);
    return true;
}

}  // namespace

bool isPngSignature(std::span<const uint8_t> head) {
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return head.size() >= 8 && std::memcmp(head.data(), signature, 8) == 0;
}

PngPicture decodePng(std::span<const uint8_t> file, const DecodeLimits& limits, PngForm form) {
    PngPicture out;
    if (!pngLibrary()) {
        out.status = {DecodeEnd::Unsupported, "the PNG library cannot be loaded"};
        return out;
    }
    auto session = std::make_unique<Session>();
    Session& s = *session;
    s.data = file;
    s.limits = &limits;
    s.form = form;
    const bool decoded = decode(s);
    if (!decoded && !s.complete) {
        out.status = {s.noMemory || s.tooLarge ? DecodeEnd::NoMemory : DecodeEnd::Corrupt, s.message};
        return out;
    }
    try {
        if (s.indexed) {
            auto image = std::make_unique<TDib256>(int32_t(s.width), int32_t(s.height));
            for (png_uint_32 y = 0; y < s.height; ++y)
                std::memcpy(image->row(int32_t(y)), s.pixels.data() + size_t(y) * s.width, s.width);
            if (s.paletteSize > 0 || !s.alpha.empty()) {
                for (int i = 0; i < s.paletteSize; ++i)
                    image->colors()[size_t(i)] = {s.palette[i].blue, s.palette[i].green, s.palette[i].red, 0};
                // Indices past the palette show its black filling.
                const uint8_t highest = s.pixels.empty() ? 0 : *std::max_element(s.pixels.begin(), s.pixels.end());
                image->colorsUsed = std::max({s.paletteSize, int(highest) + 1, 1});
                out.alpha = std::move(s.alpha);
            } else {
                // The grays the picture uses, darkest first: a 1-bit picture
                // brings two colours, not a ramp of 256.
                std::array<int, 256> index;
                index.fill(-1);
                for (uint8_t v : s.pixels) index[v] = 0;
                int used = 0;
                out.alpha.assign(256, 255);
                for (int v = 0; v < 256; ++v) {
                    if (index[size_t(v)] < 0) continue;
                    if (v == s.grayKey) out.alpha[size_t(used)] = 0;
                    image->colors()[size_t(used)] = {uint8_t(v), uint8_t(v), uint8_t(v), 0};
                    index[size_t(v)] = used++;
                }
                image->colorsUsed = std::max(used, 1);
                for (int32_t y = 0; y < image->height(); ++y) {
                    uint8_t* row = image->row(y);
                    for (int32_t x = 0; x < image->width(); ++x) row[x] = uint8_t(index[row[x]]);
                }
            }
            out.indexed = std::move(image);
        } else {
            RgbaPicture picture;
            picture.width = int32_t(s.width);
            picture.height = int32_t(s.height);
            picture.pixels = std::move(s.pixels);
            out.rgba = std::move(picture);
        }
    } catch (const std::bad_alloc&) {
        out.indexed.reset();
        out.status = {DecodeEnd::NoMemory, "no memory for the picture"};
    }
    return out;
}

}  // namespace movigram
