// The command-line tool over the corpus: `info`, `info --json` and `copy`
// on every corpus GIF the reader can open.  The exit status must follow the
// reader's result, the JSON must parse (as UTF-8) and describe the frames the
// reader finds, and every copy must read back with the same images.  A file
// read only in part is copied only with --keep-partial: without it the copy
// fails and writes nothing.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>

#include "CorpusGif.h"
#include "document/GifReader.h"
#include "support/CorpusPath.h"

extern char** environ;

namespace movigram::test {
namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

std::string slurp(const std::string& path) {
    const auto bytes = loadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

class CliRunner {
public:
    CliRunner() {
        // Memory-backed when the machine has it: every copy is synced to disk.
        std::error_code ec;
        const auto base = std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm")
                                                                         : std::filesystem::temp_directory_path();
        std::string pattern = (base / "movigram-corpus-cli-XXXXXX").string();
        if (const char* dir = mkdtemp(pattern.data())) dir_ = dir;

        // In a sanitizer build the leak check at the tool's exit costs more
        // than the run itself, hundreds of times over; the same code is
        // leak-checked in the test processes.  Other sanitizer reports stay
        // on and are looked for on stderr.
        std::string asan = "ASAN_OPTIONS=";
        for (char** e = environ; *e; ++e) {
            if (std::string_view(*e).starts_with("ASAN_OPTIONS=")) asan = std::string(*e) + ":";
            else variables_.emplace_back(*e);
        }
        variables_.push_back(asan + "detect_leaks=0");
        for (auto& v : variables_) environment_.push_back(v.data());
        environment_.push_back(nullptr);
    }
    ~CliRunner() {
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }
    const std::filesystem::path& dir() const { return dir_; }

    // Runs the tool once per argument list, all at the same time (each with
    // its own stdout and stderr files, no shell involved), and waits for all.
    std::vector<CliRun> runAll(const std::vector<std::vector<std::string>>& commands) {
        std::vector<CliRun> runs(commands.size());
        std::vector<pid_t> pids(commands.size(), -1);
        for (size_t i = 0; i < commands.size(); ++i) {
            const std::string outPath = output(i, "out"), errPath = output(i, "err");
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            std::vector<std::string> all{MOVIGRAM_CLI};
            all.insert(all.end(), commands[i].begin(), commands[i].end());
            std::vector<char*> argv;
            for (auto& a : all) argv.push_back(a.data());
            argv.push_back(nullptr);
            if (posix_spawn(&pids[i], MOVIGRAM_CLI, &actions, nullptr, argv.data(), environment_.data()) != 0)
                pids[i] = -1;
            posix_spawn_file_actions_destroy(&actions);
        }
        for (size_t i = 0; i < commands.size(); ++i) {
            int status = 0;
            if (pids[i] > 0 && waitpid(pids[i], &status, 0) == pids[i])
                runs[i].status = WIFEXITED(status) ? WEXITSTATUS(status) : -2;  // -2: killed by a signal
            runs[i].out = slurp(output(i, "out"));
            runs[i].err = slurp(output(i, "err"));
        }
        return runs;
    }

private:
    std::string output(size_t i, const char* stream) const {
        return (dir_ / (std::to_string(i) + "." + stream)).string();
    }

    std::filesystem::path dir_;
    std::vector<std::string> variables_;
    std::vector<char*> environment_;
};

// Whether the bytes are valid UTF-8 (the JSON library refuses to write them
// otherwise).
bool validUtf8(const std::string& text) {
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

// What is wrong with the JSON description of a file, or empty.
std::string jsonProblem(const std::string& text, const GifReadOutput& gif) {
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        return std::string("output is not valid JSON: ") + e.what();
    }
    try {
        if (doc.at("screen").at("width") != gif.screen.width || doc.at("screen").at("height") != gif.screen.height)
            return "screen size differs from the reader's";
        if (doc.at("loopFound") != gif.loopFound) return "loopFound differs from the reader's";
        const nlohmann::json& list = doc.at("frames");
        if (list.size() != gif.frames.size())
            return "frame list differs in length from the reader's " + std::to_string(gif.frames.size());
        for (size_t i = 0; i < list.size(); ++i) {
            const TFrame& frame = *gif.frames[i];
            if (list[i].at("comment") != frame.isComment) return "frame " + std::to_string(i) + " kind differs";
            if (frame.isComment) {
                // Text that is not UTF-8 is shown as Latin-1 and cannot be
                // compared byte for byte.
                const std::string want = static_cast<const TTextFrame&>(frame).getText();
                if (validUtf8(want) && list[i].at("text") != want)
                    return "frame " + std::to_string(i) + " comment text differs";
            } else {
                const TRect& r = frame.rect;
                if (list[i].at("rect") != nlohmann::json::array({r.left, r.top, r.right, r.bottom}))
                    return "frame " + std::to_string(i) + " rect differs";
            }
        }
    } catch (const nlohmann::json::exception& e) {
        return std::string("unexpected JSON: ") + e.what();
    }
    return {};
}

int imageCount(const GifReadOutput& gif) {
    int n = 0;
    for (const auto& f : gif.frames) n += f->hasImage();
    return n;
}

TEST(CorpusCli, InfoAndCopyOnEveryReadableCorpusGif) {
    MOVIGRAM_REQUIRE_CORPUS();
    const auto files = corpusGifFiles();
    ASSERT_FALSE(files.empty());
    CliRunner cli;
    ASSERT_FALSE(cli.dir().empty()) << "no temporary folder";

#if defined(__SANITIZE_ADDRESS__)
    // Starting the sanitized tool is slow (it loads well over a hundred
    // shared libraries), so a sanitizer build runs it on every fourth
    // readable file to stay within a few tens of seconds.
    const int stride = 4;
#else
    const int stride = 1;
#endif
    int readable = 0, ran = 0;
    std::vector<std::string> problems, notes;
    for (const auto& path : files) {
        const std::string name = corpusName(path);
        const GifReadOutput gif = readGif(path.string());
        // Readable: read cleanly, or frames kept before an error.
        if (gif.result != GifOk && gif.frames.empty()) continue;
        if (readable++ % stride != 0) continue;
        ++ran;
        const bool clean = gif.result == GifOk;
        const int wantStatus = clean ? 0 : 1;
        auto problem = [&](const std::string& what) { problems.push_back(name + ": " + what); };
        auto sanitizerReport = [&](const char* command, const CliRun& run) {
            if (run.err.find("Sanitizer") != std::string::npos || run.err.find("runtime error:") != std::string::npos)
                problem(std::string(command) + " reports: " + run.err.substr(0, 400));
        };

        const auto copy = cli.dir() / "copy.gif", refused = cli.dir() / "refused.gif";
        std::filesystem::remove(copy);
        std::filesystem::remove(refused);
        std::vector<std::vector<std::string>> commands{{"info", path.string()},
                                                       {"info", "--json", path.string()},
                                                       {"copy", "--keep-partial", path.string(), copy.string()}};
        if (!clean) commands.push_back({"copy", path.string(), refused.string()});
        const std::vector<CliRun> runs = cli.runAll(commands);
        const CliRun &info = runs[0], &json = runs[1], &copyRun = runs[2];
        if (info.status != wantStatus)
            problem("info exits with " + std::to_string(info.status) + ", reader result " + std::to_string(gif.result));
        if (info.out.empty()) problem("info prints nothing");
        sanitizerReport("info", info);

        if (json.status != wantStatus) problem("info --json exits with " + std::to_string(json.status));
        if (std::string p = jsonProblem(json.out, gif); !p.empty()) problem("info --json: " + p);
        sanitizerReport("info --json", json);

        if (!clean) {
            if (runs[3].status != 1) problem("copy of a file read in part exits with " + std::to_string(runs[3].status));
            if (std::filesystem::exists(refused)) problem("copy of a file read in part wrote a file");
            sanitizerReport("copy", runs[3]);
        }
        // A file of comments alone has nothing to copy.
        const int wantCopy = imageCount(gif) > 0 ? 0 : 1;
        if (copyRun.status != wantCopy) problem("copy --keep-partial exits with " + std::to_string(copyRun.status));
        sanitizerReport("copy", copyRun);
        if (wantCopy != 0) continue;
        const GifReadOutput back = readGif(copy.string());
        if (back.result != GifOk) problem("the copy reads with result " + std::to_string(back.result));
        if (frameBeyondGifCoordinates(gif.frames) >= 0) {
            notes.push_back(name + ": a frame reaches past coordinate 65535; image count not compared");
            continue;
        }
        if (imageCount(back) != imageCount(gif))
            problem("the copy has " + std::to_string(imageCount(back)) + " images, the original " +
                    std::to_string(imageCount(gif)));
    }
    std::printf("cli: ran info, info --json and copy on %d of the %d readable corpus GIFs (%zu GIFs in all)\n", ran,
                readable, files.size());
    for (const auto& n : notes) std::printf("  %s\n", n.c_str());
    EXPECT_GT(ran, 0);
    for (const auto& p : problems) ADD_FAILURE() << p;
}

}  // namespace
}  // namespace movigram::test
