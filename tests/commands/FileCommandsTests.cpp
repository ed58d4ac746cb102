// The file commands on real files in a scratch folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "colour/ColorReduction.h"
#include "commands/FileCommands.h"
#include "document/GifReader.h"
#include "document/Undo.h"
#include "frameops/FrameOrder.h"
#include "frameops/FrameOffset.h"
#include "support/GifBuilder.h"
#include "support/RecordingHost.h"

namespace movigram {
namespace {

using test::GifBuilder;

class FileCommands : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("movigram-files-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        doc.setHost(&host);
    }
    void TearDown() override {
        ::chmod(dir.c_str(), 0755);
        std::filesystem::remove_all(dir);
    }
    // An animation of `frames` frames of 8 x 6 whose pixels carry the frame
    // number, written as a GIF file.
    std::string writeAnimation(const std::string& name, int frames, int firstValue = 0) {
        GifBuilder gif(8, 6, 16);
        gif.loop(0);
        for (int f = 0; f < frames; ++f)
            gif.control(10).image(0, 0, 8, 6, std::vector<uint8_t>(48, uint8_t(firstValue + f)));
        const auto path = (dir / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(gif.trailer().bytes().data()),
                                                   std::streamsize(gif.bytes().size()));
        return path;
    }
    // The frame list as names, the comment frame included.
    std::string names() const {
        std::string s;
        for (int i = 0; i < doc.frameList.count(); ++i) s += doc.frameList.textAt(i) + " ";
        return s;
    }
    std::filesystem::path dir;
    test::RecordingHost host;
    Document doc;
};

TEST_F(FileCommands, OpeningTwoFilesAppendsTheSecond) {
    const auto a = writeAnimation("a.gif", 2, 0), b = writeAnimation("b.gif", 3, 5);
    openFiles(doc, {b, a});  // sorted by name: a first
    ASSERT_EQ(doc.frameList.count(), 5);
    EXPECT_EQ(doc.frameList.textAt(0), "a.gif.000");
    EXPECT_EQ(doc.frameList.textAt(2), "b.gif.000");
    EXPECT_EQ(doc.fileSize, -1);
    EXPECT_EQ(titleText(doc), "Movigram GIF - a.gif");
    EXPECT_FALSE(doc.modified);
    EXPECT_EQ(doc.openDir, dir.string());
    EXPECT_EQ(host.recentFiles.size(), 2u);
    EXPECT_EQ(doc.firstFrame, doc.frameList.frameAt(0));
    EXPECT_EQ(doc.frameTime, 100);
}

TEST_F(FileCommands, TheBackgroundKeepsItsColourThroughEveryRebuild) {
    // Frames of colours 1 and 2 on a screen whose background is colour 3,
    // which no pixel shows: the palette is rebuilt in another order.
    GifBuilder gif(4, 2, 4, 3);
    gif.control(10, -1, 2).image(0, 0, 2, 2, {1, 2, 2, 1}).control(10, -1, 2).image(2, 0, 2, 2, {2, 2, 2, 2});
    const auto path = (dir / "restore.gif").string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(gif.trailer().bytes().data()),
                                               std::streamsize(gif.bytes().size()));
    uint8_t rgb[3];
    GifBuilder::testColor(3, rgb);
    const PaletteEntry background{rgb[0], rgb[1], rgb[2], 0};
    auto shown = [&] { return doc.globalPalette->entry(doc.backgroundIndex); };

    ASSERT_TRUE(openFiles(doc, {path}).clean());
    ASSERT_GE(doc.backgroundIndex, 0);
    EXPECT_EQ(shown(), background);
    EXPECT_EQ(doc.frameList.frameAt(1)->backgroundIndex, doc.backgroundIndex);
    // The optimised rebuild reorders the palette again (dark to light).
    ASSERT_TRUE(reduceColors(doc, 256, true));
    EXPECT_EQ(shown(), background);
    EXPECT_EQ(doc.frameList.frameAt(0)->backgroundIndex, doc.backgroundIndex);
    // Saved and read back, the file's background is the same colour.
    ASSERT_TRUE(saveAs(doc, (dir / "back.gif").string(), false));
    const GifReadOutput back = readGif((dir / "back.gif").string());
    ASSERT_TRUE(back.globalPalette);
    EXPECT_EQ(back.globalPalette->entry(back.backgroundIndex), background);
}

