#pragma once
// What the peer benchmarks share: timing a piece of work, and running the
// command-line tools they compare with.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// One run of a shell command (output discarded): wall and processor
// seconds, and its peak resident memory.
struct Measured {
    bool ok = false;
    double wall = 0, cpu = 0;
    double peakMiB = 0;
};

inline Measured measure(const std::string& command) {
    Measured m;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) return m;
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 1);
            dup2(null, 2);
        }
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return m;
    m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.peakMiB = double(usage.ru_maxrss) / 1024.0;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

inline bool have(const std::string& tool) { return run("command -v " + tool); }

// Debian's ImageMagick, not a wrapper of the same name earlier on the PATH.
inline std::string imageMagick() {
    return std::filesystem::exists("/usr/bin/convert") ? "/usr/bin/convert" : "convert";
}

}  // namespace movigram::bench
