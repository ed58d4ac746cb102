// The optimising save against gifsicle -O3, file by file.  Times are the
// best wall-clock time of three runs, the programs taking turns: gifsicle
// and movigram-cli as the processes a user starts, and the editor's
// "Save optimized as" in this process (open and save, as the editor does
// them; the command-line tool also pays for starting a process and for
// the atomic save's flush to disk, some 3 ms on small files).  Maximum
// compression works on a second core for animations of more than 64 K
// pixels, so the totals also give the processor time of the command-line
// runs (the best of the three).  The -O3 file is checked against the document it was
// saved from: the same screens for the same times, in the program's view and
// in a browser's; so is gifsicle's file, which on some files shows other
// times or screens to this program (it drops a zero delay, which this
// program reads as a second, or a frame it cannot read).  Beside -O3 the
// size of -O3 --restore-previous tells what restoring images to the screen
// before them would save, which some widely used decoders show wrongly.
#include "OptimiseBench.h"

#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "GeneratedGifs.h"
#include "commands/FileCommands.h"
#include "document/Compose.h"
#include "document/FileIo.h"
#include "document/FrameChain.h"
#include "document/GifReader.h"
#include "document/ViewerCanvas.h"

namespace movigram::bench {

namespace fs = std::filesystem;

namespace {

double childSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs a command; the wall-clock seconds it took, or a negative value when
// it failed; in cpu (when given) the processor seconds it used.
double timed(const std::string& command, double* cpu = nullptr) {
    const double cpuBefore = childSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (cpu) *cpu = childSeconds() - cpuBefore;
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1;
}

// Each screen a GIF shows, in both views (a browser's in the high half of
// each value, the program's in the low half), and how long it stays.
struct Screen {
    std::vector<uint64_t> pixels;
    int64_t ms = 0;
};

uint64_t packed(const Rgba& c) { return uint64_t(c.r) << 24 | uint64_t(c.g) << 16 | uint64_t(c.b) << 8 | c.a; }

// The screens of a chain; with keepInstants also those shown for no time.
// Consecutive equal screens count as one.
std::vector<Screen> screensOf(TFrame* first, const TMyPalette* global, TSize size, bool keepInstants) {
    ViewerCanvas browser(size.width, size.height), program(size.width, size.height);
    std::vector<Screen> screens;
    forEachInChain(first, [&](TFrame& f) {
        if (!f.image) return;
        browser.draw(f, global);
        program.draw(f, global);
        Screen s;
        s.ms = int64_t(f.frameTime) * f.repeat;
        s.pixels.resize(browser.pixels().size());
        for (size_t i = 0; i < s.pixels.size(); ++i)
            s.pixels[i] = packed(browser.pixels()[i]) << 32 | packed(program.pixels()[i]);
        if (s.ms > 0 || keepInstants) {
            if (!screens.empty() && screens.back().pixels == s.pixels) screens.back().ms += s.ms;
            else screens.push_back(std::move(s));
        }
        if (!f.restoreToBackground) return;
        browser.clear(f.rect);
        const Rgba fill = ViewerCanvas::colorOf(f, global, uint8_t(fillColorOf(f)));
        const TRect r = f.rect.intersected({0, 0, size.width, size.height});
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x) program.at(x, y) = fill;
    });
    return screens;
}

bool equal(const std::vector<Screen>& a, const std::vector<Screen>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].ms != b[i].ms || a[i].pixels != b[i].pixels) return false;
    return true;
}

// Whether the file shows the document's screens for the same times; an
// animation whose frames all last no time is compared screen by screen.
bool showsDocument(const std::string& path, Document& doc) {
    GifReadOutput gif = readGif(path);
    if (gif.result != GifOk || gif.frames.empty() || !doc.firstFrame) return false;
    linkChain(gif.frames);
    const TSize size{doc.screenWidth, doc.screenHeight};
    if (boundingSize(gif.frames.front().get()) != size) return false;
    const TMyPalette* global = gif.globalPalette ? &*gif.globalPalette : nullptr;
    for (bool instants : {false, true}) {
        const std::vector<Screen> want = screensOf(doc.firstFrame, doc.globalPalette.get(), size, instants);
        if (want.empty() && !instants) continue;
        return equal(want, screensOf(gif.frames.front().get(), global, size, instants));
    }
    return false;
}

