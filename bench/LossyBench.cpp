// movigram-bench-lossy: lossy compression against gifsicle --lossy, file by
// file.  For each animation of the generated set and of the corpus's
// real-world folder it saves `movigram-cli optimize -O3 --lossy Q` for Q in
// 100 90 80 70 60 50 40, and `gifsicle -O3 --lossy=L` for L in 20 40 ... 200,
// and measures each file's size and the PSNR of its composed screens against
// the input's (time-weighted over the animation, RGB, as a browser composes).
// Then the Bjontegaard delta rate: the average difference in size at equal
// PSNR, log sizes interpolated by monotone piecewise cubics over the PSNR
// range both curves cover; negative means our files are smaller.
//
//   movigram-bench-lossy [FOLDER...]   (default: the generated set and
//                                       the corpus's real-world folder)
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PeerTools.h"
#include "GeneratedGifs.h"
#include "document/FileIo.h"
#include "document/FrameChain.h"
#include "document/GifReader.h"
#include "document/ViewerCanvas.h"

using namespace movigram;
namespace fs = std::filesystem;

namespace {

struct Timeline {
    int32_t width = 0, height = 0;
    std::vector<std::vector<Rgba>> screens;
    std::vector<int64_t> ms;  // how long each screen shows
};

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The screens a browser shows of the file, on the given screen size (0:
// the file's own).
bool screensOf(const std::string& path, Timeline& t, int32_t width = 0, int32_t height = 0) {
    const std::vector<uint8_t> bytes = readBytes(path);
    GifReadOutput read = readGifMemory(bytes, "bench.gif");
    if (read.result != GifOk || read.frames.empty()) return false;
    linkChain(read.frames);
    const TSize size = boundingSize(read.frames.front().get());
    t.width = width ? width : size.width;
    t.height = height ? height : size.height;
    const TMyPalette* global = read.globalPalette ? &*read.globalPalette : nullptr;
    ViewerCanvas canvas(t.width, t.height);
    for (const auto& f : read.frames) {
        if (!f->image) continue;
        canvas.step(*f, global, f->restoreToBackground ? Disposal::Background : Disposal::None,
                    [&](const ViewerCanvas& c) {
                        t.screens.push_back(c.pixels());
                        t.ms.push_back(f->displayTime());
                    });
    }
    // All without time: each frame counts alike.
    if (std::all_of(t.ms.begin(), t.ms.end(), [](int64_t m) { return m <= 0; }))
        std::fill(t.ms.begin(), t.ms.end(), 10);
    return !t.screens.empty();
}

// Time-weighted PSNR of got against want, over the time both show.
double psnr(const Timeline& want, const Timeline& got) {
    if (want.width != got.width || want.height != got.height) return 0;
    double sum = 0, weight = 0;
    size_t a = 0, b = 0;
    int64_t leftA = want.ms[0], leftB = got.ms[0];
    auto value = [](const Rgba& p, int c) { return p.a == 0 ? 0.0 : double(c == 0 ? p.r : c == 1 ? p.g : p.b); };
    while (a < want.screens.size() && b < got.screens.size()) {
        const int64_t span = std::min(leftA, leftB);
        if (span > 0) {
            double se = 0;
            const auto& x = want.screens[a];
            const auto& y = got.screens[b];
            for (size_t i = 0; i < x.size(); ++i)
                for (int c = 0; c < 3; ++c) {
                    const double d = value(x[i], c) - value(y[i], c);
                    se += d * d;
                }
            sum += se / double(3 * x.size()) * double(span);
            weight += double(span);
        }
        leftA -= span;
        leftB -= span;
        if (leftA <= 0 && ++a < want.screens.size()) leftA = want.ms[a];
        if (leftB <= 0 && ++b < got.screens.size()) leftB = got.ms[b];
    }
    if (weight == 0) return 0;
    const double mse = sum / weight;
    return mse <= 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

struct Point {
    double psnr, logSize;
};

// Monotone piecewise cubic (Fritsch-Carlson) through points sorted by psnr.
double pchip(const std::vector<Point>& p, double x) {
    const size_t n = p.size();
    if (n == 1) return p[0].logSize;
    size_t k = 0;
    while (k + 2 < n && x > p[k + 1].psnr) ++k;
    auto slope = [&](size_t i) { return (p[i + 1].logSize - p[i].logSize) / (p[i + 1].psnr - p[i].psnr); };
    auto tangent = [&](size_t i) {
        if (i == 0) return slope(0);
        if (i == n - 1) return slope(n - 2);
        const double s0 = slope(i - 1), s1 = slope(i);
        return s0 * s1 <= 0 ? 0.0 : 2 / (1 / s0 + 1 / s1);
    };
    const double h = p[k + 1].psnr - p[k].psnr, t = (x - p[k].psnr) / h;
    const double m0 = tangent(k), m1 = tangent(k + 1);
    const double t2 = t * t, t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * p[k].logSize + (t3 - 2 * t2 + t) * h * m0 + (-2 * t3 + 3 * t2) * p[k + 1].logSize +
           (t3 - t2) * h * m1;
}

// The curve as a function of PSNR: finite points, sorted, at most one per PSNR
// (the smaller file), and log size made non-increasing in quality from the top.
std::vector<Point> curve(std::vector<Point> p) {
    p.erase(std::remove_if(p.begin(), p.end(), [](const Point& q) { return !std::isfinite(q.psnr) || q.psnr <= 0; }),
            p.end());
    std::sort(p.begin(), p.end(), [](const Point& a, const Point& b) { return a.psnr < b.psnr; });
    std::vector<Point> out;
    for (const Point& q : p) {
        if (!out.empty() && q.psnr - out.back().psnr < 1e-6) {
            out.back().logSize = std::min(out.back().logSize, q.logSize);
            continue;
        }
        out.push_back(q);
    }
    return out;
}

// Average of exp(ours - theirs) - 1 over the shared PSNR range; NAN when the
// ranges do not overlap.
double bdRate(const std::vector<Point>& oursIn, const std::vector<Point>& theirsIn) {
    const std::vector<Point> ours = curve(oursIn), theirs = curve(theirsIn);
    if (ours.size() < 2 || theirs.size() < 2) return NAN;
    const double low = std::max(ours.front().psnr, theirs.front().psnr);
    const double high = std::min(ours.back().psnr, theirs.back().psnr);
    if (high <= low) return NAN;
    constexpr int steps = 200;
    double sum = 0;
    for (int i = 0; i <= steps; ++i) {
        const double x = low + (high - low) * i / steps;
        sum += (pchip(ours, x) - pchip(theirs, x)) * (i == 0 || i == steps ? 0.5 : 1.0);
    }
    return std::exp(sum / steps) - 1;
}

const int ourLevels[] = {100, 90, 80, 70, 60, 50, 40};
const int theirLevels[] = {20, 40, 60, 80, 100, 120, 140, 160, 180, 200};

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = fs::temp_directory_path() / ("movigram-bench-lossy-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::vector<std::pair<std::string, std::string>> files;  // name, path
    if (argc > 1) {
        for (int i = 1; i < argc; ++i)
            for (const auto& e : fs::directory_iterator(argv[i]))
                if (e.path().extension() == ".gif") files.push_back({e.path().filename().string(), e.path().string()});
    } else {
        for (const auto& g : bench::writeGeneratedGifs((dir / "generated").string())) files.push_back({g.name, g.path});
        const fs::path real = fs::path(MOVIGRAM_CORPUS_DIR) / "real-world";
        if (fs::exists(real))
            for (const auto& e : fs::directory_iterator(real))
                if (e.path().extension() == ".gif") files.push_back({e.path().filename().string(), e.path().string()});
    }
    std::sort(files.begin() + 0, files.end());
    const bool peer = bench::have("gifsicle");
    if (!peer) std::printf("gifsicle not installed (make bench installs it): our curve only\n");

    double sumBd = 0;
    int counted = 0, worse = 0;
    for (const auto& [name, path] : files) {
        Timeline original;
        if (!screensOf(path, original)) continue;
        const std::string q = "'" + path + "'";
        std::vector<Point> ours, theirs;
        std::printf("%s\n  movigram -O3 --lossy:", name.c_str());
        for (int level : ourLevels) {
            const std::string out = (dir / "ours.gif").string();
            if (!bench::run(std::string(MOVIGRAM_CLI) + " optimize -O3 --no-comment --lossy " + std::to_string(level) +
                            " " + q + " -o " + out))
                continue;
            Timeline t;
            if (!screensOf(out, t, original.width, original.height)) continue;
            const double size = double(fs::file_size(out)), db = psnr(original, t);
            ours.push_back({db, std::log(size)});
            std::printf(" %d: %.0f B %.2f dB;", level, size, db);
        }
        std::printf("\n");
        if (!peer) continue;
        std::printf("  gifsicle -O3 --lossy:");
        for (int level : theirLevels) {
            const std::string out = (dir / "theirs.gif").string();
            if (!bench::run("gifsicle -O3 --lossy=" + std::to_string(level) + " " + q + " -o " + out)) continue;
            Timeline t;
            if (!screensOf(out, t, original.width, original.height)) continue;
            const double size = double(fs::file_size(out)), db = psnr(original, t);
            theirs.push_back({db, std::log(size)});
            std::printf(" %d: %.0f B %.2f dB;", level, size, db);
        }
        const double bd = bdRate(ours, theirs);
        if (std::isnan(bd)) {
            std::printf("\n  BD-rate: no shared PSNR range\n");
            continue;
        }
        std::printf("\n  BD-rate (ours against gifsicle at equal PSNR): %+.1f %%\n", bd * 100);
        sumBd += bd;
        ++counted;
        worse += bd > 0;
    }
    if (counted > 0)
        std::printf("\nAverage BD-rate over %d files: %+.1f %% (ours larger on %d)\n", counted, sumBd / counted * 100,
                    worse);
    fs::remove_all(dir);
    return 0;
}
