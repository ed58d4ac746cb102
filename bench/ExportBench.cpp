// movigram-bench-export [FOLDER...]: the exports of movigram-cli convert
// beside the tools a user would run instead, file by file: animated WebP
// lossless and at quality 80 against gif2webp (lossless, -lossy -q 80),
// APNG against ffmpeg -f apng, MP4 against ffmpeg with the same H.264
// settings (libx264, CRF 23, preset medium, yuv420p).  Sizes in bytes and
// times in seconds side by side, then the totals over the files both made.
// FFmpeg refuses odd sizes for yuv420p: its MP4s are padded the way ours
// are (one row or column), so that every file has a peer.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "GeneratedGifs.h"
#include "PeerTools.h"

namespace fs = std::filesystem;
using namespace movigram;

namespace {

struct Pair {
    const char* name;
    std::string ours;  // arguments after "convert IN" (the output appended)
    std::string extension;
    std::string peer;  // a command with IN and OUT in it
    uintmax_t ourTotal = 0, peerTotal = 0;
    double ourTime = 0, peerTime = 0;
    int files = 0, smaller = 0;
};

std::string replaced(std::string text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = fs::temp_directory_path() / ("movigram-bench-export-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const auto files = bench::benchFiles({argv + 1, argv + argc}, (dir / "generated").string(), MOVIGRAM_CORPUS_DIR);
    const std::string cli = MOVIGRAM_CLI;
    const bool haveGif2webp = bench::have("gif2webp"), haveFfmpeg = bench::have("ffmpeg");
    if (!haveGif2webp) std::printf("gif2webp is not installed (Debian package webp): no WebP peers\n");
    if (!haveFfmpeg) std::printf("ffmpeg is not installed (Debian package ffmpeg): no APNG and MP4 peers\n");

    std::vector<Pair> pairs = {
        {"WebP lossless", "", ".webp", haveGif2webp ? "gif2webp -quiet IN -o OUT" : ""},
        {"WebP q80", "--quality 80", ".webp", haveGif2webp ? "gif2webp -quiet -lossy -q 80 IN -o OUT" : ""},
        {"APNG", "", ".png", haveFfmpeg ? "ffmpeg -nostdin -y -loglevel error -i IN -f apng OUT" : ""},
        {"MP4", "", ".mp4",
         haveFfmpeg ? "ffmpeg -nostdin -y -loglevel error -i IN -c:v libx264 -crf 23 -preset medium -pix_fmt yuv420p "
                      "-vf 'pad=ceil(iw/2)*2:ceil(ih/2)*2' OUT"
                    : ""},
    };

    std::printf("%-30s", "file");
    for (const Pair& p : pairs) std::printf(" | %-13s %9s %9s %6s %6s", p.name, "ours", "peer", "ours s", "peer s");
    std::printf("\n");
    for (const auto& file : files) {
        std::printf("%-30.30s", file.name.c_str());
        const std::string in = "'" + file.path + "'";
        for (Pair& p : pairs) {
            const std::string ours = (dir / ("ours" + p.extension)).string();
            const std::string theirs = (dir / ("peer" + p.extension)).string();
            fs::remove(ours);
            fs::remove(theirs);
            const double t = bench::seconds([&] { bench::run(cli + " convert " + in + " " + p.ours + " -o " + ours); });
            double u = 0;
            if (!p.peer.empty())
                u = bench::seconds([&] { bench::run(replaced(replaced(p.peer, "IN", in), "OUT", theirs)); });
            const bool made = fs::exists(ours), peerMade = fs::exists(theirs);
            const uintmax_t a = made ? fs::file_size(ours) : 0, b = peerMade ? fs::file_size(theirs) : 0;
            std::printf(" | %-13s %9s %9s %6.2f %6.2f", "", made ? std::to_string(a).c_str() : "failed",
                        peerMade ? std::to_string(b).c_str() : "failed", t, u);
            if (made && peerMade) {
                p.ourTotal += a;
                p.peerTotal += b;
                p.ourTime += t;
                p.peerTime += u;
                ++p.files;
                p.smaller += a <= b;
            }
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    std::printf("\ntotals over the files both made:\n");
    for (const Pair& p : pairs) {
        if (!p.files) continue;
        std::printf("  %-13s %4d files: ours %11ju bytes %8.2f s, peer %11ju bytes %8.2f s, size ours/peer %.3f, "
                    "ours no larger on %d\n",
                    p.name, p.files, p.ourTotal, p.ourTime, p.peerTotal, p.peerTime,
                    double(p.ourTotal) / double(std::max<uintmax_t>(p.peerTotal, 1)), p.smaller);
    }
    fs::remove_all(dir);
    return 0;
}
