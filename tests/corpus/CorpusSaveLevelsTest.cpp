// Every corpus GIF the program opens, saved at every level: as read (the
// command-line copy), as the editor saves it plainly, optimised, optimised
// with split and mask, and with maximum compression.  Every file written must
// be one any decoder takes: each value an image uses, and its transparent
// index, name an entry of the table written with it.  The background colour
// of the files that name one no pixel uses must survive every level.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <functional>

#include "CorpusGif.h"
#include "commands/FileCommands.h"
#include "commands/SaveCommands.h"
#include "support/CorpusPath.h"

namespace movigram::test {
namespace {

// A folder of its own (another checkout's tests may run alongside), removed
// afterwards.
struct ScratchFolder {
    ScratchFolder() {
        path = std::filesystem::temp_directory_path() / ("movigram-levels-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

// The document's file at one level, as the editor writes it.
std::vector<uint8_t> savedAt(Document& doc, const SaveLevel& level, const std::filesystem::path& folder) {
    const std::string out = (folder / "saved.gif").string();
    if (!saveAtLevel(doc, level, out)) return {};
    return loadFile(out);
}

// Saves every corpus file at the given levels (and as read, with asCopy),
// and checks the indices of each file written.
void checkLevels(std::initializer_list<SaveLevel> chosen, bool asCopy) {
    ScratchFolder scratch;
    int files = 0, failures = 0;
    auto fail = [&](const std::string& name, const char* level, const std::string& problem) {
        if (++failures <= 20) ADD_FAILURE() << name << " [" << level << "]: " << problem;
    };
    for (const auto& path : corpusGifFiles()) {
        const std::string name = corpusName(path);
        if (asCopy) {
            // As read, the way the command-line copy writes it.
            GifReadOutput gif = readGifMemory(loadFile(path), path.filename().string());
            if (gif.frames.empty() || frameBeyondGifCoordinates(gif.frames) >= 0) continue;
            FrameList list;
            list.appendChain(std::move(gif.frames));
            const std::vector<uint8_t> copy =
                saveList(list, gif.loopFound, gif.globalPalette.value_or(TMyPalette()), gif.loopCount);
            if (const std::string problem = indexPastTable(copy); !problem.empty()) fail(name, "copy", problem);
        }
        Document doc;
        openFiles(doc, {path.string()});
        if (doc.frameList.empty()) continue;
        ++files;
        // Maximum compression is left out where it would take long.
        const bool large = int64_t(doc.screenWidth) * doc.screenHeight * doc.frameList.count() > 40'000'000;
        for (const SaveLevel& level : chosen) {
            if (level.maximum && large) continue;
            const std::vector<uint8_t> saved = savedAt(doc, level, scratch.path);
            if (saved.empty()) fail(name, level.name, "not written");
            else if (const std::string problem = indexPastTable(saved); !problem.empty()) fail(name, level.name, problem);
        }
    }
    std::printf("save levels: %d corpus files saved, %d saves with an index past its table\n", files, failures);
    EXPECT_GT(files, 0);
}

// In two tests, so that each stays short under the sanitizers and CTest can
// run them side by side.
TEST(CorpusSaveLevels, EveryIndexWrittenLiesInItsTable) {
    MOVIGRAM_REQUIRE_CORPUS();
    checkLevels({saveLevels[0], saveLevels[1]}, true);
}

TEST(CorpusSaveLevels, EveryIndexWrittenLiesInItsTableWithSplitAndMaximumCompression) {
    MOVIGRAM_REQUIRE_CORPUS();
    checkLevels({saveLevels[2], saveLevels[3]}, false);
}

}  // namespace
}  // namespace movigram::test
