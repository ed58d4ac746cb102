// APNG: libpng compresses each frame's image as a PNG of its own, and this
// file lays the animation out around the compressed data: the acTL chunk,
// one fcTL per frame, the first frame as the file's default image (IDAT),
// the others as fdAT chunks.
//
// All frames of an APNG share the colour type and palette of its header,
// so the choice is made for the whole file: indexed (1, 2, 4 or 8 bits)
// with a tRNS chunk when every screen's colours fit one palette of 256
// entries, else RGBA.  Each frame after the first covers only the
// rectangle where its screen differs from the one before and is never
// disposed of; it is compressed replacing the rectangle (blend SOURCE) and
// drawn over it with the unchanged pixels made transparent
// (blend OVER, where no pixel turns transparent and a transparent entry
// exists), each without row filters and with libpng's choice per row, and
// the smallest is kept: pictures of few colours mostly compress best
// unfiltered, photographs filtered, and a rectangle that changes little
// best drawn over the screen.  Delays are in milliseconds (1/1000 s)
// up to 65.535 s, in hundredths of a second beyond.
#include <png.h>

#include <array>
#include <csetjmp>
#include <unordered_map>

#include "Export.h"
#include "document/SharedLibrary.h"
#include "import/ApngReader.h"

namespace movigram {

namespace {

#define PNG_FUNCTIONS(X)                                                                                \
    X(png_create_write_struct) X(png_create_info_struct) X(png_destroy_write_struct) X(png_set_write_fn) \
    X(png_get_io_ptr) X(png_error) X(png_set_IHDR) X(png_set_PLTE) X(png_set_tRNS)                       \
    X(png_set_compression_level) X(png_set_compression_mem_level) X(png_set_filter) X(png_set_packing)   \
    X(png_write_info) X(png_write_row) X(png_write_end)

struct PngLibrary {
    PNG_FUNCTIONS(MOVIGRAM_LIBRARY_POINTER)
};

const PngLibrary* pngLibrary() {
    return openLibraryOnce<PngLibrary>("libpng16.so.16", [](void* handle, auto& lib) {
        bool complete = true;
        PNG_FUNCTIONS(MOVIGRAM_LIBRARY_BIND)
        return complete;
    });
}


void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}
void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void putChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
    put32(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, pngCrc(std::span<const uint8_t>(out.data() + start, out.size() - start)));
}

// The image layout every frame of the file shares.
struct Layout {
    bool indexed = false;
    int bitDepth = 8;
    std::vector<Rgba> palette;  // indexed: a transparent entry first when there is one
    int transparentIndex = -1;
    std::unordered_map<uint32_t, uint8_t> indexOf;
};

uint32_t keyOf(const Rgba& c) { return c.a == 0 ? 0 : uint32_t(c.r) | uint32_t(c.g) << 8 | uint32_t(c.b) << 16 | 0xFF000000u; }

Layout layoutOf(const ScreenColourSurvey& survey) {
    Layout layout;
    if (!survey.fitsPalette) return layout;
    layout.indexed = true;
    // The transparent entry first keeps the tRNS chunk one byte long; one
    // is added when there is room, for frames drawn over the screen.
    if (survey.transparent || survey.colours.size() < 256) {
        layout.palette.push_back(Rgba{});
        layout.transparentIndex = 0;
    }
    for (const Rgba& c : survey.colours)
        if (c.a != 0) layout.palette.push_back(c);
    for (size_t i = 0; i < layout.palette.size(); ++i) layout.indexOf.emplace(keyOf(layout.palette[i]), uint8_t(i));
    const size_t n = layout.palette.size();
    layout.bitDepth = n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
    return layout;
}

struct PngSession {
    std::vector<uint8_t> bytes;
    std::jmp_buf jump;
};

// libpng's error handler must not return: it goes back to the encoding's
// start, which gives up.
[[noreturn]] void pngFailed(png_structp png, png_const_charp) {
    auto* session = static_cast<PngSession*>(pngLibrary()->png_get_io_ptr(png));
    std::longjmp(session->jump, 1);
}
void pngWarned(png_structp, png_const_charp) {}

void pngWrite(png_structp png, png_bytep data, size_t length) {
    auto* session = static_cast<PngSession*>(pngLibrary()->png_get_io_ptr(png));
    try {
        session->bytes.insert(session->bytes.end(), data, data + length);
    } catch (...) {
        pngLibrary()->png_error(png, "out of memory");
    }
}
void pngFlush(png_structp) {}

