// movigram-bench-frames: how the time of opening and saving grows with the
// number of frames.  Generated recordings of tiny frames (a small square
// moving over a 64 x 64 screen) of 1,000 / 10,000 / 100,000 frames go
// through `movigram-cli info`, `copy` and `optimize -O3`, beside
// `gifsicle --info` and `gifsicle -O3` on the same files in the same run.
//
// Times are wall-clock seconds of whole runs, process start included.  The
// complexity guard compares the time per frame at the largest count with
// the time per frame at the count before it: a program that is linear in
// the frame count stays within a small factor; a quadratic one does not.
//
//   movigram-bench-frames [--frames 1000,10000,100000] [--folder DIR] [--factor 3] [--cli PATH]
// (--cli: another build of movigram-cli, to compare with)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "PeerTools.h"
#include "TinyRecording.h"

using namespace movigram;
namespace fs = std::filesystem;

namespace {

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
    std::vector<int> counts{1000, 10000, 100000};
    std::string folder = (fs::temp_directory_path() / "movigram-bench-frames").string();
    double factor = 3;
    std::string cli = MOVIGRAM_CLI;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--frames") counts = parseCounts(argv[i + 1]);
        else if (arg == "--folder") folder = argv[i + 1];
        else if (arg == "--factor") factor = std::atof(argv[i + 1]);
        else if (arg == "--cli") cli = argv[i + 1];
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
    if (rows.size() < 2) return 0;
    const Row& small = rows[rows.size() - 2];
    const Row& large = rows.back();
    bool pass = true;
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
    return pass ? 0 : 1;
}
