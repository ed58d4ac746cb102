#include "GeneratedGifs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>

#include "gif/ByteSink.h"
#include "gif/LzwEncoder.h"

namespace movigram::bench {

namespace {

// A GIF as an exporting program writes it, with every field at hand
// (interlacing included, which the program's own writer never does).
struct Image {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> pixels;  // top row first
    std::vector<uint32_t> local;  // 0xRRGGBB; empty: the global table
    int transparent = -1;
    int disposal = 1;
    int delayCs = 10;
    bool interlaced = false;
};

struct Gif {
    int width = 0, height = 0;
    std::vector<uint32_t> global;
    std::vector<Image> images;
};

int tableBits(size_t n) {
    int bits = 1;
    while ((size_t(1) << bits) < n) ++bits;
    return bits;
}

void putTable(ByteSink& out, const std::vector<uint32_t>& table, int bits) {
    for (size_t i = 0; i < (size_t(1) << bits); ++i) {
        const uint32_t c = i < table.size() ? table[i] : 0;
        out.put(uint8_t(c >> 16));
        out.put(uint8_t(c >> 8));
        out.put(uint8_t(c));
    }
}

void writeGif(const std::string& path, const Gif& gif) {
    ByteSink out;
    LzwEncoder encoder;
    out.write(reinterpret_cast<const uint8_t*>("GIF89a"), 6);
    out.putLe16(uint32_t(gif.width));
    out.putLe16(uint32_t(gif.height));
    const int globalBits = tableBits(gif.global.size());
    out.put(uint8_t(0xF0 | (globalBits - 1)));
    out.put(0);
    out.put(0);
    putTable(out, gif.global, globalBits);
    static const uint8_t loop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01, 0, 0, 0};
    out.write(loop, sizeof loop);
    for (const Image& image : gif.images) {
        const uint8_t control[] = {0x21, 0xF9, 0x04,
                                   uint8_t(image.disposal << 2 | (image.transparent >= 0 ? 1 : 0)),
                                   uint8_t(image.delayCs), uint8_t(image.delayCs >> 8),
                                   uint8_t(std::max(image.transparent, 0)), 0};
        out.write(control, sizeof control);
        out.put(0x2C);
        out.putLe16(uint32_t(image.left));
        out.putLe16(uint32_t(image.top));
        out.putLe16(uint32_t(image.width));
        out.putLe16(uint32_t(image.height));
        int bits = globalBits;
        uint8_t packed = image.interlaced ? 0x40 : 0;
        if (!image.local.empty()) {
            bits = tableBits(image.local.size());
            packed |= uint8_t(0x80 | (bits - 1));
        }
        out.put(packed);
        if (!image.local.empty()) putTable(out, image.local, bits);
        std::vector<uint8_t> rows;
        if (image.interlaced) {
            for (int pass = 0; pass < 4; ++pass) {
                static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
                for (int y = start[pass]; y < image.height; y += step[pass])
                    rows.insert(rows.end(), image.pixels.begin() + y * image.width,
                                image.pixels.begin() + (y + 1) * image.width);
            }
        } else {
            rows = image.pixels;
        }
        encoder.encode(rows.data(), image.width, uint32_t(image.width), uint32_t(image.height), std::max(bits, 2),
                       out);
    }
    out.put(0x3B);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(out.bytes().data()), std::streamsize(out.bytes().size()));
}

// A small deterministic noise source, the same on every platform.
struct Noise {
    uint32_t state;
    uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    double unit() { return double(next() & 0xFFFF) / 65535.0; }
};

uint32_t rgb(double r, double g, double b) {
    auto c = [](double v) { return uint32_t(std::clamp(v, 0.0, 255.0)); };
    return c(r) << 16 | c(g) << 8 | c(b);
}

Image fullImage(int w, int h, int delayCs) {
    Image image;
    image.width = w;
    image.height = h;
    image.pixels.assign(size_t(w) * h, 0);
    image.delayCs = delayCs;
    return image;
}

// A desktop with a moving pointer, typing and blinking text.
Gif screenRecording() {
    Gif gif{640, 480, {}, {}};
    for (int i = 0; i < 64; ++i) gif.global.push_back(rgb(i * 4, 200 - i * 3, 120 + i));
    std::vector<uint8_t> screen(640 * 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) screen[size_t(y) * 640 + x] = uint8_t((y / 24 + x / 160) % 8);
    for (int f = 0; f < 60; ++f) {
        for (int k = 0; k < 6; ++k) screen[size_t(100 + (f % 30) * 2) * 640 + 40 + f * 7 % 560 + k] = uint8_t(20 + f % 40);
        Image image = fullImage(640, 480, 10);
        image.pixels = screen;
        const int px = (f * 13) % 624, py = (f * 7) % 464;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x <= y / 2; ++x) image.pixels[size_t(py + y) * 640 + px + x] = 63;
        gif.images.push_back(std::move(image));
    }
    return gif;
}