// The compressed image data (what the IDAT chunks hold) of a width x height
// image in the layout; pixels: one byte an index, or four (RGBA), per pixel.
bool compressImage(const Layout& layout, int filters, int32_t width, int32_t height, const std::vector<uint8_t>& pixels,
                   std::vector<uint8_t>& data) {
    const PngLibrary* lib = pngLibrary();
    PngSession session;
    png_structp png = lib->png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFailed, pngWarned);
    if (!png) return false;
    png_infop info = lib->png_create_info_struct(png);
    if (!info) {
        lib->png_destroy_write_struct(&png, nullptr);
        return false;
    }
    // The write function is set first: the error handler finds the session
    // through it.
    lib->png_set_write_fn(png, &session, pngWrite, pngFlush);
    if (setjmp(session.jump)) {
        lib->png_destroy_write_struct(&png, &info);
        return false;
    }
    lib->png_set_IHDR(png, info, uint32_t(width), uint32_t(height), layout.bitDepth,
                      layout.indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                      PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color colours[256] = {};
    if (layout.indexed) {
        for (size_t i = 0; i < layout.palette.size(); ++i)
            colours[i] = {layout.palette[i].r, layout.palette[i].g, layout.palette[i].b};
        lib->png_set_PLTE(png, info, colours, int(layout.palette.size()));
    }
    lib->png_set_compression_level(png, 9);
    lib->png_set_compression_mem_level(png, 9);
    lib->png_set_filter(png, 0, filters);
    lib->png_write_info(png, info);
    if (layout.indexed && layout.bitDepth < 8) lib->png_set_packing(png);
    const size_t stride = size_t(width) * (layout.indexed ? 1 : 4);
    for (int32_t y = 0; y < height; ++y) lib->png_write_row(png, pixels.data() + size_t(y) * stride);
    lib->png_write_end(png, nullptr);
    lib->png_destroy_write_struct(&png, &info);

    // The chunks libpng wrote: the IDAT chunks' data is kept.
    const std::vector<uint8_t>& b = session.bytes;
    data.clear();
    for (size_t at = 8; at + 12 <= b.size();) {
        const uint32_t length = uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
        if (length > b.size() - at - 12) return false;
        if (std::equal(b.begin() + long(at) + 4, b.begin() + long(at) + 8, "IDAT"))
            data.insert(data.end(), b.begin() + long(at) + 8, b.begin() + long(at) + 8 + length);
        at += 12 + size_t(length);
    }
    return !data.empty();
}

// The pixels of rect in the layout's bytes; with under (the screen
// before), the pixels it shows already become transparent.
std::vector<uint8_t> pixelsOf(const Layout& layout, const std::vector<Rgba>& screen, int32_t width, const TRect& rect,
                              const std::vector<Rgba>* under) {
    std::vector<uint8_t> out;
    out.reserve(size_t(rect.area()) * (layout.indexed ? 1 : 4));
    for (int32_t y = rect.top; y < rect.bottom; ++y)
        for (int32_t x = rect.left; x < rect.right; ++x) {
            const size_t at = size_t(y) * size_t(width) + size_t(x);
            Rgba c = screen[at].a == 0 ? Rgba{} : screen[at];
            if (under && (*under)[at] == screen[at]) c = Rgba{};
            if (layout.indexed) {
                out.push_back(layout.indexOf.at(keyOf(c)));
            } else {
                out.insert(out.end(), {c.r, c.g, c.b, c.a});
            }
        }
    return out;
}

// The rectangle where two screens differ; empty when they are alike.
TRect changedRect(const std::vector<Rgba>& a, const std::vector<Rgba>& b, int32_t width, int32_t height) {
    TRect r{width, height, 0, 0};
    for (int32_t y = 0; y < height; ++y) {
        const Rgba* pa = &a[size_t(y) * size_t(width)];
        const Rgba* pb = &b[size_t(y) * size_t(width)];
        int32_t x0 = 0;
        while (x0 < width && pa[x0] == pb[x0]) ++x0;
        if (x0 == width) continue;
        int32_t x1 = width;
        while (pa[x1 - 1] == pb[x1 - 1]) --x1;
        r = {std::min(r.left, x0), std::min(r.top, y), std::max(r.right, x1), y + 1};
    }
    return r.isEmpty() ? TRect{} : r;
}

std::vector<uint8_t> frameControl(uint32_t sequence, const TRect& rect, int32_t ms, bool over) {
    std::vector<uint8_t> d;
    put32(d, sequence);
    put32(d, uint32_t(rect.width()));
    put32(d, uint32_t(rect.height()));
    put32(d, uint32_t(rect.left));
    put32(d, uint32_t(rect.top));
    if (ms <= 0xFFFF) {
        put16(d, uint16_t(ms));
        put16(d, 1000);
    } else {
        put16(d, uint16_t(std::min<int64_t>((int64_t(ms) + 5) / 10, 0xFFFF)));
        put16(d, 100);
    }
    d.push_back(0);  // dispose: none
    d.push_back(over ? 1 : 0);
    return d;
}

}  // namespace

