// movigram-bench-frames: how the time of opening and saving grows with the
// number of frames.  Generated recordings of tiny frames (a small square
// moving over a 64 x 64 screen) of 1,000 / 10,000 / 100,000 frames go
// through `movigram-cli info`, `copy` and `optimize -O3`, beside
// `gifsicle --info` and `gifsicle -O3` on the same files in the same run.
// Then 1920 x 1080 recordings (--hd counts, default 300; 0: none), one
// screen-like (a full first frame, then a changing window of about a sixth
// of the screen), the same with every frame whole, and one full-motion
// (every frame whole and different), go through the same commands with wall
// and processor time and peak memory.
//
// Times are wall-clock seconds of whole runs, process start included.  The
// complexity guard compares the time per frame at the largest count with
// the time per frame at the count before it: a program that is linear in
// the frame count stays within a small factor; a quadratic one does not.
//
// A further table times `copy` of large files beside `gifsicle` copying them
// (best of three runs each): a generated recording of 300 full frames of
// 800 x 600, and any files given with --large.  An untouched frame is
// written back with the LZW data it was read with, so copy costs reading,
// decoding and a check of each frame, no encoding.
//
//   movigram-bench-frames [--frames 1000,10000,100000] [--hd 300] [--folder DIR] [--factor 3] [--cli PATH]
//                         [--large FILE]...
// (--cli: another build of movigram-cli, to compare with)
//   movigram-bench-frames --write-hd KIND FRAMES FILE
// (only writes one 1920 x 1080 recording: KIND 0 screen-like, 1 full-motion,
// 2 full screens)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "PeerTools.h"
#include "Recordings.h"

using namespace movigram;
namespace fs = std::filesystem;

