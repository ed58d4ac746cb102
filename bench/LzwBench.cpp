// movigram-bench-lzw: GIF reading and writing throughput of our coder next to
// giflib's, in megapixels per second of CPU time, on the corpus and on large
// generated animations.  Before timing anything it checks that both sides
// produce the same pixels: each reader on each file, and each writer's output
// read back by the other side.
//
// Usage: movigram-bench-lzw [google benchmark flags]
// The corpus folder is MOVIGRAM_CORPUS when set, else the configured one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "BenchData.h"
#include "GiflibCoder.h"
#include "document/FileIo.h"
#include "document/GifReader.h"
#include "save/GifWriter.h"
#include "gif/ByteSink.h"

namespace movigram::bench {

namespace {

const char* const rateCounter = "Mpx/s";

struct InputSet {
    std::string name;
    std::string description;
    // Whole GIF files for the reading runs, and the pixels of their images.
    std::vector<std::vector<uint8_t>> files;
    uint64_t decodePixels = 0;
    // The animations for the writing runs: ours as frame chains, giflib's with
    // its colour maps made.
    std::vector<Animation> animations;
    std::vector<FrameChain> chains;
    std::vector<std::unique_ptr<GiflibAnimationWriter>> giflibWriters;
    uint64_t encodePixels = 0;
    uint64_t ourEncodedBytes = 0, giflibEncodedBytes = 0;
    size_t largestOutput = 0;  // bytes of the largest file either writer makes
    int mismatches = 0;
};

std::string corpusFolder() {
    if (const char* env = std::getenv("MOVIGRAM_CORPUS")) return env;
    return MOVIGRAM_CORPUS_DIR;
}

// Our reader on a file in memory; the images are taken as each is decoded,
// before any later rewriting of the chain.
struct OurImages {
    bool ok = false;
    std::vector<Picture> pictures;
    TMyPalette global;
};

OurImages ourDecode(std::span<const uint8_t> file) {
    OurImages result;
    GifReadOptions options;
    options.paint = [&](const TFrame& frame) { result.pictures.push_back(pictureOf(frame)); };
    GifReadOutput out = readGifMemory(file, "bench", options);
    result.ok = out.result == GifOk;
    result.global = out.globalPalette.value_or(TMyPalette());
    return result;
}

std::vector<uint8_t> ourEncode(const FrameChain& chain, const TMyPalette& global) {
    ByteSink sink;
    writeGifTo(sink, chain.front().get(), global, GifWriteOptions{});
    return sink.bytes();
}

void warn(InputSet& set, const std::string& what) {
    std::printf("WARNING: %s: %s\n", set.name.c_str(), what.c_str());
    ++set.mismatches;
}

// Adds an animation to the writing runs, after checking that what each
// writer makes of it reads back to the same pixels on the other side.
void addAnimation(InputSet& set, Animation animation, const std::string& label) {
    FrameChain chain = toFrameChain(animation);
    auto giflibWriter = std::make_unique<GiflibAnimationWriter>(animation);

    const std::vector<uint8_t> ours = ourEncode(chain, animation.global);
    const GiflibImages readByGiflib = giflibDecode(ours);
    if (!readByGiflib.ok || readByGiflib.pictures != animation.pictures)
        warn(set, label + ": giflib does not read back what movigram wrote");

    std::vector<uint8_t> theirs;
    if (!giflibWriter->write(theirs)) warn(set, label + ": giflib failed to write");
    const OurImages readByUs = ourDecode(theirs);
    if (!readByUs.ok || readByUs.pictures != animation.pictures)
        warn(set, label + ": movigram does not read back what giflib wrote");

    set.ourEncodedBytes += ours.size();
    set.giflibEncodedBytes += theirs.size();
    set.largestOutput = std::max({set.largestOutput, ours.size(), theirs.size()});
    set.encodePixels += animation.pixelCount();
    set.animations.push_back(std::move(animation));
    set.chains.push_back(std::move(chain));
    set.giflibWriters.push_back(std::move(giflibWriter));
}

// A generated animation: written once by our writer to give the file both
// readers decode.
InputSet generatedSet(std::string name, std::string description, Animation animation) {
    InputSet set;
    set.name = std::move(name);
    set.description = std::move(description);
    std::vector<uint8_t> file = ourEncode(toFrameChain(animation), animation.global);
    const OurImages ours = ourDecode(file);
    const GiflibImages theirs = giflibDecode(file);
    if (!ours.ok || ours.pictures != animation.pictures) warn(set, "movigram misreads the generated file");
    if (!theirs.ok || theirs.pictures != animation.pictures) warn(set, "giflib misreads the generated file");
    set.decodePixels = animation.pixelCount();
    set.files.push_back(std::move(file));
    addAnimation(set, std::move(animation), "generated animation");
    return set;
}

// The corpus files both readers accept and decode to the same pixels; files
// that only one of them accepts are counted but not timed, since the two
// would not have done the same work.
InputSet corpusSet(const std::string& folder, bool& found) {
    InputSet set;
    set.name = "corpus";
    const std::vector<std::string> paths = gifFilesBelow(folder);
    found = !paths.empty();
    int rejectedByBoth = 0, oursOnly = 0, giflibOnly = 0, imageless = 0, unwritable = 0;
    size_t images = 0;
    for (const std::string& path : paths) {
        std::vector<uint8_t> file;
        if (readWholeFile(path, file) != ReadFileResult::Ok) continue;
        OurImages ours = ourDecode(file);
        const GiflibImages theirs = giflibDecode(file);
        if (!ours.ok || !theirs.ok) {
            ++(ours.ok ? oursOnly : theirs.ok ? giflibOnly : rejectedByBoth);
            continue;
        }
        if (ours.pictures.empty()) {
            ++imageless;
            continue;
        }
        if (ours.pictures != theirs.pictures) {
            warn(set, path + ": movigram and giflib decode different pixels");
            continue;
        }
        images += ours.pictures.size();
        for (const Picture& p : ours.pictures) set.decodePixels += uint64_t(p.width) * uint64_t(p.height);
        set.files.push_back(std::move(file));
        // A GIF cannot place an image past 65535; the writer clips such
        // images, so they are read but not written.
        const bool writable = std::all_of(ours.pictures.begin(), ours.pictures.end(), [](const Picture& p) {
            return p.left + p.width <= 0xFFFF && p.top + p.height <= 0xFFFF;
        });
        if (writable) addAnimation(set, Animation{ours.global, std::move(ours.pictures)}, path);
        else ++unwritable;
    }
    char text[256];
    std::snprintf(text, sizeof text, "%zu of %zu files", set.files.size(), paths.size());
    set.description = text;
    if (found) {
        std::printf("corpus %s: %zu files (%zu images) read in the timings, %zu written; left out: %d rejected "
                    "by both readers, %d accepted by movigram only, %d by giflib only, %d without images, %d "
                    "with images past 65535 (not written)\n",
                    folder.c_str(), set.files.size(), images, set.chains.size(), rejectedByBoth, oursOnly,
                    giflibOnly, imageless, unwritable);
    }
    return set;
}

void reportRate(benchmark::State& state, uint64_t pixels) {
    state.counters[rateCounter] =
        benchmark::Counter(double(pixels) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void decodeMovigram(benchmark::State& state, const InputSet* set) {
    for (auto _ : state) {
        for (const auto& file : set->files) {
            GifReadOutput out = readGifMemory(file, "bench");
            benchmark::DoNotOptimize(out.frames.data());
        }
    }
    reportRate(state, set->decodePixels);
}

void decodeGiflib(benchmark::State& state, const InputSet* set) {
    for (auto _ : state) {
        for (const auto& file : set->files) {
            bool ok = giflibSlurp(file);
            benchmark::DoNotOptimize(ok);
        }
    }
    reportRate(state, set->decodePixels);
}

// Both writers put whole files into memory made ready before the timing, so
// that neither figure includes growing a buffer (page faults cost more here
// than the coding of small images).  Ours writes through a file sink, as a
// save does, onto a memory stream; giflib's callback appends to a vector
// whose capacity is kept from one run to the next.
void encodeMovigram(benchmark::State& state, const InputSet* set) {
    std::vector<char> memory(set->largestOutput + 4096);
    for (auto _ : state) {
        for (size_t i = 0; i < set->chains.size(); ++i) {
            std::FILE* file = fmemopen(memory.data(), memory.size(), "wb");
            if (!file) {
                state.SkipWithError("no memory stream");
                break;
            }
            ByteSink sink(file);
            const bool ok = writeGifTo(sink, set->chains[i].front().get(), set->animations[i].global,
                                       GifWriteOptions{}) &&
                            sink.flush();
            std::fclose(file);
            if (!ok) state.SkipWithError("writing to memory failed");
            benchmark::DoNotOptimize(memory.data());
        }
    }
    reportRate(state, set->encodePixels);
}

void encodeGiflib(benchmark::State& state, const InputSet* set) {
    std::vector<uint8_t> out;
    out.reserve(set->largestOutput + 4096);
    for (auto _ : state) {
        for (const auto& writer : set->giflibWriters) {
            if (!writer->write(out)) state.SkipWithError("giflib failed to write");
            benchmark::DoNotOptimize(out.data());
        }
    }
    reportRate(state, set->encodePixels);
}

// The console output as usual, with every run's rate kept for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const auto counter = run.counters.find(rateCounter);
            if (run.error_occurred || counter == run.counters.end()) continue;
            Rates& rates = rates_[run.run_name.function_name];
            if (run.run_type == Run::RT_Iteration) rates.each.push_back(counter->second.value);
            else if (run.aggregate_name == "median") rates.median = counter->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // The median rate of a benchmark in Mpx/s, or a negative value when it
    // did not run.
    double rate(const std::string& name) const {
        const auto it = rates_.find(name);
        if (it == rates_.end()) return -1;
        if (it->second.median >= 0) return it->second.median;
        std::vector<double> each = it->second.each;
        if (each.empty()) return -1;
        std::sort(each.begin(), each.end());
        const size_t n = each.size();
        return n % 2 ? each[n / 2] : (each[n / 2 - 1] + each[n / 2]) / 2;
    }

private:
    struct Rates {
        std::vector<double> each;
        double median = -1;
    };
    std::map<std::string, Rates> rates_;
};

void printSummary(const SummaryReporter& reporter, const std::vector<InputSet>& sets) {
    std::printf("\nLZW throughput in megapixels per second of CPU time (median of the repetitions)\n\n");
    std::printf("%-10s %-22s %8s  | %-27s | %-27s\n", "input", "", "Mpx", "   decode", "   encode");
    std::printf("%-10s %-22s %8s  | %9s %8s %8s | %9s %8s %8s\n", "", "", "", "movigram", "giflib", "ratio",
                "movigram", "giflib", "ratio");
    auto cell = [](double ours, double theirs) {
        char text[64];
        if (ours < 0 || theirs <= 0) std::snprintf(text, sizeof text, "%27s", "not run");
        else std::snprintf(text, sizeof text, "%9.1f %8.1f %8.2f", ours, theirs, ours / theirs);
        return std::string(text);
    };
    for (const InputSet& set : sets) {
        const std::string d = "decode/" + set.name + "/", e = "encode/" + set.name + "/";
        std::printf("%-10s %-22s %8.1f  | %s | %s\n", set.name.c_str(), set.description.c_str(),
                    double(set.decodePixels) / 1e6,
                    cell(reporter.rate(d + "movigram"), reporter.rate(d + "giflib")).c_str(),
                    cell(reporter.rate(e + "movigram"), reporter.rate(e + "giflib")).c_str());
    }
    std::printf("\n");
    for (const char* op : {"decode", "encode"}) {
        for (const InputSet& set : sets) {
            const std::string prefix = std::string(op) + "/" + set.name + "/";
            const double ours = reporter.rate(prefix + "movigram"), theirs = reporter.rate(prefix + "giflib");
            if (ours < 0 || theirs <= 0) continue;
            std::printf("%s %s: movigram %.1f Mpx/s, giflib %.1f Mpx/s, ratio %.2f\n", op, set.name.c_str(), ours,
                        theirs, ours / theirs);
        }
    }
    std::printf("\n");
    int mismatches = 0;
    for (const InputSet& set : sets) {
        mismatches += set.mismatches;
        std::printf("written size %s: movigram %.0f kB, giflib %.0f kB\n", set.name.c_str(),
                    double(set.ourEncodedBytes) / 1e3, double(set.giflibEncodedBytes) / 1e3);
    }
    if (mismatches)
        std::printf("WARNING: %d pixel check(s) failed; see the warnings before the timings\n", mismatches);
    else
        std::printf("pixel check: both readers agree on every timed file, and each writer's output reads "
                    "back identically on the other side\n");
}

}  // namespace

}  // namespace movigram::bench

int main(int argc, char** argv) {
    using namespace movigram::bench;

    // Five repetitions unless told otherwise, run in random order so that
    // both sides of a comparison meet the same load on a busy machine; the
    // summary takes the median.
    std::vector<char*> args(argv, argv + argc);
    bool repetitionsGiven = false;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).starts_with("--benchmark_repetitions")) repetitionsGiven = true;
    static char repetitions[] = "--benchmark_repetitions=5";
    static char interleaving[] = "--benchmark_enable_random_interleaving=true";
    static char aggregatesOnly[] = "--benchmark_display_aggregates_only=true";
    if (!repetitionsGiven) {
        args.push_back(repetitions);
        args.push_back(interleaving);
        args.push_back(aggregatesOnly);
    }
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

    std::vector<InputSet> sets;
    const std::string folder = corpusFolder();
    bool found = false;
    InputSet corpus = corpusSet(folder, found);
    if (!found) std::printf("corpus: no GIF files under %s; skipped\n", folder.c_str());
    else if (!corpus.files.empty()) sets.push_back(std::move(corpus));
    sets.push_back(generatedSet("anim640", "100 frames 640x480", generateAnimation(100, 640, 480, 1)));
    sets.push_back(generatedSet("photo1080", "1920x1080 grainy photo", generatePhoto(1920, 1080, 2)));

    for (const InputSet& set : sets) {
        const InputSet* p = &set;
        benchmark::RegisterBenchmark(("decode/" + set.name + "/movigram").c_str(), decodeMovigram, p);
        benchmark::RegisterBenchmark(("decode/" + set.name + "/giflib").c_str(), decodeGiflib, p);
        benchmark::RegisterBenchmark(("encode/" + set.name + "/movigram").c_str(), encodeMovigram, p);
        benchmark::RegisterBenchmark(("encode/" + set.name + "/giflib").c_str(), encodeGiflib, p);
    }

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter, sets);
    benchmark::Shutdown();
    return 0;
}
