#include "BenchData.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace movigram::bench {

uint64_t Animation::pixelCount() const {
    uint64_t n = 0;
    for (const Picture& p : pictures) n += uint64_t(p.width) * uint64_t(p.height);
    return n;
}

int32_t Animation::screenWidth() const {
    int32_t w = 1;
    for (const Picture& p : pictures) w = std::max(w, p.left + p.width);
    return w;
}

int32_t Animation::screenHeight() const {
    int32_t h = 1;
    for (const Picture& p : pictures) h = std::max(h, p.top + p.height);
    return h;
}

FrameChain toFrameChain(const Animation& animation) {
    FrameChain chain;
    const ColorTable colors = animation.global.toColorTable();
    for (const Picture& p : animation.pictures) {
        auto image = std::make_unique<TDib256>(p.width, p.height);
        image->colors() = colors;
        image->colorsUsed = animation.global.colorCount;
        for (int32_t y = 0; y < p.height; ++y)
            std::memcpy(image->row(y), p.pixels.data() + size_t(y) * size_t(p.width), size_t(p.width));
        auto frame = std::make_unique<TFrame>("bench", std::move(image));
        frame->moveTo({p.left, p.top});
        if (p.local) frame->localPalette = std::make_unique<TMyPalette>(*p.local);
        chain.push_back(std::move(frame));
    }
    linkChain(chain);
    return chain;
}

Picture pictureOf(const TFrame& frame) {
    const TDib256& image = *frame.image;
    Picture p;
    p.left = frame.rect.left;
    p.top = frame.rect.top;
    p.width = image.width();
    p.height = image.height();
    p.pixels.resize(size_t(p.width) * size_t(p.height));
    for (int32_t y = 0; y < p.height; ++y)
        std::memcpy(p.pixels.data() + size_t(y) * size_t(p.width), image.row(y), size_t(p.width));
    if (frame.localPalette) p.local = *frame.localPalette;
    return p;
}

namespace {

// A small deterministic generator, so that every run measures the same data.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [-amplitude, amplitude].
    int noise(int amplitude) { return int(next() % uint64_t(2 * amplitude + 1)) - amplitude; }
    double uniform() { return double(next() >> 11) * 0x1.0p-53; }

private:
    uint64_t state_;
};

// A 3-3-2 RGB palette: 8 levels of red and green, 4 of blue.
TMyPalette rgb332Palette() {
    std::vector<PaletteEntry> entries(256);
    for (int i = 0; i < 256; ++i) {
        entries[size_t(i)].red = uint8_t((i >> 5) * 255 / 7);
        entries[size_t(i)].green = uint8_t(((i >> 2) & 7) * 255 / 7);
        entries[size_t(i)].blue = uint8_t((i & 3) * 255 / 3);
    }
    return TMyPalette(entries);
}

uint8_t rgb332(int r, int g, int b) {
    r = std::clamp(r, 0, 255);
    g = std::clamp(g, 0, 255);
    b = std::clamp(b, 0, 255);
    return uint8_t((r >> 5) << 5 | (g >> 5) << 2 | (b >> 6));
}

struct Shape {
    double x, y, dx, dy, size;
    int r, g, b;
    bool round;
    bool grainy;  // a textured object: strong noise over its colour
};

}  // namespace

