// movigram-bench-lossy: lossy compression against gifsicle --lossy, file by
// file.  For each animation of the generated set and of the corpus's
// real-world folder it saves `movigram-cli optimize -O3 --lossy Q` for Q in
// 100 95 90 85 80 70 60 50 40, and `gifsicle -O3 --lossy=L` for L in 20 40 ... 200,
// and measures each file's size and the PSNR and SSIM of its composed
// screens against the input's (time-weighted over the animation, as a
// browser composes; PSNR over RGB, SSIM of luma over 8x8 windows side by
// side).  Then the Bjontegaard delta rate: the average difference in size
// at equal quality, log sizes interpolated by monotone piecewise cubics over
// the range both curves cover (SSIM as -10 log10(1 - SSIM)); negative means
// our files are smaller.
//
//   movigram-bench-lossy [FOLDER...]   (default: the generated set and
//                                       the corpus's real-world folder)
//   MOVIGRAM_BENCH_CLI=PATH            another build's movigram-cli
//   MOVIGRAM_BENCH_PEER_CACHE=FOLDER   keep gifsicle's points there and
//                                      read them back on later runs
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
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

double valueOf(const Rgba& p, int c) { return p.a == 0 ? 0.0 : double(c == 0 ? p.r : c == 1 ? p.g : p.b); }

double lumaOf(const Rgba& p) { return p.a == 0 ? 0.0 : 0.299 * p.r + 0.587 * p.g + 0.114 * p.b; }

// Mean squared error over RGB of two screens.
double squaredError(const std::vector<Rgba>& x, const std::vector<Rgba>& y) {
    double se = 0;
    for (size_t i = 0; i < x.size(); ++i)
        for (int c = 0; c < 3; ++c) {
            const double d = valueOf(x[i], c) - valueOf(y[i], c);
            se += d * d;
        }
    return se / double(3 * x.size());
}

// Mean SSIM of luma over 8x8 windows side by side (one window over the
// whole of a screen smaller than that).
double ssim(const std::vector<Rgba>& x, const std::vector<Rgba>& y, int32_t width, int32_t height) {
    constexpr double c1 = (0.01 * 255) * (0.01 * 255), c2 = (0.03 * 255) * (0.03 * 255);
    const int32_t size = std::min({8, width, height}), step = size;
    std::vector<double> a(x.size()), b(y.size());
    for (size_t i = 0; i < x.size(); ++i) a[i] = lumaOf(x[i]), b[i] = lumaOf(y[i]);
    double sum = 0;
    int64_t windows = 0;
    for (int32_t top = 0; top + size <= height; top += step)
        for (int32_t left = 0; left + size <= width; left += step) {
            double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
            for (int32_t v = top; v < top + size; ++v)
                for (int32_t u = left; u < left + size; ++u) {
                    const size_t i = size_t(v) * size_t(width) + size_t(u);
                    sa += a[i], sb += b[i], saa += a[i] * a[i], sbb += b[i] * b[i], sab += a[i] * b[i];
                }
            const double n = double(size) * size, ma = sa / n, mb = sb / n;
            const double va = saa / n - ma * ma, vb = sbb / n - mb * mb, cov = sab / n - ma * mb;
            sum += (2 * ma * mb + c1) * (2 * cov + c2) / ((ma * ma + mb * mb + c1) * (va + vb + c2));
            ++windows;
        }
    return windows ? sum / double(windows) : 1.0;
}

struct Quality {
    double psnr = 0, ssim = 0;
};

// Time-weighted PSNR and SSIM of got against want, over the time both show.
Quality qualityOf(const Timeline& want, const Timeline& got) {
    if (want.width != got.width || want.height != got.height) return {};
    double squared = 0, similar = 0, weight = 0;
    size_t a = 0, b = 0;
    int64_t leftA = want.ms[0], leftB = got.ms[0];
    while (a < want.screens.size() && b < got.screens.size()) {
        const int64_t span = std::min(leftA, leftB);
        if (span > 0) {
            const auto& x = want.screens[a];
            const auto& y = got.screens[b];
            squared += squaredError(x, y) * double(span);
            similar += (x == y ? 1.0 : ssim(x, y, want.width, want.height)) * double(span);
            weight += double(span);
        }
        leftA -= span;
        leftB -= span;
        if (leftA <= 0 && ++a < want.screens.size()) leftA = want.ms[a];
        if (leftB <= 0 && ++b < got.screens.size()) leftB = got.ms[b];
    }
    if (weight == 0) return {};
    const double mse = squared / weight;
    return {mse <= 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse), similar / weight};
}

// SSIM on a scale that grows without bound towards 1, as PSNR does.
double ssimDb(double ssim) { return ssim >= 1 ? INFINITY : -10 * std::log10(1 - ssim); }