bool encodeApng(const ShownScreens& screens, Progress* progress, std::vector<uint8_t>& out, std::string& error) {
    if (!pngLibrary()) {
        error = "libpng is not installed (Debian package libpng16-16)";
        return false;
    }
    ProgressBand surveying(progress, 0, 20), encoding(progress, 20, 100);
    const ScreenColourSurvey survey = surveyScreens(screens, progress ? &surveying : nullptr);
    if (progress && progress->stopRequested()) return false;
    const Layout layout = layoutOf(survey);
    const int32_t width = screens.width, height = screens.height;

    std::vector<uint8_t> frames;  // the chunks from the first fcTL on
    std::vector<Rgba> previous;
    uint32_t sequence = 0, count = 0;
    bool failed = false;
    const bool walked = forEachShownScreen(screens, progress ? &encoding : nullptr,
                                           [&](const std::vector<Rgba>& screen, int32_t ms) {
        std::vector<uint8_t> data;
        if (previous.empty()) {
            const TRect all{0, 0, width, height};
            const std::vector<uint8_t> pixels = pixelsOf(layout, screen, width, all, nullptr);
            std::vector<uint8_t> filtered;
            if (!compressImage(layout, PNG_FILTER_NONE, width, height, pixels, data) ||
                !compressImage(layout, PNG_ALL_FILTERS, width, height, pixels, filtered))
                return !(failed = true);
            if (filtered.size() < data.size()) data = std::move(filtered);
            putChunk(frames, "fcTL", frameControl(sequence++, all, ms, false));
            putChunk(frames, "IDAT", data);
        } else {
            TRect rect = changedRect(previous, screen, width, height);
            if (rect.isEmpty()) rect = {0, 0, 1, 1};  // a screen split for its length
            bool over = layout.indexed ? layout.transparentIndex >= 0 : true, useOver = false;
            for (int32_t y = rect.top; y < rect.bottom && over; ++y)
                for (int32_t x = rect.left; x < rect.right; ++x) {
                    const size_t at = size_t(y) * size_t(width) + size_t(x);
                    if (screen[at].a == 0 && previous[at].a != 0) {
                        over = false;
                        break;
                    }
                }
            // Each way of writing the rectangle, with and without row
            // filters: the smallest is kept.
            const std::vector<uint8_t> plain = pixelsOf(layout, screen, width, rect, nullptr);
            std::vector<uint8_t> masked;
            if (over) masked = pixelsOf(layout, screen, width, rect, &previous);
            bool first = true;
            for (const bool blend : {false, true}) {
                if (blend && !over) continue;
                for (const int f : {PNG_FILTER_NONE, PNG_ALL_FILTERS}) {
                    std::vector<uint8_t> candidate;
                    if (!compressImage(layout, f, rect.width(), rect.height(), blend ? masked : plain, candidate))
                        return !(failed = true);
                    if (first || candidate.size() < data.size()) {
                        data = std::move(candidate);
                        useOver = blend;
                        first = false;
                    }
                }
            }
            over = useOver;
            putChunk(frames, "fcTL", frameControl(sequence++, rect, ms, over));
            std::vector<uint8_t> fdat;
            put32(fdat, sequence++);
            fdat.insert(fdat.end(), data.begin(), data.end());
            putChunk(frames, "fdAT", fdat);
        }
        previous = screen;
        ++count;
        return true;
    });
    if (failed) {
        error = "libpng could not compress a frame";
        return false;
    }
    if (!walked || count == 0) return false;

    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    out.assign(signature, signature + 8);
    std::vector<uint8_t> header;
    put32(header, uint32_t(width));
    put32(header, uint32_t(height));
    header.insert(header.end(), {uint8_t(layout.bitDepth), uint8_t(layout.indexed ? 3 : 6), 0, 0, 0});
    putChunk(out, "IHDR", header);
    std::vector<uint8_t> animation;
    put32(animation, count);
    put32(animation, uint32_t(std::max(screens.plays, 0)));
    putChunk(out, "acTL", animation);
    if (layout.indexed) {
        std::vector<uint8_t> plte;
        for (const Rgba& c : layout.palette) plte.insert(plte.end(), {c.r, c.g, c.b});
        putChunk(out, "PLTE", plte);
        if (layout.transparentIndex == 0) putChunk(out, "tRNS", {0});
    }
    out.insert(out.end(), frames.begin(), frames.end());
    putChunk(out, "IEND", {});
    return true;
}

}  // namespace movigram
