// Runs one fuzz target's entry point over the inputs kept in fuzz/regressions,
// its seeds in fuzz/seeds and the corpus files of the kind it reads.
// Compiled once per target; the suite is named after the target
// (MOVIGRAM_FUZZ_SUITE) and the corpus files are those with the extensions in
// MOVIGRAM_FUZZ_CORPUS_EXTENSIONS.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "support/CorpusPath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// In a build with AddressSanitizer a single allocation over 2 GB stops the
// program, as it stops the fuzzers (-rss_limit_mb=2048): no input needs that
// much under the fuzz targets' decode limits.
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=2048"; }

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The fuzzers give up on an input after 10 seconds (-timeout=10).  Every
// input kept so far takes milliseconds once fixed, even in a debug build with
// the sanitizers, so the same bound on the kept inputs leaves a wide margin.
// Corpus files are real pictures, some large, and have no bound.
constexpr std::chrono::seconds timeLimit{10};

// Feeds every file to the target; a fault stops the program, so the file's
// name goes out first.
size_t replay(const std::vector<fs::path>& files, bool timed) {
    for (const fs::path& file : files) {
        std::cout << "replaying " << file.string() << std::endl;
        const std::vector<uint8_t> bytes = readFile(file);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0) << file;
        const auto took = std::chrono::steady_clock::now() - start;
        if (timed) {
            EXPECT_LT(took, timeLimit)
                << file << " took " << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
        }
    }
    return files.size();
}

// The files in a folder, sorted; none when there is no such folder.
std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(MOVIGRAM_FUZZ_SUITE, Regressions) {
    std::vector<fs::path> files = filesIn(MOVIGRAM_FUZZ_REGRESSIONS_DIR);
    // The folder always keeps some inputs; an empty one means a wrong path.
    ASSERT_FALSE(files.empty()) << "no inputs in " << MOVIGRAM_FUZZ_REGRESSIONS_DIR;
    for (fs::path& seed : filesIn(MOVIGRAM_FUZZ_SEEDS_DIR)) files.push_back(std::move(seed));
    const size_t n = replay(files, true);
    std::cout << "replayed " << n << " regression inputs and seeds" << std::endl;
    RecordProperty("replayed", int(n));
}

TEST(MOVIGRAM_FUZZ_SUITE, CorpusFiles) {
    MOVIGRAM_REQUIRE_CORPUS();
    std::vector<std::string> extensions;
    std::istringstream list(MOVIGRAM_FUZZ_CORPUS_EXTENSIONS);
    for (std::string extension; list >> extension;) extensions.push_back(extension);
    if (extensions.empty()) GTEST_SKIP() << "the corpus has no files of the kind this target reads";
    const auto files = movigram::test::corpusFiles("", extensions);
    ASSERT_FALSE(files.empty());
    const size_t n = replay(files, false);
    std::cout << "replayed " << n << " corpus files" << std::endl;
    RecordProperty("replayed", int(n));
}

}  // namespace