// Shaded balls moving over a textured background, every frame whole.
Gif spritesOverTexture() {
    Gif gif{320, 240, {}, {}};
    for (int i = 0; i < 128; ++i) gif.global.push_back(rgb(i * 2, 255 - i * 2, (i * 37) & 255));
    for (int f = 0; f < 60; ++f) {
        Image image = fullImage(320, 240, 5);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) image.pixels[size_t(y) * 320 + x] = uint8_t(((x ^ y) >> 3) % 64);
        for (int s = 0; s < 3; ++s) {
            const int sx = (f * (4 + s * 3) + s * 70) % 296, sy = (f * (2 + s) + s * 40) % 216;
            for (int y = 0; y < 24; ++y)
                for (int x = 0; x < 24; ++x)
                    if ((x - 12) * (x - 12) + (y - 12) * (y - 12) < 120)
                        image.pixels[size_t(sy + y) * 320 + sx + x] = uint8_t(64 + s * 20 + (x + y) % 16);
        }
        gif.images.push_back(std::move(image));
    }
    return gif;
}

// Shaded balls on a transparent page: each frame whole, restored to the
// background, as editors export animations with transparency.
Gif transparentSprites() {
    Gif gif{240, 180, {}, {}};
    gif.global.push_back(0);
    for (int s = 0; s < 4; ++s)
        for (int k = 0; k < 15; ++k) gif.global.push_back(rgb(60 + s * 45 + k * 6, 40 + k * 12, 200 - s * 40));
    for (int f = 0; f < 48; ++f) {
        Image image = fullImage(240, 180, 4);
        image.transparent = 0;
        image.disposal = 2;
        for (int s = 0; s < 4; ++s) {
            const double a = f * 0.13 + s * 1.6;
            const int cx = 120 + int(80 * std::cos(a)), cy = 90 + int(60 * std::sin(a * 1.3));
            for (int y = -14; y <= 14; ++y)
                for (int x = -14; x <= 14; ++x) {
                    const int d = x * x + y * y;
                    if (d > 196) continue;
                    const int shade = std::clamp(14 - ((x + 5) * (x + 5) + (y + 5) * (y + 5)) / 40, 0, 14);
                    image.pixels[size_t(cy + y) * 240 + cx + x] = uint8_t(1 + s * 15 + shade);
                }
        }
        gif.images.push_back(std::move(image));
    }
    return gif;
}

// A landscape clip with a panning camera, Floyd-Steinberg dithered onto a
// colour cube.
Gif ditheredVideo() {
    const int w = 320, h = 240;
    Gif gif{w, h, {}, {}};
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 7; ++g)
            for (int b = 0; b < 6; ++b) gif.global.push_back(rgb(r * 51, g * 42.5, b * 51));
    for (int k = 0; k < 4; ++k) gif.global.push_back(rgb(64 + k * 40, 64 + k * 40, 64 + k * 40));
    for (int f = 0; f < 40; ++f) {
        std::vector<double> px(size_t(w) * h * 3);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double r = 90 + y * 0.4, g = 140 + y * 0.3, b = 230 - y * 0.2;
                const double sx = x - 60 - f * 2.0, sy = y - 50;
                if (sx * sx + sy * sy < 400) r = 250, g = 220, b = 120;
                const double hill = 150 + 20 * std::sin((x + 3.0 * f) / 30.0) + 8 * std::sin((x + 3.0 * f) / 7.0);
                if (y > hill) r = 40 + (y - hill) * 0.5, g = 120 + 30 * std::sin((x + 3.0 * f) / 11.0), b = 50;
                double* p = &px[(size_t(y) * w + x) * 3];
                p[0] = r, p[1] = g, p[2] = b;
            }
        Image image = fullImage(w, h, 5);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double* p = &px[(size_t(y) * w + x) * 3];
                const int r = std::clamp(int(std::lround(p[0] / 51)), 0, 5);
                const int g = std::clamp(int(std::lround(p[1] / 42.5)), 0, 6);
                const int b = std::clamp(int(std::lround(p[2] / 51)), 0, 5);
                image.pixels[size_t(y) * w + x] = uint8_t((r * 7 + g) * 6 + b);
                const double e[3] = {p[0] - r * 51, p[1] - g * 42.5, p[2] - b * 51};
                auto spread = [&](int dx, int dy, double share) {
                    if (x + dx < 0 || x + dx >= w || y + dy >= h) return;
                    double* q = &px[(size_t(y + dy) * w + x + dx) * 3];
                    for (int c = 0; c < 3; ++c) q[c] += e[c] * share;
                };
                spread(1, 0, 7 / 16.0);
                spread(-1, 1, 3 / 16.0);
                spread(0, 1, 5 / 16.0);
                spread(1, 1, 1 / 16.0);
            }
        gif.images.push_back(std::move(image));
    }
    return gif;
}

