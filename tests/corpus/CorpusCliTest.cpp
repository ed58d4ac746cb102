// The command-line tool over the corpus: `info`, `info --json` and `copy`
// on every corpus GIF the reader can open.  The exit status must follow the reader's result, the
// JSON must parse and describe the frames the reader finds, and every copy
// must read back with the same images.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <variant>

#include "CorpusGif.h"
#include "document/GifReader.h"
#include "support/CorpusPath.h"

extern char** environ;

namespace movigram::test {
namespace {

// A JSON value, just enough to look at the tool's output.
struct Json {
    using Array = std::vector<Json>;
    using Object = std::map<std::string, Json>;
    std::variant<std::nullptr_t, bool, double, std::string, Array, Object> value;

    const Json* get(const std::string& key) const {
        const auto* o = std::get_if<Object>(&value);
        if (!o) return nullptr;
        auto it = o->find(key);
        return it == o->end() ? nullptr : &it->second;
    }
};

// A strict JSON parser (RFC 8259 syntax); fails on any deviation.
class JsonParser {
public:
    explicit JsonParser(const std::string& text) : s_(text) {}

    bool parse(Json& out) {
        skipSpace();
        if (!value(out, 0)) return false;
        skipSpace();
        return at_ == s_.size();
    }

private:
    void skipSpace() {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r')) ++at_;
    }
    bool literal(const char* word) {
        const std::string w(word);
        if (s_.compare(at_, w.size(), w) != 0) return false;
        at_ += w.size();
        return true;
    }
    bool value(Json& out, int depth) {
        if (depth > 64 || at_ >= s_.size()) return false;
        const char c = s_[at_];
        if (c == '{') return object(out, depth);
        if (c == '[') return array(out, depth);
        if (c == '"') {
            std::string text;
            if (!string(text)) return false;
            out.value = std::move(text);
            return true;
        }
        if (literal("true")) return out.value = true, true;
        if (literal("false")) return out.value = false, true;
        if (literal("null")) return out.value = nullptr, true;
        return number(out);
    }
    bool number(Json& out) {
        const size_t start = at_;
        if (at_ < s_.size() && s_[at_] == '-') ++at_;
        if (at_ >= s_.size() || !std::isdigit(static_cast<unsigned char>(s_[at_]))) return false;
        if (s_[at_] == '0') ++at_;
        else
            while (at_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[at_]))) ++at_;
        if (at_ < s_.size() && s_[at_] == '.') {
            ++at_;
            if (at_ >= s_.size() || !std::isdigit(static_cast<unsigned char>(s_[at_]))) return false;
            while (at_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[at_]))) ++at_;
        }
        if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
            ++at_;
            if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-')) ++at_;
            if (at_ >= s_.size() || !std::isdigit(static_cast<unsigned char>(s_[at_]))) return false;
            while (at_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[at_]))) ++at_;
        }
        out.value = std::strtod(s_.substr(start, at_ - start).c_str(), nullptr);
        return true;
    }
    bool string(std::string& out) {
        ++at_;  // opening quote
        while (at_ < s_.size()) {
            const auto c = static_cast<unsigned char>(s_[at_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') {
                out += char(c);
                continue;
            }
            if (at_ >= s_.size()) return false;
            const char e = s_[at_++];
            if (e == 'u') {
                if (at_ + 4 > s_.size()) return false;
                for (int i = 0; i < 4; ++i)
                    if (!std::isxdigit(static_cast<unsigned char>(s_[at_ + size_t(i)]))) return false;
                const unsigned code = unsigned(std::stoul(s_.substr(at_, 4), nullptr, 16));
                at_ += 4;
                out += code < 0x100 ? char(code) : '?';
            } else if (std::string_view("\"\\/bfnrt").find(e) != std::string_view::npos) {
                out += e;
            } else {
                return false;
            }
        }
        return false;
    }
    bool array(Json& out, int depth) {
        ++at_;
        Json::Array items;
        skipSpace();
        if (at_ < s_.size() && s_[at_] == ']') return ++at_, out.value = std::move(items), true;
        for (;;) {
            skipSpace();
            Json item;
            if (!value(item, depth + 1)) return false;
            items.push_back(std::move(item));
            skipSpace();
            if (at_ >= s_.size()) return false;
            if (s_[at_] == ']') return ++at_, out.value = std::move(items), true;
            if (s_[at_++] != ',') return false;
        }
    }
    bool object(Json& out, int depth) {
        ++at_;
        Json::Object members;
        skipSpace();
        if (at_ < s_.size() && s_[at_] == '}') return ++at_, out.value = std::move(members), true;
        for (;;) {
            skipSpace();
            std::string key;
            if (at_ >= s_.size() || s_[at_] != '"' || !string(key)) return false;
            skipSpace();
            if (at_ >= s_.size() || s_[at_++] != ':') return false;
            skipSpace();
            Json item;
            if (!value(item, depth + 1)) return false;
            members[key] = std::move(item);
            skipSpace();
            if (at_ >= s_.size()) return false;
            if (s_[at_] == '}') return ++at_, out.value = std::move(members), true;
            if (s_[at_++] != ',') return false;
        }
    }

    const std::string& s_;
    size_t at_ = 0;
};

