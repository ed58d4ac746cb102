// movigram-bench-peers: colour reduction and the optimising save side by side
// with the command-line tools people use instead, in one run.
//
//   quantise  a 1920 x 1080 true-colour picture to 256 colours:
//             MedianCutQuant against `convert -colors 256 +dither`
//   reduce    a 200-frame 640 x 480 animation with local palettes to one
//             256-colour palette: reduceColors(256, true) against the same
//             convert call on the GIF
//   optimise  movigram-cli optimize -O3 against `gifsicle -O3`, with the
//             plain copy and -O beside them, on generated animations of
//             the kinds people shrink and on the corpus (OptimiseBench.cpp)
//
// Times are wall-clock seconds of whole runs (the peers' include starting the
// process); sizes are bytes.  PSNR is measured against the input's colours.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "PeerTools.h"
#include "colour/ColorReduction.h"
#include "colour/MedianCutQuant.h"
#include "commands/FileCommands.h"
#include "document/FileIo.h"
#include "document/FrameChain.h"
#include "document/GifReader.h"
#include "save/GifWriter.h"
#include "save/Optimiser.h"
#include "GeneratedGifs.h"
#include "OptimiseBench.h"

using namespace movigram;
namespace fs = std::filesystem;

namespace {

using bench::have;
using bench::imageMagick;
using bench::run;
using bench::seconds;

struct Rgb {
    uint8_t r, g, b;
};

// A photo-like picture: smooth light, a few shapes, sensor noise.
std::vector<Rgb> photo(int w, int h, uint32_t seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, 6);
    std::vector<Rgb> px(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = double(x) / w, v = double(y) / h;
            double r = 80 + 150 * u * (1 - v) + 40 * std::sin(v * 9 + seed);
            double g = 60 + 120 * v + 50 * std::cos(u * 7);
            double b = 140 + 100 * std::sin((u + v) * 4 + seed * 0.3);
            const double dx = u - 0.6, dy = v - 0.4;
            if (dx * dx + dy * dy < 0.03) r = 230 - 60 * v, g = 180 * u, b = 40;
            auto clamp = [](double c) { return uint8_t(std::clamp(c, 0.0, 255.0)); };
            px[size_t(y) * w + x] = {clamp(r + noise(rng)), clamp(g + noise(rng)), clamp(b + noise(rng))};
        }
    return px;
}

void writePpm(const std::string& path, const std::vector<Rgb>& px, int w, int h) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << w << " " << h << "\n255\n";
    out.write(reinterpret_cast<const char*>(px.data()), std::streamsize(px.size() * 3));
}

std::vector<Rgb> readPpm(const std::string& path, int& w, int& h) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> w >> h >> maxValue;
    in.get();
    std::vector<Rgb> px(size_t(std::max(w, 0)) * size_t(std::max(h, 0)));
    in.read(reinterpret_cast<char*>(px.data()), std::streamsize(px.size() * 3));
    return in ? px : std::vector<Rgb>{};
}

double psnr(const std::vector<Rgb>& a, const std::vector<Rgb>& b) {
    if (a.size() != b.size() || a.empty()) return 0;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double dr = a[i].r - b[i].r, dg = a[i].g - b[i].g, db = a[i].b - b[i].b;
        sum += dr * dr + dg * dg + db * db;
    }
    const double mse = sum / (3.0 * double(a.size()));
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// The colours a frame shows, its transparent pixels included, row by row.
std::vector<Rgb> colorsOf(const TFrame& f, const TMyPalette* global) {
    const TMyPalette* p = f.localPalette ? f.localPalette.get() : global;
    std::vector<Rgb> out;
    for (int y = 0; y < f.image->height(); ++y)
        for (int x = 0; x < f.image->width(); ++x) {
            const PaletteEntry e = p ? p->entry(f.image->pixel(x, y)) : PaletteEntry{};
            out.push_back({e.red, e.green, e.blue});
        }
    return out;
}

