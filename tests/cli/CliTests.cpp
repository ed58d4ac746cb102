// movigram-cli run as a user runs it: output, files written, exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>
#include <nlohmann/json.hpp>

#include "document/GifReader.h"
#include "import/ImportTestFiles.h"
#include "support/CorpusPath.h"
#include "support/GifBuilder.h"
#include "support/PngBuilder.h"

namespace movigram {
namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
    // Every message on stderr is one line naming the command.
    bool errLinesStartWith(const std::string& prefix) const {
        if (err.empty() || err.back() != '\n') return false;
        for (size_t at = 0; at < err.size(); at = err.find('\n', at) + 1)
            if (err.compare(at, prefix.size(), prefix) != 0) return false;
        return true;
    }
};

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string sample() { return (test::sourceDir() / "resources/samples/bounce.gif").string(); }

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("movigram-cli-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    CliRun cli(const std::string& args) const {
        CliRun run;
        const auto errPath = dir / "stderr.txt";
        const std::string command = std::string(MOVIGRAM_CLI) + " " + args + " 2>" + errPath.string();
        FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe) return run;
        std::array<char, 4096> buf;
        while (size_t n = std::fread(buf.data(), 1, buf.size(), pipe)) run.out.append(buf.data(), n);
        const int raw = ::pclose(pipe);
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.err = slurp(errPath);
        return run;
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path(name);
    }
    // The sample cut short in the middle of its frames: read in part.
    std::string truncatedSample() const {
        const std::string bytes = slurp(sample());
        return write("cut.gif", std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() / 2)));
    }
    std::filesystem::path dir;
};

TEST_F(Cli, InfoDescribesTheSample) {
    const CliRun run = cli("info " + sample());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("screen 96x64, global colors 32"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("bounce.gif.000 rect 0,0,96,64 delay 60 ms, do not restore"), std::string::npos);
    EXPECT_NE(run.out.find("comment \"Created with Movigram GIF V 1.22"), std::string::npos);
}

TEST_F(Cli, InfoJsonIsValidUtf8Json) {
    CliRun run = cli("info --json " + sample());
    ASSERT_EQ(run.status, 0);
    const nlohmann::json info = nlohmann::json::parse(run.out);
    EXPECT_EQ(info["screen"]["width"], 96);
    EXPECT_EQ(info["loopCount"], 0);
    ASSERT_EQ(info["frames"].size(), 21u);
    EXPECT_EQ(info["frames"][1]["delayMs"], 60);
    EXPECT_TRUE(info["frames"][0]["text"].get<std::string>().starts_with("Created with Movigram GIF V 1.22\r\n"));

    // UTF-8 text stays as it is; a byte that is no UTF-8 is read as Latin-1.
    test::GifBuilder gif(1, 1, 2);
    gif.comment("caf\xC3\xA9").comment("caf\xE9").image(0, 0, 1, 1, {0}).trailer();
    run = cli("info --json " + write("text.gif", gif.bytes()));
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json text = nlohmann::json::parse(run.out);
    EXPECT_EQ(text["frames"][0]["text"], "caf\xC3\xA9");
    EXPECT_EQ(text["frames"][1]["text"], "caf\xC3\xA9");
}

TEST_F(Cli, InfoAndConvertReadAnAnimatedPng) {
    const test::PngBytes red = {255, 0, 0, 255}, clear = {0, 0, 0, 0};
    const std::string png = write("two.png", test::apngFile(1, 1, {{1, 1, 0, 0, 1, 4, 0, 0, red},
                                                                    {1, 1, 0, 0, 3, 4, 0, 0, clear}}, 2));
    CliRun run = cli("info --json " + png);
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json info = nlohmann::json::parse(run.out);
    EXPECT_EQ(info["loopFound"], true);
    EXPECT_EQ(info["loopCount"], 2);
    ASSERT_EQ(info["frames"].size(), 2u);
    EXPECT_EQ(info["frames"][0]["delayMs"], 250);
    EXPECT_EQ(info["frames"][1]["delayMs"], 750);
    EXPECT_GE(info["frames"][1]["transparentIndex"], 0);

    run = cli("convert " + png + " -o " + path("two.gif"));
    ASSERT_EQ(run.status, 0) << run.err;
    run = cli("info --json " + path("two.gif"));
    const nlohmann::json gif = nlohmann::json::parse(run.out);
    EXPECT_EQ(gif["loopCount"], 2);
    EXPECT_EQ(gif["frames"].size(), 3u);  // our comment, then the two frames

    run = cli("info " + write("cut.png", test::PngBytes(test::pngSignature())));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("is not a readable PNG image"), std::string::npos) << run.err;
}

