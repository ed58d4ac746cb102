// movigram-bench-estimate: the size the editor's status bar shows against
// the size of the file then saved, file by file.  For each animation of
// the generated set and of the corpus's real-world folder, opened as the
// editor opens it, at -O (optimising save with split and mask), -O3
// (maximum compression) and -O3 with lossy 60, it measures the estimate
// (SizeEstimate, as the status bar runs it) and then saves the same
// document, and prints both sizes, their difference and the two times.
// Then, at -O3 lossy, how long a run asked to stop 50 ms after it started
// takes to give up (what closing the window waits for at most).
//
//   movigram-bench-estimate [FOLDER...]   (default: the generated set and
//                                          the corpus's real-world folder)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "GeneratedGifs.h"
#include "commands/FileCommands.h"
#include "commands/SaveCommands.h"

using namespace movigram;
namespace fs = std::filesystem;

namespace {

struct Level {
    const char* name;
    bool maximum;
    int lossy;
};
const Level levels[] = {{"-O", false, 100}, {"-O3", true, 100}, {"-O3 lossy 60", true, 60}};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = fs::temp_directory_path() / ("movigram-bench-estimate-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const auto files = bench::benchFiles({argv + 1, argv + argc}, (dir / "generated").string(), MOVIGRAM_CORPUS_DIR);

    const std::string out = (dir / "saved.gif").string();
    double worst[std::size(levels)] = {};
    int measured = 0, missing = 0;
    std::printf("%-50s %-13s %12s %12s %8s %9s %9s\n", "file", "level", "estimate", "saved", "diff", "est. s",
                "save s");
    for (const auto& [name, path] : files) {
        for (size_t l = 0; l < std::size(levels); ++l) {
            const Level& level = levels[l];
            Document doc;
            openFiles(doc, {path});
            if (doc.frameList.empty()) {
                std::printf("%-50s not read\n", name.c_str());
                ++missing;
                break;
            }
            doc.optimizeOnSave = true;
            doc.splitDirty = doc.transparentMaskOption = true;
            doc.maxCompression = level.maximum;
            doc.lossyQuality = level.lossy;
            auto start = std::chrono::steady_clock::now();
            const std::optional<uint64_t> estimate = SizeEstimate(doc).run();
            const double estimateSeconds = secondsSince(start);
            start = std::chrono::steady_clock::now();
            const bool saved = writePreparedCopy(doc, out, true, false).ok;
            const double saveSeconds = secondsSince(start);
            if (!estimate || !saved) {
                std::printf("%-50s %-13s %12s %12s\n", name.c_str(), level.name, estimate ? "" : "none",
                            saved ? "" : "not saved");
                ++missing;
                continue;
            }
            const uint64_t size = fs::file_size(out);
            const double diff = (double(*estimate) - double(size)) / double(size);
            worst[l] = std::max(worst[l], std::fabs(diff));
            ++measured;
            std::printf("%-50s %-13s %12llu %12llu %+7.2f%% %9.2f %9.2f\n", name.c_str(), level.name,
                        static_cast<unsigned long long>(*estimate), static_cast<unsigned long long>(size), diff * 100,
                        estimateSeconds, saveSeconds);
        }
    }
    double slowestStop = 0;
    std::string slowestFile;
    for (const auto& [name, path] : files) {
        Document doc;
        openFiles(doc, {path});
        if (doc.frameList.empty()) continue;
        doc.optimizeOnSave = doc.splitDirty = doc.transparentMaskOption = doc.maxCompression = true;
        doc.lossyQuality = 60;
        SizeEstimate estimate(doc);
        std::chrono::steady_clock::time_point stopped;
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            stopped = std::chrono::steady_clock::now();
            estimate.stop();
        });
        const bool finished = estimate.run().has_value();
        stopper.join();
        if (finished) continue;
        const double seconds = secondsSince(stopped);
        if (seconds > slowestStop) slowestStop = seconds, slowestFile = name;
    }

    std::printf("\n%d estimates against their saves, %d without one or unread\n", measured, missing);
    std::printf("slowest stop of a run at -O3 lossy 60: %.3f s (%s)\n", slowestStop, slowestFile.c_str());
    for (size_t l = 0; l < std::size(levels); ++l)
        std::printf("largest difference at %s: %.2f %%\n", levels[l].name, worst[l] * 100);
    fs::remove_all(dir);
    return 0;
}
