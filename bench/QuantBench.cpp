// movigram-bench-quant: colour quality of the quantisers beside pngquant and
// ImageMagick, in one run (`make bench`, or build/bench/movigram-bench-quant).
//
//   stills      true-colour pictures (photos from the corpus, and a photo,
//               a render, gradients and a test pattern drawn here) to 256
//               colours without dithering: median cut, high quality,
//               `pngquant --nofs`, `convert +dither -colors 256`
//   dithered    the same pictures with dithering: PSNR and the size of the
//               picture as a GIF, every result written by our GIF writer so
//               that sizes compare the pixels and not the encoders;
//               pngquant (its default dithering) and ImageMagick's
//               Floyd-Steinberg
//   animations  GIF animations of up to 256 colours a frame to 16 colours
//               with one palette for all frames (Open, Reduce color depth,
//               Save as) against `convert in.gif +dither -colors 16 +map`
//
// PSNR is against the source's colours (every pixel of every frame as shown
// on the screen, pooled).  Times are wall-clock seconds, the best of three
// runs: ours of the work in this process, the peers' of their whole run
// (starting the process, reading and writing their files included).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "PeerTools.h"
#include "colour/ColorReduction.h"
#include "colour/DeepQuantize.h"
#include "colour/QuantizeOptionText.h"
#include "commands/FileCommands.h"
#include "document/FileIo.h"
#include "document/FrameList.h"
#include "document/GifReader.h"
#include "save/GifWriter.h"
#include "import/JpegReader.h"

using namespace movigram;
namespace fs = std::filesystem;

namespace {

using bench::have;
using bench::imageMagick;
using bench::run;
using bench::seconds;

constexpr int timedRuns = 3;

struct Picture {
    int w = 0, h = 0;
    std::vector<Rgb8> px;  // top row first
    Rgb8& at(int x, int y) { return px[size_t(y) * size_t(w) + size_t(x)]; }
};

// Squared errors pooled over any number of pictures.
struct Error {
    double sum = 0;
    uint64_t values = 0;
    void add(const Picture& a, const Picture& b) {
        if (a.px.size() != b.px.size()) {
            values = 0, sum = -1;
            return;
        }
        for (size_t i = 0; i < a.px.size(); ++i) {
            const double dr = a.px[i].red - b.px[i].red, dg = a.px[i].green - b.px[i].green,
                         db = a.px[i].blue - b.px[i].blue;
            sum += dr * dr + dg * dg + db * db;
        }
        values += 3 * a.px.size();
    }
    double psnr() const {
        if (values == 0 || sum < 0) return 0;
        return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * double(values) / sum);
    }
};

double psnr(const Picture& a, const Picture& b) {
    Error e;
    e.add(a, b);
    return e.psnr();
}

// ---- pictures -------------------------------------------------------------

Picture blank(int w, int h) { return {w, h, std::vector<Rgb8>(size_t(w) * size_t(h))}; }

uint8_t clamp8(double v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); }

// A photo-like picture: smooth light, a few shapes, sensor noise.
Picture photo(int w, int h, uint32_t seed, int shift = 0) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, 6);
    Picture p = blank(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = double((x + shift) % (2 * w)) / w, v = double(y) / h;
            double r = 80 + 150 * u * (1 - v) + 40 * std::sin(v * 9 + seed);
            double g = 60 + 120 * v + 50 * std::cos(u * 7);
            double b = 140 + 100 * std::sin((u + v) * 4 + seed * 0.3);
            const double dx = u - 0.6, dy = v - 0.4;
            if (dx * dx + dy * dy < 0.03) r = 230 - 60 * v, g = 180 * u, b = 40;
            p.at(x, y) = {clamp8(r + noise(rng)), clamp8(g + noise(rng)), clamp8(b + noise(rng))};
        }
    return p;
}