struct Row {
    std::string name;
    bool generated = false;
    int64_t input = 0, copy = -1, optimised = -1, maximum = -1, previous = -1, peer = -1;
    double ourTime = -1, cliTime = -1, peerTime = -1, cliCpu = -1, peerCpu = -1;
    bool same = false, peerSame = false;
};

Row compare(const std::string& name, const std::string& in, const std::string& dir, const std::string& cli,
            bool peer) {
    Row row{name, false, fileSizeOf(in)};
    const std::string copy = dir + "/copy.gif", optimised = dir + "/o.gif", maximum = dir + "/o3.gif",
                      previous = dir + "/o3-previous.gif", theirs = dir + "/gifsicle.gif";
    const std::string q = "'" + in + "'";
    if (timed(cli + " copy " + q + " " + copy + " --no-comment") >= 0) row.copy = fileSizeOf(copy);
    if (timed(cli + " optimize " + q + " -o " + optimised + " -O --no-comment") >= 0)
        row.optimised = fileSizeOf(optimised);
    if (timed(cli + " optimize " + q + " -o " + previous + " -O3 --restore-previous --no-comment") >= 0)
        row.previous = fileSizeOf(previous);
    auto keepBest = [](double& best, double t) {
        if (t >= 0 && (best < 0 || t < best)) best = t;
    };
    for (int run = 0; run < 3; ++run) {
        double cpu = 0;
        keepBest(row.cliTime, timed(cli + " optimize " + q + " -o " + maximum + " -O3 --no-comment", &cpu));
        keepBest(row.cliCpu, cpu);
        const auto start = std::chrono::steady_clock::now();
        Document doc;
        doc.splitDirty = doc.transparentMaskOption = doc.maxCompression = true;
        doc.commentFrameOption = false;
        openFiles(doc, {in});
        const bool saved = saveAs(doc, dir + "/o3-editor.gif", true);
        keepBest(row.ourTime, saved ? std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() : -1);
        if (peer) {
            keepBest(row.peerTime, timed("gifsicle -O3 " + q + " -o " + theirs, &cpu));
            keepBest(row.peerCpu, cpu);
        }
    }
    if (row.cliTime >= 0) row.maximum = fileSizeOf(maximum);
    if (row.peerTime >= 0) row.peer = fileSizeOf(theirs);
    Document doc;
    openFiles(doc, {in});
    row.same = row.maximum >= 0 && showsDocument(maximum, doc);
    row.peerSame = row.peer >= 0 && showsDocument(theirs, doc);
    return row;
}

}  // namespace