TEST_F(Cli, CopyWithAndWithoutComment) {
    const auto plain = path("plain.gif"), commented = path("commented.gif");
    // The sample already starts with our comment: copying keeps just that one.
    ASSERT_EQ(cli("copy " + sample() + " " + commented).status, 0);
    ASSERT_EQ(cli("copy --no-comment " + sample() + " " + plain).status, 0);
    const auto a = readGif(commented), b = readGif(plain), original = readGif(sample());
    ASSERT_EQ(a.result, GifOk);
    EXPECT_EQ(a.frames.size(), original.frames.size());
    EXPECT_EQ(b.frames.size(), original.frames.size());
    EXPECT_TRUE(a.loopFound);

    // A file without a comment gets one in front, unless asked not to.
    const auto stripped = path("stripped.gif");
    ASSERT_EQ(cli("copy " + plain + " " + stripped + " --no-comment").status, 0);
    ASSERT_EQ(cli("copy " + stripped + " " + commented).status, 0);
    EXPECT_EQ(readGif(commented).frames.size(), original.frames.size());
}

// One rule for every command: an input error is exit status 1 and nothing is
// written (an existing output stays), unless --keep-partial, which writes
// what was read, warns and exits 0.
TEST_F(Cli, InputErrorsFollowOneExitRule) {
    const std::string cut = truncatedSample();
    const std::string commands[] = {"copy " + cut + " OUT",
                                    "optimize " + cut + " -o OUT",
                                    "reduce " + cut + " --colors 8 -o OUT",
                                    "convert " + cut + " -o OUT",
                                    "frames " + cut + " -o OUT",
                                    "edit " + cut + " -o OUT --loop 2"};
    for (std::string command : commands) {
        const std::string out = path("out.gif");
        command.replace(command.find("OUT"), 3, out);
        std::ofstream(out) << "old";
        CliRun run = cli(command);
        EXPECT_EQ(run.status, 1) << command << "\n" << run.err;
        EXPECT_EQ(slurp(out), "old") << command;
        EXPECT_NE(run.err.find("is not GIF format or is corrupted"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("--keep-partial"), std::string::npos) << run.err;

        run = cli(command + " --keep-partial");
        EXPECT_EQ(run.status, 0) << command << "\n" << run.err;
        EXPECT_NE(run.err.find("warning:"), std::string::npos) << run.err;
        const bool framesCommand = command.starts_with("frames");
        EXPECT_EQ(readGif(framesCommand ? path("out-01.gif") : out).result, GifOk) << command;
    }
    EXPECT_EQ(cli("info " + cut).status, 1);
    EXPECT_EQ(cli("info --keep-partial " + cut).status, 0);
    for (const std::string& command : {"info " + path("missing.gif"), "optimize " + path("missing.gif") + " -o " + path("o.gif"),
                                       "edit " + path("missing.gif") + " -o " + path("o.gif")}) {
        EXPECT_EQ(cli(command).status, 1) << command;
        EXPECT_FALSE(std::filesystem::exists(path("o.gif")));
    }
}

TEST_F(Cli, MessagesAreOneLineNamingTheCommandAndTheFile) {
    std::ofstream(dir / "text.gif") << "this is not a picture";
    const CliRun run = cli("optimize " + path("text.gif") + " -o " + path("out.gif"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "movigram-cli optimize: File \"" + path("text.gif") + "\" is not GIF format or is corrupted\n");
    EXPECT_FALSE(std::filesystem::exists(path("out.gif")));

    // A reader whose message names no file gets the file named.
    std::ofstream(dir / "broken.bmp") << "BM no bitmap after all";
    const CliRun bmp = cli("convert " + path("broken.bmp") + " -o " + path("out.gif"));
    EXPECT_EQ(bmp.status, 1);
    EXPECT_TRUE(bmp.errLinesStartWith("movigram-cli convert: ")) << bmp.err;
    EXPECT_NE(bmp.err.find(path("broken.bmp")), std::string::npos) << bmp.err;

    const CliRun comments = cli("frames " + write("note.gif", test::GifBuilder(1, 1, 0).comment("note").trailer().bytes()) +
                                " -o " + path("f.gif"));
    EXPECT_EQ(comments.status, 1);
    EXPECT_TRUE(comments.errLinesStartWith("movigram-cli frames: nothing to save")) << comments.err;
}

// One failure is one line, and one cause one text.
TEST_F(Cli, EachFailureIsOneLineNamingItsFile) {
    const std::string in = sample(), out = path("out.gif");
    // A fixed palette without colours would turn every pixel black.
    std::ofstream(dir / "empty.pal") << "";
    std::ofstream(dir / "none.pal") << "MVGR-PAL\r\n0100\r\n0\r\n";
    std::ofstream(dir / "words.txt") << "no colours here\n";
    std::ofstream(dir / "bad.bmp") << "BM no bitmap after all";
    // One frame read, then a graphic control block of the wrong size.
    test::GifBuilder one(2, 2, 2);
    one.image(0, 0, 2, 2, {0, 1, 1, 0}).control(5, -1, 0, 5).image(0, 0, 2, 2, {1, 1, 1, 1}).trailer();
    const std::string cut = write("one.gif", one.bytes());
    std::ofstream(dir / "text.gif") << "this is not a picture";
    std::filesystem::create_directories(dir / "folder.gif");
    const struct {
        std::string args;
        std::string named;     // the file the line names
        const char* says;
    } cases[] = {
        {"convert " + in + " -o " + out + " --global-palette fixed=" + path("empty.pal"), path("empty.pal"), "holds no colour"},
        {"convert " + in + " -o " + out + " --global-palette fixed=" + path("none.pal"), path("none.pal"), "holds no colour"},
        {"convert " + in + " -o " + out + " --global-palette fixed=" + path("words.txt"), path("words.txt"), "holds no colour"},
        {"convert " + in + " -o " + out + " --global-palette fixed=" + path("bad.bmp"), path("bad.bmp"), "GDI file read failure"},
        {"convert " + in + " -o " + out + " --global-palette fixed=" + path("gone.pal"), path("gone.pal"), "Cannot open file"},
        {"optimize " + cut + " -o " + out, cut, "the 1 frame that was read"},
        {"info " + path("text.gif"), path("text.gif"), "is not GIF format or is corrupted"},
        {"copy " + in + " " + path("folder.gif"), path("folder.gif"), "Cannot write"},
        // A folder as input is met by two readers, with one text.
        {"optimize " + path("folder.gif") + " -o " + out, path("folder.gif"), "Cannot open file"},
        {"convert " + path("folder.gif") + " -o " + out, path("folder.gif"), "Cannot open file"},
        {"info " + path("folder.gif"), path("folder.gif"), "Cannot open file"},
    };
    for (const auto& c : cases) {
        const CliRun run = cli(c.args);
        EXPECT_EQ(run.status, 1) << c.args;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.args << "\n" << run.err;
        EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("(error"), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << c.args << "\n" << run.out;  // info prints nothing before its error
        EXPECT_FALSE(std::filesystem::exists(out)) << c.args;
    }
    const CliRun kept = cli("optimize " + cut + " -o " + out + " --keep-partial");
    EXPECT_EQ(kept.status, 0);
    EXPECT_EQ(kept.err, "movigram-cli optimize: warning: File \"" + cut +
                            "\" is not GIF format or is corrupted; going on with the 1 frame that was read "
                            "(--keep-partial)\n");
}

TEST_F(Cli, OutputsGoToExactlyThePathGiven) {
    ASSERT_EQ(cli("copy " + sample() + " " + path("noext")).status, 0);
    EXPECT_EQ(readGif(path("noext")).result, GifOk);
    EXPECT_FALSE(std::filesystem::exists(path("noext.GIF")));

    std::filesystem::create_directories(dir / "folder");
    CliRun run = cli("copy " + sample() + " " + path("folder"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "movigram-cli copy: Cannot write \"" + path("folder") + "\": Is a directory\n");
    EXPECT_FALSE(std::filesystem::exists(path("folder.GIF")));

    run = cli("optimize " + sample() + " -o " + path("no/such/x.gif"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "movigram-cli optimize: Cannot write \"" + path("no/such/x.gif") +
                           "\": No such file or directory\n");

    struct stat st;
    if (::stat("/dev/full", &st) == 0 && S_ISCHR(st.st_mode)) {
        run = cli("copy " + sample() + " /dev/full");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists("/dev/full.GIF"));
    }
}

TEST_F(Cli, OutputsOfAKindNotWrittenAreRefused) {
    const std::string in = sample();
    // copy, frames and reduce write GIF only; optimize, convert and edit
    // export the formats named by the extension, and refuse any other.
    for (const char* name : {"x.png", "x.WebP", "x.mp4", "x.", "dir.gif/x.apng", "x.bmp", "x.jpg"}) {
        const std::string out = path(name);
        std::vector<std::string> commands = {"copy " + in + " " + out, "frames " + in + " -o " + out,
                                             "reduce " + in + " --colors 4 -o " + out};
        const std::string n = name;
        if (n == "x." || n == "x.bmp" || n == "x.jpg")
            for (const std::string& c : {"optimize " + in + " -o " + out, "convert " + in + " -o " + out,
                                         "edit " + in + " -o " + out + " --loop 2"})
                commands.push_back(c);
        for (const std::string& command : commands) {
            const CliRun run = cli(command);
            EXPECT_EQ(run.status, 2) << command;
            EXPECT_TRUE(run.errLinesStartWith("movigram-cli ")) << run.err;
            EXPECT_NE(run.err.find("cannot write \"" + out + "\""), std::string::npos) << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        }
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            EXPECT_EQ(entry.path().filename(), "stderr.txt") << name;
    }
    ASSERT_EQ(cli("copy " + in + " " + path("UPPER.GIF")).status, 0);
    EXPECT_EQ(readGif(path("UPPER.GIF")).result, GifOk);
}

TEST_F(Cli, OtherFormatsAreWrittenByTheOutputsExtensionWithTheirOwnOptionsOnly) {
    const std::string in = sample();
    const std::pair<const char*, std::string> formats[] = {
        {"a.webp", "WEBP"}, {"a.PNG", "\x89PNG"}, {"a.apng", "\x89PNG"}, {"a.mp4", "ftyp"}, {"a.webm", "\x1A\x45\xDF\xA3"}};
    for (const auto& [name, magic] : formats) {
        const CliRun run = cli("convert " + in + " -o " + path(name));
        ASSERT_EQ(run.status, 0) << name << run.err;
        EXPECT_NE(slurp(dir / name).substr(0, 12).find(magic), std::string::npos) << name;
    }
    EXPECT_EQ(cli("edit " + in + " -o " + path("b.webp") + " --quality 80 --background 2").status, 0);
    EXPECT_EQ(cli("optimize " + in + " -o " + path("b.mp4") + " --background 255,255,255").status, 0);
    for (const std::string& command :
         {"convert " + in + " -O -o " + path("c.webp"), "optimize " + in + " --lossy 80 -o " + path("c.png"),
          "edit " + in + " -o " + path("c.mp4") + " --max-size 1MB", "convert " + in + " --quality 80 -o " + path("c.mp4"),
          "convert " + in + " --background 1,2,3 -o " + path("c.webp"), "convert " + in + " --quality 80 -o " + path("c.gif")}) {
        const CliRun run = cli(command);
        EXPECT_EQ(run.status, 2) << command;
        EXPECT_TRUE(run.errLinesStartWith("movigram-cli ")) << run.err;
        EXPECT_NE(run.err.find("only"), std::string::npos) << run.err;
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        EXPECT_NE(entry.path().stem(), "c") << entry.path();
}

TEST_F(Cli, EditRefusesToSaveFramesWithoutPixels) {
    for (const char* step : {"--shift all:-96,0", "--crop all:200,0,300,64", "--crop all:200,0,300,64,align"}) {
        const CliRun run = cli("edit " + sample() + " -o " + path("empty.gif") + " " + step);
        EXPECT_EQ(run.status, 1) << step;
        EXPECT_NE(run.err.find("Nothing to save"), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(path("empty.gif"))) << step;
    }
}

TEST_F(Cli, ArgumentsAreCheckedAndNamed) {
    struct Case {
        std::string args;
        int status;
        const char* message;  // on stderr, or on stdout for status 0
    };
    const std::string in = sample(), out = path("out.gif");
    const Case cases[] = {
        {"reduce " + in + " -o " + out + " --colors abc", 2, "--colors takes a whole number from 2 to 256, not \"abc\""},
        {"reduce " + in + " -o " + out + " --colors 1", 2, "from 2 to 256"},
        {"reduce " + in + " -o " + out + " --colors 257", 2, "from 2 to 256"},
        {"reduce " + in + " -o " + out + " --colors 7x", 2, "from 2 to 256"},
        {"reduce " + in + " -o " + out + " --colors 99999999999999999999", 2, "from 2 to 256"},
        {"convert " + in + " -o " + out + " --loop -1", 2, "--loop takes a whole number from 0 to 65535"},
        {"convert " + in + " -o " + out + " --loop 70000", 2, "from 0 to 65535"},
        {"optimize " + in + " -o " + out + " --lossy 101", 2, "--lossy takes a whole number from 0 to 100"},
        {"convert " + in + " -o " + out + " --lossy -1", 2, "--lossy takes a whole number from 0 to 100"},
        {"edit " + in + " -o " + out + " --lossy abc --loop 2", 2, "--lossy takes a whole number from 0 to 100, not \"abc\""},
        {"optimize " + in + " -o " + out + " --lossy", 2, "--lossy needs a value"},
        {"edit " + in + " -o " + out + " --max-size 8XB", 2, "--max-size takes a size such as 8MB, 500KB or 1.5MiB, not \"8XB\""},
        {"convert " + in + " -o " + out + " --global-palette fixed=", 2, "needs a palette file"},
        {"convert " + in + " -o " + out + " --local-palettes odd", 2, "merge, keep or create"},
        {"convert " + in + " -o " + out + " --quantizer best", 2, "--quantizer takes median-cut or quality, not \"best\""},
        {"reduce " + in + " --colors 8 -o " + out + " --quantizer", 2, "--quantizer needs a value"},
        {"reduce " + in + " --colors 8 -o " + out + " --dither fs", 2,
         "--dither takes none, ordered, diffusion or diffusion=STRENGTH, not \"fs\""},
        {"reduce " + in + " --colors 8 -o " + out + " --dither diffusion=0", 2, "from 1 to 100, not \"0\""},
        {"convert " + in + " -o " + out + " --dither diffusion=50%", 2, "from 1 to 100, not \"50%\""},
        {"optimize " + in + " -o", 2, "-o needs a value"},
        {"edit " + in + " -o " + out + " --wipe-from 3,dir=bogus", 2, "dir=bogus is not a direction of this effect (ltr, "},
        {"edit " + in + " -o " + out + " --shift all:2147483647,0", 2, "out of range (-65535 to 65535)"},
        {"edit " + in + " -o " + out + " --sprite all:400000000,0", 2, "out of range (-65535 to 65535)"},
        {"edit " + in + " -o " + out + " --sprite all:10000,0", 1, "--sprite: a frame would reach past 65535"},
        // No frame is lost past the GIF's last coordinate, however small the
        // screen it would need.
        {"edit " + in + " -o " + out + " --shift 1:65535,0", 1, "--shift: a frame would reach past 65535"},
        {"edit " + in + " -o " + out + " --shift all:65520,0", 1, "--shift: a frame would reach past 65535"},
        {"edit " + in + " -o " + out + " --shift all:65520,65520", 1, "--shift: a frame would reach past 65535"},
        {"edit " + in + " -o " + out + " --crop all:-2147483648,-2147483648,2147483647,2147483647,align", 2,
         "out of range (0 to 65535)"},
        {"edit " + in + " -o " + out + " --fade-in 1:2147483647", 1, "Failed to allocate memory"},
        {"edit " + in + " -o " + out + " --duplicate all:2147483647", 1, "Failed to allocate memory"},
        {"frobnicate", 2, "unknown command"},
        {"copy onlyone.gif", 2, "expected IN and OUT"},
        {"--version", 0, "movigram-cli 1.22"},
        {"--help", 0, "Exit status:"},
    };
    for (const Case& c : cases) {
        const CliRun run = cli(c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
        EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.message), std::string::npos) << c.args << "\n" << run.err;
        if (c.status != 0) {
            EXPECT_TRUE(run.errLinesStartWith("movigram-cli")) << run.err;
        }
        EXPECT_FALSE(std::filesystem::exists(out)) << c.args;
    }
    for (const char* command : {"info", "copy", "optimize", "convert", "frames", "reduce", "edit"}) {
        const CliRun run = cli(std::string(command) + " --help");
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_TRUE(run.out.starts_with(std::string("usage: movigram-cli ") + command)) << run.out;
    }
}

TEST_F(Cli, ConvertFramesOptimizeAndReduce) {
    const auto joined = path("joined.gif");
    std::ofstream(dir / "note.txt") << "a note";
    CliRun run = cli("convert " + sample() + " " + path("note.txt") + " -o " + joined + " --loop 3 --no-comment --delay 40");
    ASSERT_EQ(run.status, 0) << run.err;
    auto back = readGif(joined);
    ASSERT_EQ(back.result, GifOk);
    EXPECT_TRUE(back.frames.back()->isComment);
    EXPECT_EQ(back.loopCount, 3);

    run = cli("frames " + sample() + " -o " + path("f.gif"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "f-01.gif"));  // frame 0 is the comment
    EXPECT_TRUE(std::filesystem::exists(dir / "f-20.gif"));
    EXPECT_FALSE(std::filesystem::exists(dir / "f-00.gif"));

    const auto small = path("small.gif");
    run = cli("optimize " + sample() + " -o " + small + " -O --no-comment");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_LT(std::filesystem::file_size(small), std::filesystem::file_size(sample()));

    const auto reduced = path("reduced.gif");
    run = cli("reduce " + sample() + " --colors 8 -o " + reduced);
    ASSERT_EQ(run.status, 0) << run.err;
    back = readGif(reduced);
    ASSERT_TRUE(back.globalPalette);
    EXPECT_EQ(back.globalPalette->colorCount, 8);

    for (const char* choice : {"--quantizer quality", "--quantizer quality --dither diffusion=60",
                               "--quantizer median-cut --dither ordered"}) {
        run = cli("reduce " + sample() + " --colors 8 -o " + reduced + " " + choice);
        ASSERT_EQ(run.status, 0) << choice << "\n" << run.err;
        back = readGif(reduced);
        ASSERT_TRUE(back.globalPalette) << choice;
        EXPECT_LE(back.globalPalette->colorCount, 8) << choice;
    }
}

TEST_F(Cli, MaxSizeWritesTheFileItChoseOrNothing) {
    const auto out = path("shared.gif");
    CliRun run = cli("optimize " + sample() + " -o " + out + " --max-size 6KB");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_LE(std::filesystem::file_size(out), 6000u);
    EXPECT_NE(run.out.find(" KB\nwrote " + out), std::string::npos) << run.out;
    EXPECT_EQ(readGif(out).result, GifOk);

    const auto none = path("none.gif");
    run = cli("edit " + sample() + " -o " + none + " --reverse all --max-size 200");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no setting makes a file of at most 200 bytes"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(none));
}

TEST_F(Cli, FramesFailsWhenOneWriteFails) {
    // Frame 3's file cannot be written (a folder has its name): the others
    // are, and the command fails.
    std::filesystem::create_directories(dir / "f-03.gif");
    const CliRun run = cli("frames " + sample() + " -o " + path("f.gif"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(path("f-03.gif")), std::string::npos) << run.err;
    EXPECT_EQ(readGif(path("f-02.gif")).result, GifOk);
}

TEST_F(Cli, ConvertLoopZeroLoopsWithoutEnd) {
    for (const auto& [loop, found, count] : {std::tuple{"0", true, 0}, std::tuple{"1", false, 0}, std::tuple{"4", true, 4}}) {
        const CliRun run = cli("convert " + sample() + " -o " + path("l.gif") + " --loop " + loop);
        ASSERT_EQ(run.status, 0) << run.err;
        const auto back = readGif(path("l.gif"));
        EXPECT_EQ(back.loopFound, found) << loop;
        EXPECT_EQ(back.loopCount, count) << loop;
    }
}

TEST_F(Cli, ConvertReadsAVideo) {
    // The video libraries are loaded only now, when a video is met.
    test::AviSpec layout;
    layout.width = 4, layout.height = 2, layout.rate = 10;
    for (int i = 0; i < 3; ++i)
        layout.frames.push_back(
            test::packPixelRows(4, 2, 3, [=](int x, int) { return uint32_t(x < 2 ? 0x2040C0 : 0xC04020) + 0x101010u * i; }));
    const std::string video = write("clip.avi", test::aviFile(layout));
    const CliRun run = cli("convert " + video + " -o " + path("clip.gif") + " --no-comment");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto back = readGif(path("clip.gif"));
    ASSERT_EQ(back.result, GifOk);
    ASSERT_EQ(back.frames.size(), 3u);
    EXPECT_EQ(back.frames[1]->frameTime, 100);
    EXPECT_EQ(back.frames[2]->image->width(), 4);
}

}  // namespace
}  // namespace movigram
