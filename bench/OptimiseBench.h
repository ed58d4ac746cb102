#pragma once
#include <string>

namespace movigram::bench {

// Prints, per animation of the generated set and the corpus, the sizes of
// movigram-cli's copy, optimize -O and optimize -O3 and of gifsicle -O3, the
// size ratio and the time ratio of -O3 against gifsicle -O3, and whether
// the -O3 file shows the screens of the document it was saved from; then
// the totals.
// Temporary files go to dir; cli is the movigram-cli to run.
void optimiseBench(const std::string& dir, const std::string& corpus, const std::string& cli);

}  // namespace movigram::bench