Animation generateAnimation(int frameCount, int32_t width, int32_t height, uint64_t seed) {
    Random random(seed);
    Animation animation;
    animation.global = rgb332Palette();

    std::vector<Shape> shapes;
    for (int i = 0; i < 7; ++i) {
        Shape s;
        s.x = random.uniform() * width;
        s.y = random.uniform() * height;
        s.dx = (random.uniform() - 0.5) * 16;
        s.dy = (random.uniform() - 0.5) * 12;
        s.size = 25 + random.uniform() * 50;
        s.r = int(random.next() % 256);
        s.g = int(random.next() % 256);
        s.b = int(random.next() % 256);
        s.round = i % 2 == 0;
        s.grainy = i == 3;
        shapes.push_back(s);
    }

    // The background terms are separable: a column part, a row part and a
    // diagonal part, recomputed per frame.
    const auto w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    std::vector<double> redX(w), redY(h), greenX(w), greenY(h), blueDiag(w + h);
    for (int t = 0; t < frameCount; ++t) {
        for (int32_t x = 0; x < width; ++x) {
            redX[size_t(x)] = 40 + 0.3 * x;
            greenX[size_t(x)] = 15 * std::cos((x - 2.0 * t) / 70.0);
        }
        for (int32_t y = 0; y < height; ++y) {
            redY[size_t(y)] = 20 * std::sin((y + 3.0 * t) / 50.0);
            greenY[size_t(y)] = 30 + 0.4 * y;
        }
        for (int32_t d = 0; d < width + height; ++d)
            blueDiag[size_t(d)] = 120 + 80 * std::sin(d / 200.0 + t / 20.0);

        Picture p;
        p.width = width;
        p.height = height;
        p.pixels.resize(size_t(width) * size_t(height));
        for (int32_t y = 0; y < height; ++y) {
            uint8_t* row = p.pixels.data() + size_t(y) * size_t(width);
            for (int32_t x = 0; x < width; ++x) {
                int r = int(redX[size_t(x)] + redY[size_t(y)]);
                int g = int(greenX[size_t(x)] + greenY[size_t(y)]);
                int b = int(blueDiag[size_t(x + y)]);
                for (const Shape& s : shapes) {
                    const double ex = x - s.x, ey = y - s.y;
                    const bool inside = s.round ? ex * ex + ey * ey < s.size * s.size
                                                : std::abs(ex) < s.size && std::abs(ey) < s.size * 0.6;
                    if (!inside) continue;
                    r = s.r;
                    g = s.g;
                    b = s.b;
                    if (s.grainy) {
                        r += random.noise(40);
                        g += random.noise(40);
                        b += random.noise(40);
                    }
                }
                // Light sensor noise everywhere: ragged edges between bands.
                const int n = random.noise(4);
                row[x] = rgb332(r + n, g + n, b + n);
            }
        }
        animation.pictures.push_back(std::move(p));

        for (Shape& s : shapes) {
            s.x += s.dx;
            s.y += s.dy;
            if (s.x < 0 || s.x > width) s.dx = -s.dx;
            if (s.y < 0 || s.y > height) s.dy = -s.dy;
        }
    }
    return animation;
}

Animation generatePhoto(int32_t width, int32_t height, uint64_t seed) {
    Random random(seed);
    Animation animation;
    animation.global = rgb332Palette();

    // A few soft light blobs over a sky-to-ground gradient, plus film grain.
    struct Blob {
        double x, y, radius, r, g, b;
    };
    std::vector<Blob> blobs;
    for (int i = 0; i < 12; ++i)
        blobs.push_back({random.uniform() * width, random.uniform() * height, 80 + random.uniform() * 300,
                         random.uniform() * 160 - 80, random.uniform() * 160 - 80, random.uniform() * 160 - 80});

    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.resize(size_t(width) * size_t(height));
    for (int32_t y = 0; y < height; ++y) {
        const double v = double(y) / height;
        for (int32_t x = 0; x < width; ++x) {
            double r = 90 + 100 * v + 25 * std::sin(x / 130.0);
            double g = 140 - 40 * v + 20 * std::sin((x + y) / 90.0);
            double b = 220 - 150 * v;
            for (const Blob& blob : blobs) {
                const double dx = (x - blob.x) / blob.radius, dy = (y - blob.y) / blob.radius;
                const double d2 = dx * dx + dy * dy;
                if (d2 > 4) continue;
                const double w = std::exp(-d2);
                r += w * blob.r;
                g += w * blob.g;
                b += w * blob.b;
            }
            p.pixels[size_t(y) * size_t(width) + size_t(x)] =
                rgb332(int(r) + random.noise(14), int(g) + random.noise(14), int(b) + random.noise(14));
        }
    }
    animation.pictures.push_back(std::move(p));
    return animation;
}

std::vector<std::string> gifFilesBelow(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return files;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        std::string ext = it->path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (ext == ".gif") files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace movigram::bench