namespace {

// Times copy of each large file beside gifsicle copying it.
void copyLargeFiles(const std::vector<std::string>& files, const std::string& cli, bool peer,
                    const std::string& out) {
    std::printf("\ncopy of large files (best of 3):\n%-40s %10s %12s %16s %8s\n", "file", "bytes", "copy",
                "gifsicle copy", "ratio");
    for (const std::string& in : files) {
        bool ok = true, peerOk = peer;
        const double ours = bench::seconds([&] { ok = ok && bench::run(cli + " copy " + in + " " + out); }, 3);
        const double theirs =
            peer ? bench::seconds([&] { peerOk = peerOk && bench::run("gifsicle " + in + " -o " + out); }, 3) : 0;
        std::printf("%-40s %10ju", fs::path(in).filename().string().c_str(), uintmax_t(fs::file_size(in)));
        if (ok) std::printf(" %10.3f s", ours);
        else std::printf(" %12s", "-");
        if (peerOk) std::printf(" %14.3f s", theirs);
        else std::printf(" %16s", "-");
        if (ok && peerOk && theirs > 0) std::printf(" %7.2fx\n", ours / theirs);
        else std::printf(" %8s\n", "-");
        std::fflush(stdout);
    }
}

std::vector<int> parseCounts(const std::string& list) {
    std::vector<int> counts;
    size_t start = 0;
    while (start < list.size()) {
        const size_t comma = list.find(',', start);
        counts.push_back(std::atoi(list.substr(start, comma - start).c_str()));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return counts;
}

struct Row {
    int frames = 0;
    double seconds[5] = {};  // info, copy, -O3, gifsicle --info, gifsicle -O3; < 0: failed
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> counts{1000, 10000, 100000}, hdCounts{300};
    std::string folder = (fs::temp_directory_path() / "movigram-bench-frames").string();
    double factor = 3;
    std::string cli = MOVIGRAM_CLI;
    std::vector<std::string> largeFiles;
    if (argc == 5 && std::string(argv[1]) == "--write-hd") {
        const int kind = std::atoi(argv[2]);
        return kind >= 0 && kind <= 2 && bench::writeHdRecording(argv[4], std::atoi(argv[3]), bench::HdKind(kind)) ? 0 : 1;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--frames") counts = parseCounts(argv[i + 1]);
        else if (arg == "--folder") folder = argv[i + 1];
        else if (arg == "--factor") factor = std::atof(argv[i + 1]);
        else if (arg == "--cli") cli = argv[i + 1];
        else if (arg == "--hd") hdCounts = parseCounts(argv[i + 1]);
        else if (arg == "--large") largeFiles.push_back(argv[i + 1]);
    }
    const bool peer = bench::have("gifsicle");
    fs::create_directories(folder);

    const char* names[] = {"info", "copy", "-O3", "gifsicle --info", "gifsicle -O3"};
    std::printf("%9s %10s", "frames", "bytes");
    for (const char* name : names) std::printf(" %16s", name);
    std::printf("\n");
    std::vector<Row> rows;
    for (int n : counts) {
        if (n <= 0) continue;
        const std::string in = folder + "/tiny-" + std::to_string(n) + ".gif";
        const std::string out = folder + "/out.gif";
        if (!bench::writeTinyRecording(in, n)) {
            std::fprintf(stderr, "cannot write %s\n", in.c_str());
            return 1;
        }
        const std::string commands[] = {
            cli + " info " + in,
            cli + " copy " + in + " " + out,
            cli + " optimize " + in + " -o " + out + " -O3",
            peer ? "gifsicle --info " + in : "",
            peer ? "gifsicle -O3 " + in + " -o " + out : "",
        };
        Row row{.frames = n};
        for (int k = 0; k < 5; ++k) {
            bool ok = !commands[k].empty();
            const double t = ok ? bench::seconds([&] { ok = bench::run(commands[k]); }) : 0;
            row.seconds[k] = ok ? t : -1;
        }
        std::printf("%9d %10ju", n, uintmax_t(fs::file_size(in)));
        for (double t : row.seconds) {
            if (t < 0) std::printf(" %16s", "-");
            else std::printf(" %14.3f s", t);
        }
        std::printf("\n");
        std::fflush(stdout);
        rows.push_back(row);
    }

    // The guard: the time per frame at the largest count against the count
    // before it, for our three operations.
    bool pass = true;
    if (rows.size() >= 2) {
        const Row& small = rows[rows.size() - 2];
        const Row& large = rows.back();
        std::printf("\ntime per frame at %d frames against %d frames (limit %.1fx):\n", large.frames, small.frames,
                    factor);
        for (int k = 0; k < 3; ++k) {
            if (small.seconds[k] <= 0 || large.seconds[k] < 0) {
                std::printf("  %-6s FAIL (did not run)\n", names[k]);
                pass = false;
                continue;
            }
            const double ratio = (large.seconds[k] / large.frames) / (small.seconds[k] / small.frames);
            const bool ok = ratio <= factor;
            pass = pass && ok;
            std::printf("  %-6s %.2fx %s\n", names[k], ratio, ok ? "PASS" : "FAIL");
        }
        std::printf("complexity guard: %s\n", pass ? "PASS" : "FAIL");
    }

    const std::string recording = folder + "/large-800x600-300.gif";
    if (!bench::writeLargeRecording(recording, 300)) {
        std::fprintf(stderr, "cannot write %s\n", recording.c_str());
        return 1;
    }
    largeFiles.insert(largeFiles.begin(), recording);
    copyLargeFiles(largeFiles, cli, peer, folder + "/out.gif");

    // 1080p recordings: time and memory beside the peer's.
    for (int n : hdCounts) {
        if (n <= 0) continue;
        for (const bench::HdKind kind :
             {bench::HdKind::ScreenLike, bench::HdKind::FullScreens, bench::HdKind::FullMotion}) {
            const std::string in = folder + "/hd-" + std::to_string(int(kind)) + "-" + std::to_string(n) + ".gif";
            const std::string out = folder + "/out.gif";
            if (!bench::writeHdRecording(in, n, kind)) {
                std::fprintf(stderr, "cannot write %s\n", in.c_str());
                return 1;
            }
            std::printf("\n1920x1080 %s, %d frames, %.1f MB:\n", bench::hdKindName(kind), n,
                        double(fs::file_size(in)) / 1e6);
            std::printf("  %-16s %10s %10s %12s\n", "", "wall", "processor", "peak memory");
            const std::pair<const char*, std::string> runs[] = {
                {"info", cli + " info " + in},
                {"copy", cli + " copy " + in + " " + out},
                {"-O3", cli + " optimize " + in + " -o " + out + " -O3"},
                {"gifsicle --info", peer ? "gifsicle --info " + in : ""},
                {"gifsicle -O3", peer ? "gifsicle -O3 " + in + " -o " + out : ""},
            };
            for (const auto& [name, command] : runs) {
                const bench::Measured m = command.empty() ? bench::Measured{} : bench::measure(command);
                if (!m.ok) std::printf("  %-16s %10s\n", name, "-");
                else std::printf("  %-16s %8.2f s %8.2f s %8.0f MiB\n", name, m.wall, m.cpu, m.peakMiB);
                std::fflush(stdout);
            }
        }
    }

    return pass ? 0 : 1;
}