struct Point {
    double psnr, logSize;  // psnr: the quality, PSNR or SSIM in dB
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

const int ourLevels[] = {100, 95, 90, 85, 80, 70, 60, 50, 40};
const int theirLevels[] = {20, 40, 60, 80, 100, 120, 140, 160, 180, 200};

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = fs::temp_directory_path() / ("movigram-bench-lossy-" + std::to_string(::getpid()));
    fs::create_directories(dir / "generated");
    const char* otherCli = std::getenv("MOVIGRAM_BENCH_CLI");
    const std::string cli = otherCli && *otherCli ? otherCli : MOVIGRAM_CLI;
    const auto files = bench::benchFiles({argv + 1, argv + argc}, (dir / "generated").string(), MOVIGRAM_CORPUS_DIR);
    const bool peer = bench::have("gifsicle");
    const char* cacheDir = std::getenv("MOVIGRAM_BENCH_PEER_CACHE");
    const std::string peerCache = cacheDir && *cacheDir ? cacheDir : "";
    if (!peer) std::printf("gifsicle not installed (make bench installs it): our curve only\n");

    struct Row {
        std::string name;
        double psnr, ssim;  // BD-rates
    };
    std::vector<Row> rows;
    for (const auto& [name, path] : files) {
        Timeline original;
        if (!screensOf(path, original)) continue;
        const std::string q = "'" + path + "'";
        std::vector<Point> ours, theirs, oursSsim, theirsSsim;
        auto measure = [&](const std::string& command, const std::string& out, int level, std::vector<Point>& byPsnr,
                           std::vector<Point>& bySsim) {
            if (!bench::run(command)) return;
            Timeline t;
            if (!screensOf(out, t, original.width, original.height)) return;
            const double size = double(fs::file_size(out));
            const Quality quality = qualityOf(original, t);
            byPsnr.push_back({quality.psnr, std::log(size)});
            bySsim.push_back({ssimDb(quality.ssim), std::log(size)});
            std::printf(" %d: %.0f B %.2f dB %.5f;", level, size, quality.psnr, quality.ssim);
        };
        std::printf("%s\n  movigram -O3 --lossy:", name.c_str());
        for (int level : ourLevels) {
            const std::string out = (dir / "ours.gif").string();
            measure(cli + " optimize -O3 --no-comment --lossy " + std::to_string(level) + " " + q + " -o " + out, out,
                    level, ours, oursSsim);
        }
        std::printf("\n");
        if (!peer) continue;
        std::printf("  gifsicle -O3 --lossy:");
        // gifsicle's points do not change from run to run: with a cache
        // folder they are measured once per file.
        const std::string cacheFile = peerCache.empty() ? "" : peerCache + "/" + fs::path(path).filename().string() + ".txt";
        std::ifstream cached(cacheFile);
        if (cached) {
            int level;
            double size, psnr, ssimValue;
            while (cached >> level >> size >> psnr >> ssimValue) {
                theirs.push_back({psnr, std::log(size)});
                theirsSsim.push_back({ssimDb(ssimValue), std::log(size)});
                std::printf(" %d: %.0f B %.2f dB %.5f;", level, size, psnr, ssimValue);
            }
        } else {
            std::ofstream save;
            if (!cacheFile.empty()) save.open(cacheFile);
            for (int level : theirLevels) {
                const std::string out = (dir / "theirs.gif").string();
                const size_t before = theirs.size();
                measure("gifsicle -O3 --lossy=" + std::to_string(level) + " " + q + " -o " + out, out, level, theirs,
                        theirsSsim);
                // Lossless points (infinite PSNR) count for nothing.
                if (save && theirs.size() > before && std::isfinite(theirs.back().psnr))
                    save << std::setprecision(17) << level << ' ' << std::round(std::exp(theirs.back().logSize)) << ' '
                         << theirs.back().psnr << ' ' << 1 - std::pow(10.0, -theirsSsim.back().psnr / 10) << '\n';
            }
        }
        const Row row{name, bdRate(ours, theirs), bdRate(oursSsim, theirsSsim)};
        auto show = [](double bd) {
            char text[32];
            std::snprintf(text, sizeof text, "%+.1f %%", bd * 100);
            return std::isnan(bd) ? std::string("no shared range") : std::string(text);
        };
        std::printf("\n  BD-rate (ours against gifsicle at equal quality): PSNR %s, SSIM %s\n",
                    show(row.psnr).c_str(), show(row.ssim).c_str());
        rows.push_back(row);
        std::fflush(stdout);
    }
    if (!rows.empty()) {
        std::printf("\n%-44s %10s %10s\n", "file", "BD PSNR", "BD SSIM");
        double sum[2] = {}, count[2] = {}, worse[2] = {};
        for (const Row& r : rows) {
            std::printf("%-44s", r.name.c_str());
            const double bd[2] = {r.psnr, r.ssim};
            for (int k = 0; k < 2; ++k) {
                if (std::isnan(bd[k])) {
                    std::printf(" %10s", "-");
                    continue;
                }
                std::printf(" %+9.1f%%", bd[k] * 100);
                sum[k] += bd[k];
                ++count[k];
                worse[k] += bd[k] > 0;
            }
            std::printf("\n");
        }
        for (int k = 0; k < 2; ++k)
            if (count[k] > 0)
                std::printf("Average BD-rate on %s over %.0f files: %+.1f %% (ours larger on %.0f)\n",
                            k == 0 ? "PSNR" : "SSIM", count[k], sum[k] / count[k] * 100, worse[k]);
    }
    fs::remove_all(dir);
    return 0;
}
