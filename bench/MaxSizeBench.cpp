// movigram-bench-maxsize: optimize --max-size against its targets.  For
// each animation of the generated set and of the corpus's real-world
// folder it saves `optimize -O3` once (size S, time T), then asks for files
// of at most 75 %, 50 % and 25 % of S.  Each answer must be no larger than
// its target (or refused with exit 1 when no setting reaches it); the time
// is given as a multiple of T, the goal being about three.
//
//   movigram-bench-maxsize [FOLDER...]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "GeneratedGifs.h"
#include "PeerTools.h"

using namespace movigram;
namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const fs::path dir = fs::temp_directory_path() / ("movigram-bench-maxsize-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const auto files =
        bench::benchFiles({argv + 1, argv + argc}, (dir / "generated").string(), MOVIGRAM_CORPUS_DIR);
    const std::string cli = MOVIGRAM_CLI;
    const double shares[] = {0.75, 0.5, 0.25};

    std::printf("%-34s %10s %7s |", "file", "-O3 bytes", "-O3 s");
    for (double share : shares) std::printf(" %3.0f %%: %-24s |", share * 100, "bytes (share) time/T");
    std::printf("\n");
    int asked = 0, met = 0, refused = 0, over = 0;
    std::vector<double> ratios;
    for (const auto& file : files) {
        const std::string in = "'" + file.path + "'", out = (dir / "out.gif").string();
        const double t = bench::seconds([&] { bench::run(cli + " optimize -O3 --no-comment " + in + " -o " + out); });
        if (!fs::exists(out)) continue;
        const uintmax_t whole = fs::file_size(out);
        fs::remove(out);
        std::printf("%-34.34s %10ju %7.2f |", file.name.c_str(), whole, t);
        for (double share : shares) {
            const uintmax_t target = uintmax_t(double(whole) * share);
            bool ok = false;
            const double s = bench::seconds([&] {
                ok = bench::run(cli + " optimize --no-comment --max-size " + std::to_string(target) + " " + in +
                                " -o " + out);
            });
            ++asked;
            ratios.push_back(s / std::max(t, 1e-3));
            if (!ok) {
                ++refused;
                std::printf(" refused%18s %5.1f |", "", s / std::max(t, 1e-3));
                continue;
            }
            const uintmax_t size = fs::file_size(out);
            fs::remove(out);
            if (size > target) ++over;
            else ++met;
            std::printf(" %10ju (%3.0f %%)%s %5.1f |", size, 100.0 * double(size) / double(target),
                        size > target ? " OVER" : "     ", s / std::max(t, 1e-3));
        }
        std::printf("\n");
    }
    std::sort(ratios.begin(), ratios.end());
    if (!ratios.empty())
        std::printf("\n%d targets: %d met, %d refused, %d over; time against one -O3 save: median %.1f x, "
                    "largest %.1f x\n",
                    asked, met, refused, over, ratios[ratios.size() / 2], ratios.back());
    fs::remove_all(dir);
    return over == 0 ? 0 : 1;
}