// Shaded spheres over a floor under a sky: smooth gradients, highlights and
// soft shadows, as a 3D render gives them.  phase moves the spheres.
Picture render(int w, int h, double phase = 0) {
    struct Sphere {
        double x, y, z, r, cr, cg, cb;
    };
    const Sphere spheres[] = {{-1.2 + std::sin(phase) * 0.8, 0.0, 5.0, 1.0, 0.9, 0.2, 0.15},
                              {1.1, -0.3 + std::cos(phase) * 0.3, 4.2, 0.7, 0.2, 0.5, 0.95},
                              {0.2 + std::cos(phase * 1.3), 0.45, 3.2, 0.55, 0.95, 0.85, 0.3}};
    const double lx = -0.5, ly = -0.8, lz = -0.4, ll = std::sqrt(lx * lx + ly * ly + lz * lz);
    Picture p = blank(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = (x - w / 2.0) / h, dy = (y - h / 2.0) / h, dz = 1.0;
            const double dl = std::sqrt(dx * dx + dy * dy + dz * dz);
            const double rx = dx / dl, ry = dy / dl, rz = dz / dl;
            double best = 1e9, cr = 0, cg = 0, cb = 0;
            // Sky, then the floor at y = 1.
            cr = 0.35 + 0.4 * (1 - ry), cg = 0.55 + 0.3 * (1 - ry), cb = 0.95;
            if (ry > 0) {
                const double t = 1.0 / ry;
                const double fx = rx * t, fz = rz * t;
                const double checker = (int(std::floor(fx)) + int(std::floor(fz))) & 1 ? 0.75 : 0.45;
                double shade = 1.0;
                for (const Sphere& s : spheres) {
                    const double sx = fx - s.x, sz = fz - s.z;
                    shade *= std::clamp(std::sqrt(sx * sx + sz * sz) / (s.r * 1.6), 0.35, 1.0);
                }
                const double fog = std::exp(-t * 0.06);
                cr = (checker * 0.9 * shade) * fog + 0.8 * (1 - fog);
                cg = (checker * 0.85 * shade) * fog + 0.85 * (1 - fog);
                cb = (checker * 0.7 * shade) * fog + 0.95 * (1 - fog);
                best = t;
            }
            for (const Sphere& s : spheres) {
                const double ox = -s.x, oy = -s.y, oz = -s.z;
                const double b = ox * rx + oy * ry + oz * rz, c = ox * ox + oy * oy + oz * oz - s.r * s.r;
                const double disc = b * b - c;
                if (disc < 0) continue;
                const double t = -b - std::sqrt(disc);
                if (t <= 0 || t >= best) continue;
                best = t;
                const double nx = (rx * t - s.x) / s.r, ny = (ry * t - s.y) / s.r, nz = (rz * t - s.z) / s.r;
                const double diffuse = std::max(0.0, -(nx * lx + ny * ly + nz * lz) / ll);
                const double hx = -lx / ll - rx, hy = -ly / ll - ry, hz = -lz / ll - rz;
                const double hl = std::sqrt(hx * hx + hy * hy + hz * hz);
                const double specular = std::pow(std::max(0.0, (nx * hx + ny * hy + nz * hz) / hl), 40);
                const double ambient = 0.15 + 0.1 * (1 - ny) / 2;
                cr = s.cr * (ambient + 0.8 * diffuse) + specular;
                cg = s.cg * (ambient + 0.8 * diffuse) + specular;
                cb = s.cb * (ambient + 0.8 * diffuse) + specular;
            }
            p.at(x, y) = {clamp8(cr * 255), clamp8(cg * 255), clamp8(cb * 255)};
        }
    return p;
}

