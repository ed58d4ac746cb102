// Load palette with its undo record, the Fixed mode and its restore at
// start-up, on palette files in a scratch folder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "commands/PaletteCommands.h"
#include "document/Undo.h"
#include "frameops/OpsTestSupport.h"
#include "support/RecordingHost.h"

namespace movigram {
namespace {

TEST(PaletteCommands, LoadIsTakenBackWholeAndFixedNeedsALoadedPalette) {
    const auto dir = std::filesystem::temp_directory_path() / ("movigram-palette-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string pal = (dir / "three.pal").string();
    std::ofstream(pal) << "MVGR-PAL\r\n0100\r\n3\r\n250 0 0\r\n0 250 0\r\n0 0 250\r\n";

    const TMyPalette palette8 = test::testPalette(8);
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(test::placedFrame(0, 0, 4, 2, [](int x, int) { return x; }, palette8));
    frames.push_back(test::solidFrame(0, 0, 4, 2, 5, palette8));
    frames.back()->localPalette = std::make_unique<TMyPalette>(palette8);
    auto doc = test::documentOf(std::move(frames));
    test::RecordingHost host;
    doc->setHost(&host);

    const std::string before = test::describe(*doc);
    ASSERT_TRUE(loadGlobalPalette(*doc, pal, "load palette"));
    EXPECT_EQ(doc->globalPalette->entry(1), (PaletteEntry{0, 250, 0, 0}));
    EXPECT_FALSE(doc->frameList.frameAt(1)->localPalette);
    EXPECT_EQ(doc->fixedPaletteName, pal);
    EXPECT_EQ(doc->paletteDir, dir.string());
    ASSERT_EQ(doc->undo.size(), 1u);
    EXPECT_EQ(doc->undo.newest()->label, "load palette");
    undo(*doc);
    EXPECT_EQ(test::describe(*doc), before);

    // A load that fails records nothing, and Fixed keeps the mode it had.
    std::ofstream(dir / "bad.gif") << "not a GIF";
    EXPECT_FALSE(chooseFixedPalette(*doc, (dir / "bad.gif").string(), "load palette"));
    EXPECT_EQ(doc->globalPaletteMode, GlobalPaletteMode::Automatic);
    EXPECT_TRUE(doc->undo.empty());
    EXPECT_EQ(doc->fixedPaletteName, pal);
    ASSERT_TRUE(chooseFixedPalette(*doc, pal, "load palette"));
    EXPECT_EQ(doc->globalPaletteMode, GlobalPaletteMode::Fixed);

    // Start-up: the fixed palette comes back while its file is there.
    Document next(&host);
    next.globalPaletteMode = GlobalPaletteMode::Fixed;
    next.fixedPaletteName = pal;
    restoreFixedPalette(next);
    EXPECT_EQ(next.globalPaletteMode, GlobalPaletteMode::Fixed);
    ASSERT_TRUE(next.globalPalette);
    EXPECT_EQ(next.globalPalette->entry(2), (PaletteEntry{0, 0, 250, 0}));
    std::filesystem::remove_all(dir);
    host.messages.clear();
    restoreFixedPalette(next);
    EXPECT_EQ(next.globalPaletteMode, GlobalPaletteMode::Automatic);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Cannot open file \"" + pal + "\"");
}

TEST(PaletteCommands, StoreProposesTheDocumentNameWithPal) {
    Document doc;
    EXPECT_EQ(proposedPaletteName(doc), "");
    doc.fileName = "walk.gif";
    EXPECT_EQ(proposedPaletteName(doc), "walk.PAL");
    doc.fileName = "walk.cycle.gif";
    EXPECT_EQ(proposedPaletteName(doc), "walk.cycle.PAL");
    doc.fileName = "README";
    EXPECT_EQ(proposedPaletteName(doc), "README.PAL");
}

TEST(PaletteCommands, ReduceColorDepthRecordsBeforeItsDialog) {
    const TMyPalette palette8 = test::testPalette(8);
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(test::placedFrame(0, 0, 8, 2, [](int x, int) { return x; }, palette8));
    auto doc = test::documentOf(std::move(frames));
    test::RecordingHost host;
    doc->setHost(&host);
    const std::string before = test::describe(*doc);

    beginReduceColorDepth(*doc, "reduce colors");
    ASSERT_EQ(doc->undo.size(), 1u);
    EXPECT_EQ(doc->undo.newest()->label, "reduce colors");
    cancelReduceColorDepth(*doc);
    EXPECT_TRUE(doc->undo.empty());
    EXPECT_EQ(test::describe(*doc), before);

    beginReduceColorDepth(*doc, "reduce colors");
    ASSERT_TRUE(finishReduceColorDepth(*doc, 4, doc->quantize));
    EXPECT_EQ(doc->globalPalette->colorCount, 4);
    EXPECT_TRUE(doc->modified);
    ASSERT_EQ(doc->undo.size(), 1u);
    undo(*doc);
    EXPECT_EQ(test::describe(*doc), before);
}

}  // namespace
}  // namespace movigram