void optimiseBench(const std::string& dir, const std::string& corpus, const std::string& cli) {
    const bool peer = timed("command -v gifsicle") >= 0;
    if (!peer) std::printf("gifsicle not installed (make bench installs it): sizes without the peer\n");
    std::vector<Row> rows;
    for (const GeneratedGif& g : writeGeneratedGifs(dir)) {
        rows.push_back(compare(g.name, g.path, dir, cli, peer));
        rows.back().generated = true;
    }
    std::error_code ec;
    if (fs::is_directory(corpus, ec)) {
        std::vector<fs::path> files;
        for (const auto& e : fs::recursive_directory_iterator(corpus, ec))
            if (e.is_regular_file() && e.path().extension() == ".gif") files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (const auto& f : files) {
            // Animations that read cleanly.
            const GifReadOutput gif = readGif(f.string());
            int images = 0;
            for (const auto& fr : gif.frames) images += fr->image ? 1 : 0;
            if (gif.result != GifOk || images < 2) continue;
            rows.push_back(compare(f.lexically_relative(corpus).string(), f.string(), dir, cli, peer));
        }
    }

    std::printf("\n%-46s %8s %8s %8s %8s %8s %8s %6s %7s %7s %7s %6s %6s %4s %4s\n", "optimize -O3 vs gifsicle -O3",
                "input", "copy", "-O", "-O3", "-O3 prev", "gifs-O3", "size", "t save", "t cli", "t gifs", "t save", "t cli",
                "same", "gifs");
    std::printf("%-46s %8s %8s %8s %8s %8s %8s %6s %7s %7s %7s %6s %6s %4s %4s\n", "", "bytes", "", "", "", "", "", "ratio",
                "s", "s", "s", "ratio", "ratio", "view", "same");
    // Totals per group: the generated kinds, the corpus animations of 4 kB
    // and more, the smaller corpus files (mostly test vectors of a few
    // pixels, where a frame without a graphic control extension means 1 s to
    // this program and so gets one written), and everything.
    struct Totals {
        const char* name;
        int files = 0, larger = 0, largerSame = 0, slower = 0, slowerCli = 0, aboveCopy = 0, aboveO = 0, different = 0;
        int64_t ours = 0, peer = 0;
        // -O3 and -O3 --restore-previous over the files both were written for.
        int64_t withoutPrevious = 0, withPrevious = 0;
        int smallerWithPrevious = 0;
        double timeOurs = 0, timeCli = 0, timePeer = 0, cpuCli = 0, cpuPeer = 0;
    };
    Totals totals[] = {{"generated"}, {"corpus, 4 kB and more"}, {"corpus, under 4 kB"}, {"all"}};
    for (const Row& r : rows) {
        const double sizeRatio = r.peer > 0 && r.maximum > 0 ? double(r.maximum) / double(r.peer) : 0;
        const double timeRatio = r.peerTime > 0 && r.ourTime > 0 ? r.ourTime / r.peerTime : 0;
        const double cliRatio = r.peerTime > 0 && r.cliTime > 0 ? r.cliTime / r.peerTime : 0;
        std::printf("%-46.46s %8lld %8lld %8lld %8lld %8lld %8lld %6.3f %7.3f %7.3f %7.3f %6.2f %6.2f %4s %4s\n",
                    r.name.c_str(), (long long)r.input, (long long)r.copy, (long long)r.optimised, (long long)r.maximum,
                    (long long)r.previous, (long long)r.peer, sizeRatio, r.ourTime, r.cliTime, r.peerTime, timeRatio, cliRatio,
                    r.same ? "yes" : "NO", r.peer < 0 ? "-" : r.peerSame ? "yes" : "no");
        const int group = r.generated ? 0 : r.input >= 4096 ? 1 : 2;
        for (Totals* t : {&totals[group], &totals[3]}) {
            ++t->files;
            if (r.peer > 0 && r.maximum > 0) {
                t->ours += r.maximum;
                t->peer += r.peer;
                t->timeOurs += r.ourTime;
                t->timeCli += r.cliTime;
                t->timePeer += r.peerTime;
                t->cpuCli += r.cliCpu;
                t->cpuPeer += r.peerCpu;
                t->larger += r.maximum > r.peer;
                t->largerSame += r.maximum > r.peer && r.peerSame;
                t->slower += r.ourTime > r.peerTime;
                t->slowerCli += r.cliTime > r.peerTime;
            }
            if (r.maximum > 0 && r.previous > 0) {
                t->withoutPrevious += r.maximum;
                t->withPrevious += r.previous;
                t->smallerWithPrevious += r.previous < r.maximum;
            }
            t->aboveCopy += r.maximum > r.copy;
            t->aboveO += r.maximum > r.optimised;
            t->different += !r.same;
        }
    }
    for (const Totals& t : totals) {
        std::printf("\n%s, %d files: -O3 %lld bytes, gifsicle -O3 %lld bytes, ratio %.4f; time: save %.2f s, cli %.2f s, "
                    "gifsicle %.2f s, ratios %.3f and %.3f\n",
                    t.name, t.files, (long long)t.ours, (long long)t.peer, t.peer ? double(t.ours) / double(t.peer) : 0.0,
                    t.timeOurs, t.timeCli, t.timePeer, t.timePeer > 0 ? t.timeOurs / t.timePeer : 0.0,
                    t.timePeer > 0 ? t.timeCli / t.timePeer : 0.0);
        std::printf("  processor time: cli %.2f s, gifsicle %.2f s, ratio %.3f\n", t.cpuCli, t.cpuPeer,
                    t.cpuPeer > 0 ? t.cpuCli / t.cpuPeer : 0.0);
        std::printf("  -O3 larger than gifsicle -O3 on %d (on %d where gifsicle's file shows the document's screens to "
                    "this program); slower on %d (save) and %d (cli); larger than the copy on %d, "
                    "than -O on %d; screens differ from the document on %d\n",
                    t.larger, t.largerSame, t.slower, t.slowerCli, t.aboveCopy, t.aboveO, t.different);
        std::printf("  -O3 --restore-previous: %lld bytes against -O3's %lld, %.2f%% smaller; smaller on %d files\n",
                    (long long)t.withPrevious, (long long)t.withoutPrevious,
                    t.withoutPrevious ? 100.0 * double(t.withoutPrevious - t.withPrevious) / double(t.withoutPrevious) : 0.0,
                    t.smallerWithPrevious);
    }
}

}  // namespace movigram::bench