// A render whose every frame uses all 256 colours: a still frame around a
// moving plasma.
Gif fullPaletteRender() {
    const int w = 256, h = 192;
    Gif gif{w, h, {}, {}};
    for (int i = 0; i < 256; ++i)
        gif.global.push_back(rgb(128 + 127 * std::sin(i * 0.0245), 128 + 127 * std::sin(i * 0.0245 + 2.1),
                                 i));
    for (int f = 0; f < 30; ++f) {
        Image image = fullImage(w, h, 6);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double v;
                if (x >= 64 && x < 192 && y >= 48 && y < 144)
                    v = 128 + 40 * std::sin(x / 9.0 + f * 0.3) + 40 * std::sin(y / 7.0 - f * 0.2) +
                        40 * std::sin((x + y) / 13.0 + f * 0.1);
                else
                    v = (x + y * 3) % 256;
                image.pixels[size_t(y) * w + x] = uint8_t(std::clamp(int(v), 0, 255));
            }
        gif.images.push_back(std::move(image));
    }
    return gif;
}

// A picture, then interlaced insets: a counter and a moving marker.
Gif interlacedInsets() {
    const int w = 320, h = 240;
    Gif gif{w, h, {}, {}};
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) gif.global.push_back(rgb(r * 51, g * 51, b * 51));
    Noise noise{7};
    Image base = fullImage(w, h, 20);
    base.interlaced = true;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int r = std::clamp(int(x / 64 + noise.unit() * 1.2), 0, 5), g = std::clamp(int(y / 48 + noise.unit()), 0, 5);
            base.pixels[size_t(y) * w + x] = uint8_t((r * 6 + g) * 6 + (x + y) / 100);
        }
    gif.images.push_back(base);
    static const char* digits[10] = {"111101101101111", "010110010010111", "111001111100111", "111001111001111",
                                     "101101111001001", "111100111001111", "111100111101111", "111001001001001",
                                     "111101111101111", "111101111001111"};
    for (int f = 0; f < 30; ++f) {
        Image inset = fullImage(72, 40, 0);
        inset.left = 230, inset.top = 12;
        inset.interlaced = true;
        const int value = f * 7 + 100;
        for (int d = 0; d < 3; ++d) {
            const char* glyph = digits[(value / (d == 0 ? 100 : d == 1 ? 10 : 1)) % 10];
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 24; ++x) {
                    const bool on = x >= 3 && x < 21 && y >= 5 && y < 35 && glyph[((y - 5) / 6) * 3 + (x - 3) / 6] == '1';
                    inset.pixels[size_t(y) * 72 + d * 24 + x] = on ? 215 : uint8_t(43 + (y / 8));
                }
        }
        gif.images.push_back(std::move(inset));
        Image marker = fullImage(20, 20, 10);
        marker.left = 20 + f * 9, marker.top = 150 + int(20 * std::sin(f * 0.4));
        marker.interlaced = true;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                marker.pixels[size_t(y) * 20 + x] =
                    (x - 10) * (x - 10) + (y - 10) * (y - 10) < 64 ? uint8_t(180 + x / 4) : base.pixels[size_t(marker.top + y) * w + marker.left + x];
        gif.images.push_back(std::move(marker));
    }
    return gif;
}

