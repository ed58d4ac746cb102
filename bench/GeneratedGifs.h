#pragma once
// The generated animations of the peer benchmark: the kinds of GIF files
// people shrink, written the way the programs that export them do (every
// frame whole unless the kind says otherwise).
#include <string>
#include <vector>

namespace movigram::bench {

struct GeneratedGif {
    std::string name;  // what the file is, for the table
    std::string path;
};

// Writes every kind into folder and lists them.
std::vector<GeneratedGif> writeGeneratedGifs(const std::string& folder);

// The files a benchmark works on, sorted by name: the .gif files of the
// folders given, or else the generated set (written into folder) and the
// .gif files of the corpus's real-world folder when it is there.
std::vector<GeneratedGif> benchFiles(const std::vector<std::string>& folders, const std::string& folder,
                                     const std::string& corpus);

}  // namespace movigram::bench