// Every hue across, dark to light down, and a smooth two-colour sky below.
Picture gradients(int w, int h, double phase = 0) {
    Picture p = blank(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = double(x) / (w - 1), v = double(y) / (h - 1);
            if (v < 0.6) {
                const double hue = std::fmod(u * 6 + phase, 6.0), light = v / 0.6;
                const double f = hue - std::floor(hue);
                double r, g, b;
                switch (int(hue)) {
                case 0: r = 1, g = f, b = 0; break;
                case 1: r = 1 - f, g = 1, b = 0; break;
                case 2: r = 0, g = 1, b = f; break;
                case 3: r = 0, g = 1 - f, b = 1; break;
                case 4: r = f, g = 0, b = 1; break;
                default: r = 1, g = 0, b = 1 - f; break;
                }
                const double k = light < 0.5 ? light * 2 : 1, white = light < 0.5 ? 0 : (light - 0.5) * 2;
                p.at(x, y) = {clamp8((r * k * (1 - white) + white) * 255), clamp8((g * k * (1 - white) + white) * 255),
                              clamp8((b * k * (1 - white) + white) * 255)};
            } else {
                const double t = (v - 0.6) / 0.4;
                p.at(x, y) = {clamp8(20 + 230 * u * t), clamp8(40 + 120 * t), clamp8(120 + 100 * (1 - u))};
            }
        }
    return p;
}

// Colour bars, gray and colour ramps, a zone plate, fine lines and small
// swatches of saturated colour.
Picture testPattern(int w, int h) {
    Picture p = blank(w, h);
    const Rgb8 bars[] = {{192, 192, 192}, {192, 192, 0}, {0, 192, 192}, {0, 192, 0},
                         {192, 0, 192},   {192, 0, 0},   {0, 0, 192}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = double(x) / w, v = double(y) / h;
            Rgb8 c;
            if (v < 0.35) {
                c = bars[std::min(6, int(u * 7))];
            } else if (v < 0.45) {
                c = {clamp8(u * 255), clamp8(u * 255), clamp8(u * 255)};
            } else if (v < 0.5) {
                c = {clamp8(u * 255), 0, 0};
            } else if (v < 0.55) {
                c = {0, clamp8(u * 255), 0};
            } else if (v < 0.6) {
                c = {0, 0, clamp8(u * 255)};
            } else if (u < 0.5) {
                const double zx = (u - 0.25) * w, zy = (v - 0.8) * h;
                const double z = 0.5 + 0.5 * std::cos((zx * zx + zy * zy) * 0.004);
                c = {clamp8(z * 255), clamp8(z * 230), clamp8(z * 200)};
            } else if (u < 0.75) {
                c = (x / 2 + y / 3) % 2 ? Rgb8{250, 250, 250} : Rgb8{10, 10, 30};
            } else {
                const int cell = (x / 12) * 7 + (y / 12);
                c = {uint8_t(cell * 97 % 256), uint8_t(cell * 57 % 256), uint8_t(cell * 23 % 256)};
            }
            p.at(x, y) = c;
        }
    return p;
}

TrueColorImage toTrueColor(const Picture& p) {
    TrueColorImage image = *TrueColorImage::create(p.w, p.h, 24, DecodeLimits::defaults());
    for (int y = 0; y < p.h; ++y) {
        uint8_t* row = image.row(y);
        for (int x = 0; x < p.w; ++x) {
            const Rgb8& c = p.px[size_t(y) * size_t(p.w) + size_t(x)];
            row[3 * x] = c.blue, row[3 * x + 1] = c.green, row[3 * x + 2] = c.red;
        }
    }
    return image;
}

Picture fromTrueColor(const TrueColorImage& image) {
    Picture p = blank(image.width(), image.height());
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) p.at(x, y) = image.rgbAt(x, y);
    return p;
}

Picture shown(const TDib256& image, const TMyPalette* palette = nullptr) {
    Picture p = blank(image.width(), image.height());
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const uint8_t v = image.pixel(x, y);
            if (palette) {
                const PaletteEntry& e = palette->entry(v);
                p.at(x, y) = {e.red, e.green, e.blue};
            } else {
                const RgbQuad& q = image.colors()[v];
                p.at(x, y) = {q.red, q.green, q.blue};
            }
        }
    return p;
}

