// Where the shipped documents are found, and where the about box draws its
// picture.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "commands/ProgramDocuments.h"

namespace movigram {
namespace {

namespace fs = std::filesystem;

TEST(ProgramDocuments, TheDataFolderIsBesideTheInstalledProgramOrAtTheTopOfTheBuildTree) {
    const fs::path root = fs::temp_directory_path() / ("movigram-data-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "prefix" / "bin");
    fs::create_directories(root / "build" / "src" / "shell");
    // Nothing there yet: the installed place is named.
    EXPECT_EQ(findDataFolder((root / "prefix" / "bin").string()), (root / "prefix" / "share" / "movigram").string());
    fs::create_directories(root / "prefix" / "share" / "movigram");
    fs::create_directories(root / "build" / "share" / "movigram");
    EXPECT_EQ(findDataFolder((root / "prefix" / "bin").string()), (root / "prefix" / "share" / "movigram").string());
    EXPECT_EQ(findDataFolder((root / "build" / "src" / "shell").string()),
              (root / "build" / "share" / "movigram").string());
    const ProgramDocuments docs{"/usr/share/movigram"};
    EXPECT_EQ(docs.helpPage(CommandId::HelpSpanish), "/usr/share/movigram/help/help-span.html");
    EXPECT_EQ(docs.helpPage(CommandId::About), "");
    fs::remove_all(root);
}

TEST(ProgramDocuments, APictureFitsItsButtonCentred) {
    struct Case {
        TSize picture, button;
        TRect place;
    };
    const Case cases[] = {
        {{100, 50}, {121, 81}, {10, 15, 110, 65}},  // fits: its own size, half the room rounded down
        {{400, 100}, {200, 100}, {0, 25, 200, 75}}, // too wide: halved
        {{100, 300}, {200, 100}, {83, 0, 116, 100}}, // too tall: a third
        {{0, 0}, {200, 100}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(picturePlace(c.picture, c.button), c.place) << c.picture.width;
}

}  // namespace
}  // namespace movigram