TEST(CorpusJsonCheck, AcceptsJsonAndRefusesBrokenText) {
    Json j;
    EXPECT_TRUE(JsonParser(R"({"a":[1,-2.5e3,true,null,"x\"\u00e9"],"b":{}})").parse(j));
    for (const char* bad : {R"({"a":1,})", R"([1 2])", R"({"a":01})", "{\"a\":\"\x01\"}", R"("\x")", R"({"a":1}x)", "[", ""})
        EXPECT_FALSE(JsonParser(bad).parse(j)) << bad;
}

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

// What is wrong with the JSON description of a file, or empty.
std::string jsonProblem(const std::string& text, const GifReadOutput& gif) {
    Json doc;
    if (!JsonParser(text).parse(doc)) return "output is not valid JSON";
    const Json* screen = doc.get("screen");
    const Json* frames = doc.get("frames");
    const Json* loopFound = doc.get("loopFound");
    if (!screen || !frames || !loopFound) return "screen, frames or loopFound missing";
    const Json *w = screen->get("width"), *h = screen->get("height");
    if (!w || !h || std::get_if<double>(&w->value) == nullptr || std::get_if<double>(&h->value) == nullptr ||
        std::get<double>(w->value) != gif.screen.width || std::get<double>(h->value) != gif.screen.height)
        return "screen size differs from the reader's";
    if (std::get_if<bool>(&loopFound->value) == nullptr || std::get<bool>(loopFound->value) != gif.loopFound)
        return "loopFound differs from the reader's";
    const auto* list = std::get_if<Json::Array>(&frames->value);
    if (!list || list->size() != gif.frames.size())
        return "frame list differs in length from the reader's " + std::to_string(gif.frames.size());
    for (size_t i = 0; i < list->size(); ++i) {
        const Json* comment = (*list)[i].get("comment");
        if (!comment || std::get_if<bool>(&comment->value) == nullptr ||
            std::get<bool>(comment->value) != gif.frames[i]->isComment)
            return "frame " + std::to_string(i) + " kind differs";
        if (gif.frames[i]->isComment) {
            const Json* t = (*list)[i].get("text");
            const std::string want = static_cast<const TTextFrame&>(*gif.frames[i]).getText();
            if (!t || std::get_if<std::string>(&t->value) == nullptr || std::get<std::string>(t->value) != want)
                return "frame " + std::to_string(i) + " comment text differs";
        } else {
            const Json* rect = (*list)[i].get("rect");
            const auto* r = rect ? std::get_if<Json::Array>(&rect->value) : nullptr;
            const TRect& want = gif.frames[i]->rect;
            if (!r || r->size() != 4 || std::get<double>((*r)[0].value) != want.left ||
                std::get<double>((*r)[1].value) != want.top || std::get<double>((*r)[2].value) != want.right ||
                std::get<double>((*r)[3].value) != want.bottom)
                return "frame " + std::to_string(i) + " rect differs";
        }
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
        const int wantStatus = gif.result == GifOk ? 0 : 1;
        auto problem = [&](const std::string& what) { problems.push_back(name + ": " + what); };
        auto sanitizerReport = [&](const char* command, const CliRun& run) {
            if (run.err.find("Sanitizer") != std::string::npos || run.err.find("runtime error:") != std::string::npos)
                problem(std::string(command) + " reports: " + run.err.substr(0, 400));
        };

        const auto copy = cli.dir() / "copy.gif";
        std::filesystem::remove(copy);
        const std::vector<CliRun> runs =
            cli.runAll({{"info", path.string()}, {"info", "--json", path.string()}, {"copy", path.string(), copy.string()}});
        const CliRun &info = runs[0], &json = runs[1], &copyRun = runs[2];
        if (info.status != wantStatus)
            problem("info exits with " + std::to_string(info.status) + ", reader result " + std::to_string(gif.result));
        if (info.out.empty()) problem("info prints nothing");
        sanitizerReport("info", info);

        if (json.status != wantStatus) problem("info --json exits with " + std::to_string(json.status));
        if (std::string p = jsonProblem(json.out, gif); !p.empty()) problem("info --json: " + p);
        sanitizerReport("info --json", json);

        if (copyRun.status != wantStatus) problem("copy exits with " + std::to_string(copyRun.status));
        sanitizerReport("copy", copyRun);
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