// ---- files ----------------------------------------------------------------

void writePpm(const std::string& path, const Picture& p) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << p.w << " " << p.h << "\n255\n";
    out.write(reinterpret_cast<const char*>(p.px.data()), std::streamsize(p.px.size() * 3));
}

Picture readPpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    Picture p;
    int maxValue = 0;
    in >> magic >> p.w >> p.h >> maxValue;
    in.get();
    if (magic != "P6" || maxValue != 255 || p.w <= 0 || p.h <= 0) return {};
    p.px.resize(size_t(p.w) * size_t(p.h));
    in.read(reinterpret_cast<char*>(p.px.data()), std::streamsize(p.px.size() * 3));
    return in ? p : Picture{};
}

// Bytes of the picture as a one-frame GIF by our writer; -1 with more than
// 256 colours.
int64_t gifSize(const Picture& p, const std::string& path) {
    std::map<uint32_t, uint8_t> index;
    auto image = std::make_unique<TDib256>(p.w, p.h);
    std::vector<PaletteEntry> entries;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const Rgb8& c = p.px[size_t(y) * size_t(p.w) + size_t(x)];
            const uint32_t key = uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
            auto found = index.find(key);
            if (found == index.end()) {
                if (entries.size() == 256) return -1;
                found = index.emplace(key, uint8_t(entries.size())).first;
                entries.push_back({c.red, c.green, c.blue, 0});
            }
            image->setPixel(x, y, found->second);
        }
    TFrame frame("still", std::move(image));
    if (!writeGif(path, &frame, TMyPalette(entries), {}).ok) return -1;
    return fileSizeOf(path);
}

// ---- stills ---------------------------------------------------------------

struct Still {
    std::string name;
    Picture picture;
};

std::vector<Still> stills(const std::string& corpus) {
    std::vector<Still> out;
    for (const char* file : {"libjpeg-turbo/testimages/testorig.jpg", "libjpeg-turbo/testimages/monkey12.jpg",
                             "pillow/Tests/images/hopper.jpg", "pillow/Tests/images/flower.jpg",
                             "pillow/Tests/images/pil_sample_rgb.jpg"}) {
        const auto jpeg = readJpeg(corpus + "/" + file);
        if (jpeg) out.push_back({std::string("photo ") + fs::path(file).filename().string(), fromTrueColor(*jpeg)});
    }
    if (out.empty()) std::printf("(corpus photos not found under %s: drawn pictures only)\n", corpus.c_str());
    out.push_back({"photo-like drawn 1280x720", photo(1280, 720, 3)});
    out.push_back({"render 1280x720", render(1280, 720)});
    out.push_back({"gradients 1280x720", gradients(1280, 720)});
    out.push_back({"test pattern 1280x720", testPattern(1280, 720)});
    return out;
}

struct Result {
    double psnr = 0, time = 0;
    int64_t size = -1;
    bool ok = false;
};

Result ours(const Picture& source, const QuantizeOptions& options, const std::string& gifPath = {}) {
    const TrueColorImage deep = toTrueColor(source);
    std::unique_ptr<TDib256> image;
    Result r;
    r.time = seconds([&] { image = quantizeDeep(deep.rows(), 256, options); }, timedRuns);
    if (!image) return r;
    const Picture got = shown(*image);
    r.psnr = psnr(source, got);
    if (!gifPath.empty()) r.size = gifSize(got, gifPath);
    r.ok = true;
    return r;
}