void quantiseBench(const std::string& dir) {
    const int w = 1920, h = 1080;
    const auto px = photo(w, h, 3);
    const size_t stride = MedianCutQuant::sourceStrideFor(w, 24);
    std::vector<uint8_t> bgr(stride * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb& c = px[size_t(y) * w + x];
            uint8_t* p = &bgr[size_t(y) * stride + size_t(x) * 3];
            p[0] = c.b, p[1] = c.g, p[2] = c.r;
        }
    std::unique_ptr<TDib256> image;
    const double ours = seconds(
        [&] {
            MedianCutQuant quant(256, w, h, bgr.data(), 24);
            quant.build();
            image = quant.makeImage();
        },
        3);
    std::vector<Rgb> ourColors;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const RgbQuad& q = image->colors()[image->bits()[size_t(y) * size_t(image->stride()) + size_t(x)]];
            ourColors.push_back({q.red, q.green, q.blue});
        }
    std::printf("quantise 1920x1080 to 256 colours: movigram %.3f s, PSNR %.2f dB\n", ours, psnr(px, ourColors));

    if (!have(imageMagick())) {
        std::printf("  ImageMagick not installed (make bench installs it): no comparison\n");
        return;
    }
    const std::string in = dir + "/photo.ppm", out = dir + "/photo-im.ppm";
    writePpm(in, px, w, h);
    const double theirs = seconds([&] { run(imageMagick() + " " + in + " -colors 256 +dither " + out); }, 3);
    int ow = 0, oh = 0;
    const auto imColors = readPpm(out, ow, oh);
    std::printf("  ImageMagick convert -colors 256 +dither: %.3f s, PSNR %.2f dB; time ratio movigram/ImageMagick %.3f\n",
                theirs, psnr(px, imColors), ours / theirs);
}

void reduceBench(const std::string& dir) {
    const int w = 640, h = 480, frames = 200;
    // Each frame: its own picture reduced to 256 colours with a local palette.
    FrameList list;
    TMyPalette none;
    std::vector<std::vector<Rgb>> shown;
    for (int f = 0; f < frames; ++f) {
        const auto px = photo(w, h, uint32_t(f / 20 + 1));
        const size_t stride = MedianCutQuant::sourceStrideFor(w, 24);
        std::vector<uint8_t> bgr(stride * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Rgb& c = px[size_t(y) * w + (x + f * 3) % w];
                uint8_t* p = &bgr[size_t(h - 1 - y) * stride + size_t(x) * 3];
                p[0] = c.b, p[1] = c.g, p[2] = c.r;
            }
        MedianCutQuant quant(256, w, h, bgr.data(), 24);
        quant.build();
        auto frame = std::make_unique<TFrame>("f", quant.makeImage());
        frame->localPalette = std::make_unique<TMyPalette>(TMyPalette::fromColorTable(frame->image->colors(), quant.colorCount()));
        frame->frameTime = 40;
        shown.push_back(colorsOf(*frame, &none));
        list.append("f", std::move(frame));
    }
    const std::string in = dir + "/anim.gif", imOut = dir + "/anim-im.gif";
    TFrame* first = threadFrames(list, true);
    if (!writeGif(in, first, TMyPalette(), {}).ok) return;

    Document doc;
    double ours = 0;
    {
        openFiles(doc, {in});  // local palettes kept
        ours = seconds([&] { reduceColors(doc, 256, true); });
    }
    double ourPsnr = 0;
    for (int f = 0; f < frames; ++f) ourPsnr += psnr(shown[size_t(f)], colorsOf(*doc.frameList.frameAt(f), doc.globalPalette.get()));
    std::printf("reduce 200 x 640x480 frames to one 256-colour palette: movigram %.3f s, mean PSNR %.2f dB\n", ours,
                ourPsnr / frames);
    if (!have(imageMagick())) return;
    const double theirs = seconds([&] { run(imageMagick() + " " + in + " +dither -colors 256 +map " + imOut); });
    const GifReadOutput back = readGif(imOut);
    double imPsnr = 0;
    int compared = 0;
    for (size_t f = 0, k = 0; f < back.frames.size() && k < shown.size(); ++f) {
        if (!back.frames[f]->image) continue;
        imPsnr += psnr(shown[k++], colorsOf(*back.frames[f], back.globalPalette ? &*back.globalPalette : nullptr));
        ++compared;
    }
    std::printf("  ImageMagick convert +dither -colors 256 +map (one palette for all frames): %.3f s, mean PSNR %.2f dB over %d frames; time ratio %.3f\n",
                theirs, compared ? imPsnr / compared : 0.0, compared, ours / theirs);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "all";
    // movigram-bench-peers generate FOLDER: only write the generated animations there.
    if (what == "generate" && argc > 2) {
        for (const auto& g : movigram::bench::writeGeneratedGifs(argv[2])) std::printf("%s  %s\n", g.path.c_str(), g.name.c_str());
        return 0;
    }
    const fs::path dir = fs::temp_directory_path() / ("movigram-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    if (what == "all" || what == "quantise") quantiseBench(dir.string());
    if (what == "all" || what == "reduce") reduceBench(dir.string());
    if (what == "all" || what == "optimise") movigram::bench::optimiseBench(dir.string(), MOVIGRAM_CORPUS_DIR, MOVIGRAM_CLI);
    fs::remove_all(dir);
    return 0;
}