// A clip quantised frame by frame: every frame whole with its own table.
Gif localPalettes() {
    const int w = 200, h = 150;
    Gif gif{w, h, {}, {}};
    gif.global = {0, 0xFFFFFF};
    for (int f = 0; f < 30; ++f) {
        Image image = fullImage(w, h, 8);
        const int shift = (f / 6) * 9;
        for (int r = 0; r < 4; ++r)
            for (int g = 0; g < 8; ++g)
                for (int b = 0; b < 4; ++b) image.local.push_back(rgb(r * 64 + shift, g * 32 + shift / 2, b * 64 + 20));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double r = x * 1.2, g = y * 1.6, b = 120 + 60 * std::sin((x + y) / 25.0);
                const double dx = x - 40 - f * 4, dy = y - 75 - 30 * std::sin(f * 0.3);
                if (dx * dx / 400 + dy * dy / 150 < 1) r = 230, g = 60 + dx * 2, b = 40;
                const int ri = std::clamp(int((r - shift) / 64 + 0.5), 0, 3), gi = std::clamp(int((g - shift / 2) / 32 + 0.5), 0, 7),
                          bi = std::clamp(int((b - 20) / 64 + 0.5), 0, 3);
                image.pixels[size_t(y) * w + x] = uint8_t((ri * 8 + gi) * 4 + bi);
            }
        gif.images.push_back(std::move(image));
    }
    return gif;
}

// A 16 x 16 icon that blinks.
Gif tinyIcon() {
    Gif gif{16, 16, {0x000000, 0xFFFFFF, 0xFF0000, 0x3060C0}, {}};
    for (int f = 0; f < 8; ++f) {
        Image image = fullImage(16, 16, 20);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const bool border = x == 0 || y == 0 || x == 15 || y == 15;
                const bool dot = (x - 8) * (x - 8) + (y - 8) * (y - 8) < 10 + f % 4 * 4;
                image.pixels[size_t(y) * 16 + x] = border ? 3 : dot ? (f % 2 ? 2 : 1) : 0;
            }
        gif.images.push_back(std::move(image));
    }
    return gif;
}

// A 24 x 24 spinner on a transparent page.
Gif tinySpinner() {
    Gif gif{24, 24, {0xFFFFFF, 0x202020, 0x808080, 0xC0C0C0}, {}};
    for (int f = 0; f < 12; ++f) {
        Image image = fullImage(24, 24, 8);
        image.transparent = 0;
        image.disposal = 2;
        for (int k = 0; k < 12; ++k) {
            const double a = k * 3.14159265 / 6;
            const int x = 12 + int(8 * std::cos(a)), y = 12 + int(8 * std::sin(a));
            const int age = (k - f + 12) % 12;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) image.pixels[size_t(y + dy) * 24 + x + dx] = uint8_t(age < 3 ? 1 : age < 6 ? 2 : age < 9 ? 3 : 0);
        }
        gif.images.push_back(std::move(image));
    }
    return gif;
}

}  // namespace

std::vector<GeneratedGif> writeGeneratedGifs(const std::string& folder) {
    const std::pair<const char*, std::function<Gif()>> kinds[] = {
        {"screen recording 640x480x60", screenRecording},
        {"sprites over texture 320x240x60", spritesOverTexture},
        {"transparent sprites, restored 240x180x48", transparentSprites},
        {"dithered video 320x240x40", ditheredVideo},
        {"all 256 colours render 256x192x30", fullPaletteRender},
        {"interlaced insets 320x240x61", interlacedInsets},
        {"local palettes 200x150x30", localPalettes},
        {"tiny icon 16x16x8", tinyIcon},
        {"tiny transparent spinner 24x24x12", tinySpinner},
    };
    std::vector<GeneratedGif> written;
    int k = 0;
    for (const auto& [name, make] : kinds) {
        const std::string path = folder + "/generated-" + std::to_string(k++) + ".gif";
        writeGif(path, make());
        written.push_back({std::string("generated ") + name, path});
    }
    return written;
}

}  // namespace movigram::bench

namespace movigram::bench {

std::vector<GeneratedGif> benchFiles(const std::vector<std::string>& folders, const std::string& folder,
                                     const std::string& corpus) {
    namespace fs = std::filesystem;
    std::vector<GeneratedGif> files;
    auto addGifs = [&](const fs::path& from) {
        if (!fs::exists(from)) return;
        for (const auto& e : fs::directory_iterator(from))
            if (e.path().extension() == ".gif") files.push_back({e.path().filename().string(), e.path().string()});
    };
    for (const std::string& f : folders) addGifs(f);
    if (folders.empty()) {
        fs::create_directories(folder);
        files = writeGeneratedGifs(folder);
        addGifs(fs::path(corpus) / "real-world");
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return files;
}

}  // namespace movigram::bench
