#include "CorpusPath.h"

#include <fstream>

#include <algorithm>
#include <cstdlib>

namespace movigram::test {

std::filesystem::path corpusDir() {
    if (const char* env = std::getenv("MOVIGRAM_CORPUS")) return env;
    return MOVIGRAM_CORPUS_DIR;
}

std::filesystem::path sourceDir() { return MOVIGRAM_SOURCE_DIR; }

bool corpusAvailable() {
    std::error_code ec;
    return std::filesystem::is_directory(corpusDir(), ec);
}

std::vector<std::filesystem::path> corpusFiles(const std::string& subfolder,
                                               const std::vector<std::string>& extensions) {
    std::vector<std::filesystem::path> files;
    const auto root = corpusDir() / subfolder;
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec)) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, ec)) {
        if (!entry.is_regular_file()) continue;
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (extensions.empty() || std::find(extensions.begin(), extensions.end(), ext) != extensions.end())
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace movigram::test