// A peer run on the picture: args with IN and OUT in place; PPM or PNG as
// the tool needs.
Result peer(const Picture& source, const std::string& dir, const std::string& tool, bool png,
            const std::string& args, bool size) {
    Result r;
    const std::string ppm = dir + "/in.ppm", in = png ? dir + "/in.png" : ppm;
    const std::string out = dir + (png ? "/out.png" : "/out.ppm"), back = dir + "/back.ppm";
    writePpm(ppm, source);
    if (png && !run(imageMagick() + " " + ppm + " PNG24:" + in)) return r;
    fs::remove(out);
    std::string command = tool + " " + args;
    command.replace(command.find("IN"), 2, in);
    command.replace(command.find("OUT"), 3, out);
    bool ran = false;
    r.time = seconds([&] { ran = run(command); }, timedRuns);
    if (!ran || !run(imageMagick() + " " + out + " PPM:" + back)) return r;
    const Picture got = readPpm(back);
    r.psnr = psnr(source, got);
    if (size) r.size = gifSize(got, dir + "/peer.gif");
    r.ok = got.w == source.w;
    return r;
}

void stillsBench(const std::string& dir, const std::string& corpus) {
    const bool pngquant = have("pngquant"), im = have(imageMagick());
    if (!pngquant || !im) std::printf("pngquant or ImageMagick missing (make bench installs them)\n");
    const QuantizeOptions medianCut{}, quality{Quantizer::HighQuality, DitherMethod::None, 100};
    const auto pictures = stills(corpus);

    std::printf("\n256 colours, no dithering: PSNR dB (time s)\n");
    std::printf("%-32s %10s %16s %16s %16s %16s %8s\n", "picture", "size", "median cut", "high quality",
                "pngquant --nofs", "IM +dither", "HQ-pngq");
    int withinPngquant = 0, aboveIm = 0, fasterThanIm = 0, compared = 0;
    for (const Still& s : pictures) {
        const Result mc = ours(s.picture, medianCut), hq = ours(s.picture, quality);
        const Result pq = pngquant ? peer(s.picture, dir, "pngquant", true, "--nofs --force --output OUT 256 -- IN", false)
                                   : Result{};
        const Result magick = im ? peer(s.picture, dir, imageMagick(), false, "IN +dither -colors 256 OUT", false)
                                 : Result{};
        char dims[32];
        std::snprintf(dims, sizeof dims, "%dx%d", s.picture.w, s.picture.h);
        std::printf("%-32.32s %10s %7.2f (%6.3f) %7.2f (%6.3f) %7.2f (%6.3f) %7.2f (%6.3f) %+8.2f\n", s.name.c_str(),
                    dims, mc.psnr, mc.time, hq.psnr, hq.time, pq.psnr, pq.time, magick.psnr, magick.time,
                    pq.ok ? hq.psnr - pq.psnr : 0.0);
        if (pq.ok && magick.ok) {
            ++compared;
            withinPngquant += hq.psnr >= pq.psnr - 0.2;
            aboveIm += hq.psnr > magick.psnr;
            fasterThanIm += hq.time <= magick.time;
        }
    }
    std::printf("high quality: within 0.2 dB of pngquant (or above) on %d of %d, above ImageMagick on %d of %d, "
                "time at most ImageMagick's on %d of %d\n",
                withinPngquant, compared, aboveIm, compared, fasterThanIm, compared);

    std::printf("\n256 colours with dithering: PSNR dB / GIF bytes (our writer for every result)\n");
    std::printf("%-32s %18s %18s %18s %18s %18s %18s\n", "picture", "HQ diffusion", "HQ diffusion=50",
                "HQ ordered", "MC diffusion", "pngquant (dither)", "IM Floyd-Steinberg");
    const QuantizeOptions hqDiffusion{Quantizer::HighQuality, DitherMethod::Diffusion, 100},
        hqHalf{Quantizer::HighQuality, DitherMethod::Diffusion, 50},
        hqOrdered{Quantizer::HighQuality, DitherMethod::Ordered, 100},
        mcDiffusion{Quantizer::MedianCut, DitherMethod::Diffusion, 100};
    for (const Still& s : pictures) {
        const std::string gif = dir + "/ours.gif";
        const Result a = ours(s.picture, hqDiffusion, gif), b = ours(s.picture, hqHalf, gif),
                     c = ours(s.picture, hqOrdered, gif), d = ours(s.picture, mcDiffusion, gif);
        const Result pq = pngquant ? peer(s.picture, dir, "pngquant", true, "--force --output OUT 256 -- IN", true)
                                   : Result{};
        const Result fsd = im ? peer(s.picture, dir, imageMagick(), false,
                                     "IN -dither FloydSteinberg -colors 256 OUT", true)
                              : Result{};
        auto cell = [](const Result& r) {
            char text[32];
            std::snprintf(text, sizeof text, "%6.2f / %8lld", r.psnr, (long long)r.size);
            return std::string(text);
        };
        std::printf("%-32.32s %18s %18s %18s %18s %18s %18s\n", s.name.c_str(), cell(a).c_str(), cell(b).c_str(),
                    cell(c).c_str(), cell(d).c_str(), cell(pq).c_str(), cell(fsd).c_str());
    }
}