TEST_F(FileCommands, FramesArePaintedAsTheyAreRead) {
    int painted = 0;
    LiveView live;
    live.paint = [&](const TFrame& frame) { painted += frame.hasImage(); };
    openFiles(doc, {writeAnimation("a.gif", 3)}, live);
    EXPECT_EQ(painted, 3);
}

TEST_F(FileCommands, TitleShowsSizes) {
    doc.fileName = "anim.gif";
    EXPECT_EQ(titleText(doc), "Movigram GIF - anim.gif");
    doc.fileSize = 7500;
    EXPECT_EQ(titleText(doc), "Movigram GIF - anim.gif  (7500 bytes)");
    doc.previousFileSize = 10000;
    EXPECT_EQ(titleText(doc), "Movigram GIF - anim.gif  (10000:7500  25% optimized)");
    doc.fileName.clear();
    doc.fileSize = -1;
    EXPECT_EQ(titleText(doc), "Movigram GIF - (Untitled)");
}

TEST_F(FileCommands, SaveOnlyWhenThereIsSomethingToSave) {
    const auto a = writeAnimation("a.gif", 3);
    doc.cropToDirty = false;
    openFiles(doc, {a});
    EXPECT_FALSE(doc.optimizable);
    const auto before = std::filesystem::last_write_time(a);
    EXPECT_FALSE(save(doc));
    EXPECT_EQ(std::filesystem::last_write_time(a), before);

    doc.cropToDirty = true;
    openFiles(doc, {a});
    EXPECT_TRUE(doc.optimizable);
    EXPECT_TRUE(save(doc));
    EXPECT_FALSE(doc.optimizable);
    EXPECT_GT(doc.fileSize, 0);
    EXPECT_EQ(readGif(a).result, GifOk);
}

TEST_F(FileCommands, SaveAsThenRevertReadsFromTheOpenFolder) {
    const auto a = writeAnimation("a.gif", 3);
    openFiles(doc, {a});
    std::filesystem::create_directories(dir / "other");
    ASSERT_TRUE(saveAs(doc, (dir / "other" / "copy.gif").string(), false));
    EXPECT_EQ(doc.fileName, "copy.gif");
    EXPECT_EQ(doc.saveDir, (dir / "other").string());
    EXPECT_TRUE(doc.savedToSaveDir);
    EXPECT_FALSE(doc.modified);
    // Revert looks for copy.gif in the folder the animation was opened from.
    revert(doc);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Cannot open file \"" + (dir / "copy.gif").string() + "\"");
    EXPECT_EQ(host.messages[0].caption, "Error");
}

TEST_F(FileCommands, SaveAsFailureKeepsTheOldFileAndTheDocument) {
    const auto a = writeAnimation("a.gif", 3);
    openFiles(doc, {a});
    doc.modified = true;
    const auto target = writeAnimation("keep.gif", 1, 9);
    const auto original = std::filesystem::file_size(target);
    // A folder that cannot take a new file: the temporary file cannot be made.
    ::chmod(dir.c_str(), 0555);
    const bool canWrite = ::access(dir.c_str(), W_OK) == 0;  // root ignores the mode
    if (!canWrite) {
        EXPECT_FALSE(saveAs(doc, target, false));
        EXPECT_TRUE(doc.modified);
        EXPECT_EQ(doc.fileName, "a.gif");
        EXPECT_EQ(std::filesystem::file_size(target), original);
        ASSERT_FALSE(host.messages.empty());
        EXPECT_EQ(host.messages.back().text, "Cannot write \"" + target + "\": Permission denied");
    }
    ::chmod(dir.c_str(), 0755);
    // A target that is a folder cannot be replaced, whoever runs the test.
    std::filesystem::create_directories(dir / "taken.gif");
    EXPECT_FALSE(saveAs(doc, (dir / "taken.gif").string(), false));
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(doc.fileName, "a.gif");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.gif"));
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages.back().text,
              "Cannot write \"" + (dir / "taken.gif").string() + "\": Is a directory");
}

