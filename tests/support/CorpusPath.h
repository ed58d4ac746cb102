#pragma once
// Where the third-party test corpus lives.  Tests that need it call
// requireCorpus(), which skips the test with a clear message when the folder
// is absent (a plain clone has none).
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace movigram::test {

std::filesystem::path corpusDir();
std::filesystem::path sourceDir();
bool corpusAvailable();

// Every file under the corpus subfolder with one of the extensions
// (lower-case, with dot), sorted.
std::vector<std::filesystem::path> corpusFiles(const std::string& subfolder,
                                               const std::vector<std::string>& extensions);

// A file's bytes (none when it cannot be read).
std::vector<uint8_t> fileBytes(const std::filesystem::path& path);

}  // namespace movigram::test

#define MOVIGRAM_REQUIRE_CORPUS()                                                                     \
    do {                                                                                              \
        if (!::movigram::test::corpusAvailable())                                                     \
            GTEST_SKIP() << "test corpus not found at " << ::movigram::test::corpusDir()              \
                         << " (set MOVIGRAM_CORPUS_DIR or MOVIGRAM_CORPUS to run the corpus tests)"; \
    } while (0)