// ---- animations -----------------------------------------------------------

// Each frame its own 256-colour reduction with a local palette, written as a GIF.
void writeAnimation(const std::string& path, const std::vector<Picture>& frames, const QuantizeOptions& options) {
    FrameList list;
    for (const Picture& p : frames) {
        const TrueColorImage deep = toTrueColor(p);
        auto image = quantizeDeep(deep.rows(), 256, options);
        const int colors = image->colorsUsed;
        auto frame = std::make_unique<TFrame>("f", std::move(image));
        frame->localPalette = std::make_unique<TMyPalette>(TMyPalette::fromColorTable(frame->image->colors(), colors));
        frame->frameTime = 50;
        list.append("f", std::move(frame));
    }
    writeGif(path, threadFrames(list, true), TMyPalette(), {});
}

// The screens an animation shows, one after each frame.
std::vector<Picture> screens(const std::string& path) {
    const GifReadOutput gif = readGif(path);
    std::vector<Picture> out;
    int w = gif.screen.width, h = gif.screen.height;
    for (const auto& f : gif.frames)
        if (f->image) w = std::max(w, f->rect.right), h = std::max(h, f->rect.bottom);
    if (w <= 0 || h <= 0) return out;
    Picture screen = blank(w, h);
    for (const auto& f : gif.frames) {
        if (!f->image) continue;
        const TMyPalette* palette = f->localPalette ? f->localPalette.get()
                                    : gif.globalPalette ? &*gif.globalPalette
                                                        : nullptr;
        for (int y = 0; y < f->image->height(); ++y)
            for (int x = 0; x < f->image->width(); ++x) {
                const uint8_t v = f->image->pixel(x, y);
                const int sx = f->rect.left + x, sy = f->rect.top + y;
                if (v == f->transparentIndex || sx >= w || sy >= h || !palette) continue;
                const PaletteEntry& e = palette->entry(v);
                screen.at(sx, sy) = {e.red, e.green, e.blue};
            }
        out.push_back(screen);
        if (f->restoreToBackground)
            for (int y = f->rect.top; y < std::min(h, f->rect.bottom); ++y)
                for (int x = f->rect.left; x < std::min(w, f->rect.right); ++x) screen.at(x, y) = {};
    }
    return out;
}

double animationPsnr(const std::vector<Picture>& source, const std::vector<Picture>& got) {
    if (source.size() != got.size()) return 0;
    Error e;
    for (size_t i = 0; i < source.size(); ++i) e.add(source[i], got[i]);
    return e.psnr();
}

struct Animation {
    std::string name, path;
};