TEST_F(FileCommands, FramesWithoutPixelsAreNotSaved) {
    openFiles(doc, {writeAnimation("a.gif", 3)});
    // Every frame pushed off the screen keeps no pixel.
    ASSERT_TRUE(shiftFrames(doc, selectAll(doc.frameList), -8, 0, "shift frames"));
    const auto target = (dir / "empty.gif").string();
    EXPECT_FALSE(saveAs(doc, target, false));
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages.back().text, "Nothing to save: no frame has any pixels left");
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_TRUE(saveFrames(doc, target).empty());
}

TEST_F(FileCommands, AFailedSaveLeavesTheDocumentAndItsJournal) {
    openFiles(doc, {writeAnimation("a.gif", 3)});
    doc.frameList.select(1);
    ASSERT_TRUE(duplicateFrames(doc, {1}, 2, "duplicate frames"));
    doc.optimizeOnSave = true;
    doc.splitDirty = doc.transparentMaskOption = true;
    const std::string before = names();
    const TMyPalette palette = *doc.globalPalette;
    // The folder the file came from is gone: Save, then Save as, fail.
    doc.openDir = (dir / "gone").string();
    EXPECT_FALSE(save(doc));
    EXPECT_FALSE(saveAs(doc, (dir / "gone" / "b.gif").string(), true));
    EXPECT_EQ(names(), before);
    // Maximum compression prepares the document itself: its comment frame
    // goes again when the write fails.
    doc.maxCompression = doc.commentFrameOption = true;
    EXPECT_FALSE(saveAs(doc, (dir / "gone" / "b.gif").string(), true));
    EXPECT_EQ(names(), before);
    EXPECT_EQ(doc.firstFrame, doc.frameList.frameAt(0));
    doc.maxCompression = false;
    EXPECT_TRUE(*doc.globalPalette == palette) << "the save changed the palette";
    EXPECT_EQ(doc.currentFrame, doc.frameList.frameAt(doc.frameList.selectedIndex()));
    ASSERT_EQ(doc.undo.size(), 1u);
    undo(doc);
    EXPECT_EQ(names(), "a.gif.000 a.gif.001 a.gif.002 ");
}

TEST_F(FileCommands, SaveFramesNamesEachFrame) {
    const auto a = writeAnimation("a.gif", 12);
    openFiles(doc, {a});
    const auto written = saveFrames(doc, (dir / "out.gif").string());
    ASSERT_EQ(written.size(), 12u);
    EXPECT_EQ(written.front(), (dir / "out-00.gif").string());
    EXPECT_EQ(written.back(), (dir / "out-11.gif").string());
    const auto single = readGif(written[3]);
    ASSERT_EQ(single.frames.size(), 1u);
    EXPECT_EQ(single.frames[0]->image->pixel(0, 0), 3);
    EXPECT_FALSE(single.loopFound);
    EXPECT_EQ(doc.frameList.count(), 12);  // nothing in the document changed
}

TEST_F(FileCommands, InsertGoesBeforeTheSelectedFrame) {
    openFiles(doc, {writeAnimation("a.gif", 4)});
    doc.frameList.select(2);
    insertFiles(doc, {writeAnimation("b.gif", 2, 7)});
    ASSERT_EQ(doc.frameList.count(), 6);
    EXPECT_EQ(doc.frameList.textAt(2), "b.gif.000");
    EXPECT_EQ(doc.frameList.textAt(3), "b.gif.001");
    EXPECT_EQ(doc.frameList.textAt(4), "a.gif.002");
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(doc.currentFrame, doc.frameList.frameAt(2));
}

