// movigram-cli run as a user runs it: output, files written, exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "document/GifReader.h"
#include "support/CorpusPath.h"

namespace movigram {
namespace {

struct CliRun {
    int status = -1;
    std::string out;  // stdout and stderr together
};

CliRun cli(const std::string& args) {
    CliRun run;
    const std::string command = std::string(MOVIGRAM_CLI) + " " + args + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    std::array<char, 4096> buf;
    while (size_t n = std::fread(buf.data(), 1, buf.size(), pipe)) run.out.append(buf.data(), n);
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::string sample() { return (test::sourceDir() / "resources/samples/bounce.gif").string(); }

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("movigram-cli-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
};

TEST_F(Cli, InfoDescribesTheSample) {
    const CliRun run = cli("info " + sample());
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("screen 96x64, global colors 32"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("bounce.gif.000 rect 0,0,96,64 delay 60 ms, do not restore"), std::string::npos);
    EXPECT_NE(run.out.find("comment \"Created with Movigram GIF V 1.22"), std::string::npos);
}

TEST_F(Cli, InfoJsonHasOneEntryPerFrame) {
    const CliRun run = cli("info --json " + sample());
    EXPECT_EQ(run.status, 0);
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.front(), '{');
    EXPECT_NE(run.out.find("\"screen\":{\"width\":96,\"height\":64}"), std::string::npos);
    EXPECT_NE(run.out.find("\"loopCount\":0"), std::string::npos);
    size_t frames = 0;
    for (size_t at = run.out.find("\"delayMs\":60"); at != std::string::npos; at = run.out.find("\"delayMs\":60", at + 1))
        ++frames;
    EXPECT_EQ(frames, 20u);
    EXPECT_NE(run.out.find("\"text\":\"Created with Movigram GIF V 1.22\\u000d\\u000a"), std::string::npos);
}

TEST_F(Cli, CopyWithAndWithoutComment) {
    const auto plain = (dir / "plain.gif").string(), commented = (dir / "commented.gif").string();
    // The sample already starts with our comment: copying keeps just that one.
    ASSERT_EQ(cli("copy " + sample() + " " + commented).status, 0);
    ASSERT_EQ(cli("copy --no-comment " + sample() + " " + plain).status, 0);
    const auto a = readGif(commented), b = readGif(plain), original = readGif(sample());
    ASSERT_EQ(a.result, GifOk);
    EXPECT_EQ(a.frames.size(), original.frames.size());
    EXPECT_EQ(b.frames.size(), original.frames.size());
    EXPECT_TRUE(a.loopFound);

    // A file without a comment gets one in front, unless asked not to.
    const auto stripped = (dir / "stripped.gif").string();
    ASSERT_EQ(cli("copy " + plain + " " + stripped + " --no-comment").status, 0);
    ASSERT_EQ(cli("copy " + stripped + " " + commented).status, 0);
    EXPECT_EQ(readGif(commented).frames.size(), original.frames.size());
}

TEST_F(Cli, ErrorsGoToStderrWithStatus) {
    CliRun run = cli("info " + (dir / "missing.gif").string());
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.out.find("Cannot open file \""), std::string::npos) << run.out;

    std::ofstream(dir / "text.gif") << "this is not a picture";
    run = cli("copy " + (dir / "text.gif").string() + " " + (dir / "out.gif").string());
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.out.find("is not GIF format or is corrupted"), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.gif"));

    EXPECT_EQ(cli("frobnicate").status, 2);
    EXPECT_EQ(cli("copy onlyone.gif").status, 2);
    EXPECT_EQ(cli("--help").status, 0);
}

TEST_F(Cli, CopyIntoAMissingFolderReportsTheWriterError) {
    const CliRun run = cli("copy " + sample() + " " + (dir / "no" / "such" / "x.gif").string());
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.out.find("Error 0"), std::string::npos) << run.out;
}

TEST_F(Cli, ConvertFramesOptimizeAndReduce) {
    const auto joined = (dir / "joined.gif").string();
    std::ofstream(dir / "note.txt") << "a note";
    CliRun run = cli("convert " + sample() + " " + (dir / "note.txt").string() + " -o " + joined +
                     " --loop 3 --no-comment --delay 40");
    ASSERT_EQ(run.status, 0) << run.out;
    auto back = readGif(joined);
    ASSERT_EQ(back.result, GifOk);
    EXPECT_TRUE(back.frames.back()->isComment);
    EXPECT_EQ(back.loopCount, 3);

    run = cli("frames " + sample() + " -o " + (dir / "f.gif").string());
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(std::filesystem::exists(dir / "f-01.gif"));  // frame 0 is the comment
    EXPECT_TRUE(std::filesystem::exists(dir / "f-20.gif"));
    EXPECT_FALSE(std::filesystem::exists(dir / "f-00.gif"));

    const auto small = (dir / "small.gif").string();
    run = cli("optimize " + sample() + " -o " + small + " -O --no-comment");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_LT(std::filesystem::file_size(small), std::filesystem::file_size(sample()));

    const auto reduced = (dir / "reduced.gif").string();
    run = cli("reduce " + sample() + " --colors 8 -o " + reduced);
    ASSERT_EQ(run.status, 0) << run.out;
    back = readGif(reduced);
    ASSERT_TRUE(back.globalPalette);
    EXPECT_EQ(back.globalPalette->colorCount, 8);

    EXPECT_EQ(cli("convert -o " + joined).status, 2);
    EXPECT_EQ(cli("convert " + sample() + " -o " + joined + " --local-palettes odd").status, 2);
    EXPECT_NE(cli("convert " + (dir / "none.gif").string() + " -o " + joined).status, 0);
}

}  // namespace
}  // namespace movigram