std::vector<Animation> animations(const std::string& dir, const std::string& corpus) {
    std::vector<Animation> out;
    const QuantizeOptions plain{}, dithered{Quantizer::HighQuality, DitherMethod::Diffusion, 100};
    std::vector<Picture> frames;
    for (int f = 0; f < 40; ++f) frames.push_back(photo(480, 270, 5, f * 6));
    out.push_back({"photo-like pan 480x270x40", dir + "/pan.gif"});
    writeAnimation(out.back().path, frames, plain);
    frames.clear();
    for (int f = 0; f < 30; ++f) frames.push_back(render(400, 240, f * 0.2));
    out.push_back({"render, dithered 400x240x30", dir + "/render.gif"});
    writeAnimation(out.back().path, frames, dithered);
    frames.clear();
    for (int f = 0; f < 30; ++f) frames.push_back(gradients(400, 240, f * 0.2));
    out.push_back({"gradients 400x240x30", dir + "/gradients.gif"});
    writeAnimation(out.back().path, frames, plain);
    frames.clear();
    // A still photo with a lit ball moving over it.
    const Picture still = photo(400, 240, 9);
    for (int f = 0; f < 30; ++f) {
        Picture p = still;
        const Picture ball = render(64, 64, f * 0.3);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                if ((x - 32) * (x - 32) + (y - 32) * (y - 32) < 900) p.at(20 + f * 10 % 320 + x, 100 + y) = ball.px[size_t(y * 64 + x)];
        frames.push_back(p);
    }
    out.push_back({"sprite over photo 400x240x30", dir + "/sprite.gif"});
    writeAnimation(out.back().path, frames, plain);
    for (const char* file : {"pillow/Tests/images/iss634.gif", "giflib/pic/fire.gif"})
        if (fs::exists(corpus + "/" + file)) out.push_back({fs::path(file).filename().string(), corpus + "/" + file});
    return out;
}

void animationsBench(const std::string& dir, const std::string& corpus) {
    const bool im = have(imageMagick());
    std::printf("\n16 colours, one palette for all frames, no dithering: PSNR dB (time s)\n");
    std::printf("%-32s %8s %16s %16s %16s\n", "animation", "frames", "median cut", "high quality",
                "IM +dither +map");
    int above = 0, faster = 0, compared = 0;
    for (const Animation& a : animations(dir, corpus)) {
        const auto source = screens(a.path);
        auto reduce = [&](const QuantizeOptions& options, double& time) {
            const std::string out = dir + "/reduced.gif";
            time = seconds(
                [&] {
                    Document doc;
                    doc.commentFrameOption = false;
                    doc.quantize = options;
                    openFiles(doc, {a.path});
                    reduceColors(doc, 16, true);
                    saveAs(doc, out, false);
                },
                timedRuns);
            return animationPsnr(source, screens(out));
        };
        double mcTime = 0, hqTime = 0, imTime = 0, imPsnr = 0;
        const double mc = reduce({}, mcTime);
        const double hq = reduce({Quantizer::HighQuality, DitherMethod::None, 100}, hqTime);
        if (im) {
            const std::string out = dir + "/im.gif";
            bool ran = false;
            imTime = seconds([&] { ran = run(imageMagick() + " " + a.path + " +dither -colors 16 +map " + out); },
                             timedRuns);
            if (ran) imPsnr = animationPsnr(source, screens(out));
        }
        std::printf("%-32.32s %8zu %7.2f (%6.3f) %7.2f (%6.3f) %7.2f (%6.3f)\n", a.name.c_str(), source.size(), mc,
                    mcTime, hq, hqTime, imPsnr, imTime);
        if (imPsnr > 0) {
            ++compared;
            above += hq > imPsnr;
            faster += hqTime <= imTime;
        }
    }
    std::printf("high quality: above ImageMagick on %d of %d, time at most ImageMagick's on %d of %d\n", above,
                compared, faster, compared);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "all";
    const fs::path dir = fs::temp_directory_path() / ("movigram-bench-quant-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    if (what == "all" || what == "stills") stillsBench(dir.string(), MOVIGRAM_CORPUS_DIR);
    if (what == "all" || what == "animations") animationsBench(dir.string(), MOVIGRAM_CORPUS_DIR);
    fs::remove_all(dir);
    return 0;
}