TEST_F(FileCommands, MissingFilesAreReportedAndSkipped) {
    const auto a = writeAnimation("a.gif", 2);
    openFiles(doc, {a, (dir / "gone.gif").string()});
    EXPECT_EQ(doc.frameList.count(), 2);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].caption, "File Error");
    EXPECT_EQ(host.messages[0].text, "File \"" + (dir / "gone.gif").string() + "\" not found");
}

TEST_F(FileCommands, TextFilesBecomeComments) {
    std::ofstream(dir / "note.txt") << "Hello\r\nWorld";
    openFiles(doc, {writeAnimation("a.gif", 2), (dir / "note.txt").string()});
    ASSERT_EQ(doc.frameList.count(), 3);
    EXPECT_TRUE(doc.frameList.frameAt(2)->isComment);
    EXPECT_EQ(doc.frameList.textAt(2), "note.txt");
}

TEST_F(FileCommands, QuestionsAboutUnsavedChanges) {
    openFiles(doc, {writeAnimation("a.gif", 2)});
    doc.modified = true;
    host.answers = {Answer::Cancel};
    newDocument(doc);
    EXPECT_EQ(doc.frameList.count(), 2);
    EXPECT_EQ(host.questions.back(), "Movigram GIF Animator: Save changes to \"a.gif\"?");
    host.answers = {Answer::No};
    newDocument(doc);
    EXPECT_EQ(doc.frameList.count(), 0);
    EXPECT_EQ(titleText(doc), "Movigram GIF - (Untitled)");

    // Yes on an untitled document whose save dialog is cancelled keeps it.
    doc.frameList.append("x", test::makeFrame(2, 2, [](int, int) { return 1; }));
    doc.modified = true;
    host.answers = {Answer::Yes};
    host.savePath.reset();
    newDocument(doc);
    EXPECT_EQ(doc.frameList.count(), 1);
    EXPECT_TRUE(doc.modified);
}

// No does not throw the changes away by itself: a dialog cancelled after it
// leaves the document modified, so that Exit still asks.
TEST_F(FileCommands, NoKeepsTheChangesUntilSomethingReplacesThem) {
    const auto a = writeAnimation("a.gif", 2);
    openFiles(doc, {a});
    doc.modified = true;
    host.answers = {Answer::No};
    EXPECT_TRUE(askSave(doc));
    EXPECT_TRUE(doc.modified);
    host.answers = {Answer::No};
    openFiles(doc, {a});
    EXPECT_FALSE(doc.modified);
    EXPECT_EQ(host.questions.size(), 2u);
}

// Files of several folders open together, each from its own folder.
TEST_F(FileCommands, FilesFromTwoFoldersOpenTogether) {
    const auto a = writeAnimation("b.gif", 2);
    std::filesystem::create_directories(dir / "other");
    const auto b = writeAnimation("other/a.gif", 3, 5);
    const ReadOutcome outcome = openFiles(doc, {a, b});
    EXPECT_TRUE(outcome.clean());
    ASSERT_EQ(doc.frameList.count(), 5);
    EXPECT_EQ(doc.frameList.textAt(0), "a.gif.000");  // sorted by file name
    EXPECT_EQ(doc.frameList.textAt(3), "b.gif.000");
    EXPECT_EQ(doc.fileName, "a.gif");
    EXPECT_EQ(doc.openDir, (dir / "other").string());
}

