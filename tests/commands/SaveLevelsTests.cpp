// What every save level keeps of a file: the plain save, the optimising
// save, the optimising save with split and mask, and maximum compression.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "commands/FileCommands.h"
#include "commands/SaveCommands.h"
#include "corpus/CorpusGif.h"
#include "support/CorpusPath.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

// The colour a file's background index names: its global table's entry
// (black past the table).
test::Rgb backgroundOf(const std::vector<uint8_t>& bytes) {
    const test::ScannedGif scan = test::scanGif(bytes);
    const size_t index = bytes.size() > 11 ? bytes[11] : 0;
    return index < scan.globalTable.size() ? scan.globalTable[index] : test::Rgb{};
}

class SaveLevels : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("movigram-levels-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Opens the file as the editor does and saves it at every level; the
    // levels whose file names another background colour than the input.
    std::string levelsLosingTheBackground(const std::filesystem::path& input) {
        const test::Rgb want = backgroundOf(test::loadFile(input));
        std::string lost;
        for (const test::SaveLevel& level : test::saveLevels) {
            Document doc;
            openFiles(doc, {input.string()});
            doc.commentFrameOption = false;
            const std::string out = (dir / "saved.gif").string();
            if (!test::saveAtLevel(doc, level, out)) {
                lost += std::string(" ") + level.name + " (not written)";
                continue;
            }
            const test::Rgb got = backgroundOf(test::loadFile(out));
            if (!(got == want))
                lost += std::string(" ") + level.name + " (" + std::to_string(got.r) + "," + std::to_string(got.g) +
                        "," + std::to_string(got.b) + ")";
        }
        return lost;
    }

    std::filesystem::path write(const char* name, const test::Bytes& bytes) {
        const auto path = dir / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }

    std::filesystem::path dir;
};

TEST_F(SaveLevels, TheBackgroundColourSurvivesEveryLevel) {
    // Backgrounds no pixel shows: of an animation whose frames restore to
    // it, and of a single frame smaller than its screen.
    std::vector<uint8_t> left(4 * 4), right(4 * 4);
    for (size_t i = 0; i < left.size(); ++i) left[i] = uint8_t(i % 2), right[i] = uint8_t(2 + i % 2);
    test::GifBuilder animation(8, 4, 8, 5);
    animation.loop(0).control(10, -1, 2).image(0, 0, 4, 4, left).control(10, -1, 2).image(4, 0, 4, 4, right).trailer();
    test::GifBuilder single(6, 6, 8, 6);
    single.control(10).image(1, 1, 4, 4, left).trailer();
    EXPECT_EQ(levelsLosingTheBackground(write("animation.gif", animation.bytes())), "");
    EXPECT_EQ(levelsLosingTheBackground(write("single.gif", single.bytes())), "");

    if (!test::corpusAvailable()) return;
    for (const char* name : {"pygif-gif-test-suite/dispose-restore-background.gif",
                             "pygif-gif-test-suite/image-outside-bg.gif",
                             "wuffs/test/data/artificial-gif/background-color.gif"}) {
        const auto path = test::corpusDir() / name;
        if (!std::filesystem::exists(path)) continue;
        EXPECT_EQ(levelsLosingTheBackground(path), "") << name;
    }
}

}  // namespace
}  // namespace movigram
