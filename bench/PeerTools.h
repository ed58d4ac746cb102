#pragma once
// What the peer benchmarks share: timing a piece of work, and running the
// command-line tools they compare with.
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace movigram::bench {

// The best of `repeats` runs in seconds: other work on the machine only
// ever adds time.
inline double seconds(const std::function<void()>& work, int repeats = 1) {
    using Clock = std::chrono::steady_clock;
    double best = 1e30;
    for (int i = 0; i < repeats; ++i) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

// A shell command, its output discarded; true when it exited with 0.
inline bool run(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

inline bool have(const std::string& tool) { return run("command -v " + tool); }

// Debian's ImageMagick, not a wrapper of the same name earlier on the PATH.
inline std::string imageMagick() {
    return std::filesystem::exists("/usr/bin/convert") ? "/usr/bin/convert" : "convert";
}

}  // namespace movigram::bench