TEST_F(FileCommands, YesWithNothingToSaveGoesOn) {
    const auto a = writeAnimation("a.gif", 2);
    // A modified document without frames, titled or not: Save has nothing to
    // write, and New, Open, a replacing drop and Close go on.
    for (const std::string title : {"t.gif", ""}) {
        auto emptied = [&] {
            clearDocument(doc);
            doc.fileName = title;
            doc.modified = true;
            host.answers = {Answer::Yes};
        };
        emptied();
        newDocument(doc);
        EXPECT_FALSE(doc.modified) << title;
        emptied();
        openFiles(doc, {a});
        EXPECT_EQ(doc.frameList.count(), 2) << title;
        emptied();
        dropFiles(doc, -1, {a});
        EXPECT_EQ(doc.frameList.count(), 2) << title;
        emptied();
        EXPECT_TRUE(askSave(doc)) << title;
    }
}

TEST_F(FileCommands, DroppedFilesGoWhereTheyAreDropped) {
    openFiles(doc, {writeAnimation("a.gif", 10)});
    const auto b = writeAnimation("b.gif", 1, 12), c = writeAnimation("c.gif", 1, 13), d = writeAnimation("d.gif", 1, 14);
    dropFiles(doc, 3, {d, b, c});
    ASSERT_EQ(doc.frameList.count(), 13);
    EXPECT_EQ(doc.frameList.textAt(3), "b.gif.000");
    EXPECT_EQ(doc.frameList.textAt(5), "d.gif.000");
    EXPECT_EQ(doc.frameList.textAt(6), "a.gif.003");
    dropFiles(doc, 99, {b});
    EXPECT_EQ(doc.frameList.textAt(13), "b.gif.000");
    host.answers = {Answer::No};
    dropFiles(doc, -1, {c});
    EXPECT_EQ(doc.frameList.count(), 1);
    EXPECT_FALSE(host.questions.empty());
}

TEST_F(FileCommands, PreviewWritesATemporaryFileUnlessSaved) {
    openFiles(doc, {writeAnimation("a.gif", 2)});
    auto shown = previewFile(doc);
    ASSERT_TRUE(shown);
    EXPECT_EQ(*shown, (dir / "a.gif").string());
    doc.modified = true;
    shown = previewFile(doc);
    ASSERT_TRUE(shown);
    EXPECT_EQ(std::filesystem::path(*shown).filename(), "$movigram-temp.gif");
    EXPECT_EQ(readGif(*shown).result, GifOk);
    std::filesystem::remove(*shown);
}

TEST_F(FileCommands, PreviewLeavesTheDocumentAlone) {
    openFiles(doc, {writeAnimation("a.gif", 3)});
    ASSERT_TRUE(duplicateFrames(doc, {0}, 2, "duplicate frames"));
    const std::string before = names();
    const auto shown = previewFile(doc);
    ASSERT_TRUE(shown);
    const auto written = readGif(*shown);
    std::filesystem::remove(*shown);
    EXPECT_EQ(written.frames.size(), 5u);  // the comment frame and the four frames
    EXPECT_EQ(names(), before);
    ASSERT_EQ(doc.undo.size(), 1u);
    undo(doc);
    EXPECT_EQ(names(), "a.gif.000 a.gif.001 a.gif.002 ");
}


// A name with two dots keeps its middle part, and a successful Save clears
// modified so that the next New asks nothing.
TEST_F(FileCommands, SaveKeepsTheNameAndClearsModified) {
    const auto path = writeAnimation("anim.v2.gif", 2);
    openFiles(doc, {path});
    EXPECT_EQ(doc.fileName, "anim.v2.gif");
    ASSERT_TRUE(duplicateFrames(doc, {0}, 2, "duplicate frames"));
    ASSERT_TRUE(doc.modified);
    ASSERT_TRUE(save(doc));
    EXPECT_FALSE(doc.modified);
    EXPECT_FALSE(std::filesystem::exists(dir / "anim.gif"));
    const GifReadOutput read = readGif(path);
    EXPECT_EQ(read.result, GifOk);
    EXPECT_EQ(read.frames.size(), 4u);  // the comment frame and three images
    newDocument(doc);
    EXPECT_TRUE(host.questions.empty());
}

}  // namespace
}  // namespace movigram
