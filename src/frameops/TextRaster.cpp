#include "TextRaster.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>
#include <mutex>

#include "document/SharedLibrary.h"

#if defined(__SANITIZE_ADDRESS__)
// fontconfig loses a few hundred bytes while it parses the system's
// configuration (a program that only calls FcInit shows it); the sanitizer
// builds would report that at the exit of every run that drew a caption.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace movigram {

namespace {

#define FONTCONFIG_FUNCTIONS(X)                                                                                  \
    X(FcInit) X(FcPatternCreate) X(FcPatternAddString) X(FcConfigSubstitute)                 \
    X(FcDefaultSubstitute) X(FcFontMatch) X(FcPatternGetString) X(FcPatternGetInteger) X(FcPatternDestroy)
struct FontconfigLibrary {
    FONTCONFIG_FUNCTIONS(MOVIGRAM_LIBRARY_POINTER)
};

#define FREETYPE_FUNCTIONS(X)                                                                                    \
    X(FT_Init_FreeType) X(FT_Done_FreeType) X(FT_New_Face) X(FT_Done_Face) X(FT_Set_Pixel_Sizes)                \
    X(FT_Get_Char_Index) X(FT_Load_Glyph) X(FT_Get_Kerning)
struct FreetypeLibrary {
    FREETYPE_FUNCTIONS(MOVIGRAM_LIBRARY_POINTER)
};

const FontconfigLibrary* fontconfig() {
    return openLibraryOnce<FontconfigLibrary>(MOVIGRAM_FONTCONFIG_SONAME, [](void* handle, auto& lib) {
        bool complete = true;
        FONTCONFIG_FUNCTIONS(MOVIGRAM_LIBRARY_BIND)
        return complete;
    });
}

const FreetypeLibrary* freetype() {
    return openLibraryOnce<FreetypeLibrary>(MOVIGRAM_FREETYPE_SONAME, [](void* handle, auto& lib) {
        bool complete = true;
        FREETYPE_FUNCTIONS(MOVIGRAM_LIBRARY_BIND)
        return complete;
    });
}

struct FontFile {
    std::string path;
    int index = 0;
};

// The file fontconfig picks for the family, in the configuration the
// process shares: the editor's toolkit has loaded it already, and loading a
// second one repeats the work and leaves part of it unfreed.
FontFile findFont(const FontconfigLibrary& fc, const std::string& family) {
    static std::mutex lock;
    std::lock_guard<std::mutex> hold(lock);
    if (!fc.FcInit()) return {};
    FcPattern* pattern = fc.FcPatternCreate();
    if (!pattern) return {};
    fc.FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    fc.FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    fc.FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = fc.FcFontMatch(nullptr, pattern, &result);
    fc.FcPatternDestroy(pattern);
    FontFile font;
    if (!match) return font;
    FcChar8* file = nullptr;
    if (fc.FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
        font.path = reinterpret_cast<const char*>(file);
    if (fc.FcPatternGetInteger(match, FC_INDEX, 0, &font.index) != FcResultMatch) font.index = 0;
    fc.FcPatternDestroy(match);
    return font;
}

// The code points of UTF-8 text; a broken sequence reads as U+FFFD.
std::vector<char32_t> decodeUtf8(const std::string& s) {
    std::vector<char32_t> out;
    for (size_t i = 0; i < s.size();) {
        const auto b = uint8_t(s[i]);
        const int length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        char32_t c = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
        bool ok = length > 0 && i + size_t(length) <= s.size();
        for (int k = 1; ok && k < length; ++k) {
            const auto next = uint8_t(s[i + size_t(k)]);
            ok = (next >> 6) == 2;
            c = c << 6 | (next & 0x3F);
        }
        out.push_back(ok ? c : U'\uFFFD');
        i += ok ? size_t(length) : 1;
    }
    return out;
}

// A rendered glyph at its place in the text, relative to the first line's
// top-left corner.
struct PlacedGlyph {
    int32_t left, top, width, height;
    std::vector<uint8_t> coverage;
};

// out[x] = the largest of in[x - reach .. x + reach] (within the row),
// with a queue of the positions that can still be a window's largest.
void windowMax(const uint8_t* in, int32_t w, int32_t reach, uint8_t* out, std::vector<int32_t>& queue) {
    queue.assign(size_t(w) + 1, 0);
    size_t head = 0, tail = 0;
    int32_t next = 0;
    for (int32_t x = 0; x < w; ++x) {
        for (; next < w && next <= x + reach; ++next) {
            while (tail > head && in[queue[tail - 1]] <= in[next]) --tail;
            queue[tail++] = next;
        }
        while (queue[head] < x - reach) ++head;
        out[x] = std::max(out[x], in[queue[head]]);
    }
}

// The text grown by radius: each pixel takes the largest coverage within
// that distance (a disc: each row of it a window along the rows).
std::vector<uint8_t> grown(const std::vector<uint8_t>& text, int32_t w, int32_t h, int radius) {
    std::vector<uint8_t> out(text.size(), 0);
    std::vector<int32_t> queue;
    for (int dy = -radius; dy <= radius; ++dy) {
        int32_t reach = 0;
        while ((reach + 1) * (reach + 1) + dy * dy <= radius * radius + radius) ++reach;
        for (int32_t y = std::max(0, -dy); y < h && y + dy < h; ++y)
            windowMax(&text[size_t(y + dy) * size_t(w)], w, reach, &out[size_t(y) * size_t(w)], queue);
    }
    return out;
}

constexpr int64_t largestMask = int64_t(1) << 24;  // pixels

}  // namespace

TextRasterResult rasterizeText(const std::string& utf8, const std::string& family, int pixelSize, int outlineWidth) {
    TextRasterResult result;
    const FontconfigLibrary* fc = fontconfig();
    const FreetypeLibrary* ft = freetype();
    if (!fc || !ft) {
        result.error = "the font libraries (FreeType, fontconfig) cannot be opened";
        return result;
    }
    const FontFile font = findFont(*fc, family);
    if (font.path.empty()) {
        result.error = "no font found for \"" + family + "\"";
        return result;
    }
    FT_Library library = nullptr;
    if (ft->FT_Init_FreeType(&library) != 0) {
        result.error = "FreeType cannot start";
        return result;
    }
    FT_Face face = nullptr;
    if (ft->FT_New_Face(library, font.path.c_str(), font.index, &face) != 0 ||
        ft->FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize)) != 0) {
        if (face) ft->FT_Done_Face(face);
        ft->FT_Done_FreeType(library);
        result.error = "cannot read the font " + font.path;
        return result;
    }

    const int32_t ascender = int32_t(face->size->metrics.ascender >> 6);
    const int32_t lineHeight = std::max<int32_t>(int32_t(face->size->metrics.height >> 6), 1);
    std::vector<PlacedGlyph> glyphs;
    int32_t lines = 1, right = 0, left = 0, bottom = 0, top = 0;
    int64_t penX = 0;  // 26.6
    FT_UInt previous = 0;
    for (char32_t c : decodeUtf8(utf8)) {
        if (c == U'\n') {
            ++lines, penX = 0, previous = 0;
            continue;
        }
        const FT_UInt index = ft->FT_Get_Char_Index(face, FT_ULong(c));
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector kern{};
            if (ft->FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kern) == 0) penX += kern.x;
        }
        previous = index;
        if (ft->FT_Load_Glyph(face, index, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int32_t baseline = (lines - 1) * lineHeight + ascender;
        PlacedGlyph g{int32_t(penX >> 6) + slot->bitmap_left, baseline - slot->bitmap_top, int32_t(bitmap.width),
                      int32_t(bitmap.rows), {}};
        penX += slot->advance.x;
        right = std::max(right, int32_t(penX >> 6));
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || g.width <= 0 || g.height <= 0) continue;
        g.coverage.resize(size_t(g.width) * size_t(g.height));
        for (int32_t y = 0; y < g.height; ++y) {
            const unsigned char* row = bitmap.buffer + int64_t(y) * bitmap.pitch;
            std::copy(row, row + g.width, g.coverage.begin() + int64_t(y) * g.width);
        }
        left = std::min(left, g.left), top = std::min(top, g.top);
        right = std::max(right, g.left + g.width), bottom = std::max(bottom, g.top + g.height);
        glyphs.push_back(std::move(g));
        // The glyphs kept stay within what the mask may hold.
        if ((int64_t(right) - left) * (int64_t(std::max(bottom, lines * lineHeight)) - top) > largestMask) {
            ft->FT_Done_Face(face);
            ft->FT_Done_FreeType(library);
            result.error = "the text would be too large";
            return result;
        }
    }
    ft->FT_Done_Face(face);
    ft->FT_Done_FreeType(library);

    bottom = std::max(bottom, lines * lineHeight);
    const int64_t w = int64_t(right) - left + 2 * int64_t(outlineWidth);
    const int64_t h = int64_t(bottom) - top + 2 * int64_t(outlineWidth);
    if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX || w * h > largestMask) {
        result.error = w <= 0 || h <= 0 ? "the text draws nothing" : "the text would be too large";
        return result;
    }
    TextMask& mask = result.mask;
    mask.width = int32_t(w), mask.height = int32_t(h);
    mask.text.assign(size_t(w * h), 0);
    const int32_t dx = outlineWidth - left, dy = outlineWidth - top;
    for (const PlacedGlyph& g : glyphs)
        for (int32_t y = 0; y < g.height; ++y)
            for (int32_t x = 0; x < g.width; ++x) {
                uint8_t& m = mask.text[size_t(g.top + dy + y) * size_t(w) + size_t(g.left + dx + x)];
                m = uint8_t(std::min(255, m + g.coverage[size_t(y) * size_t(g.width) + size_t(x)]));
            }
    mask.outline = outlineWidth > 0 ? grown(mask.text, mask.width, mask.height, outlineWidth)
                                     : std::vector<uint8_t>(mask.text.size(), 0);
    return result;
}

}  // namespace movigram
