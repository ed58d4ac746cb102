// The change channel: observers hear of every list change before and after
// it, and the document they see is consistent in every call.
#include <gtest/gtest.h>

#include "document/EditScope.h"
#include "save/Optimiser.h"
#include "document/Undo.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

std::unique_ptr<TFrame> solid(int w, int h, int index, std::string name) {
    return test::makeFrame(w, h, [&](int, int) { return index; }, std::move(name));
}

// Checks the document in every call and keeps a log of the list events with
// the frame count seen at that moment.
struct Checker : DocumentObserver {
    explicit Checker(Document& d) : doc(d) { doc.addObserver(this); }
    ~Checker() override { doc.removeObserver(this); }

    void check() {
        ++calls;
        const FrameList& list = doc.frameList;
        for (int i = 0; i < list.count(); ++i) {
            ASSERT_NE(list.frameAt(i), nullptr);
            // Reading a frame's fields is what a view does; ASan catches a dead one.
            ASSERT_GE(list.frameAt(i)->repeat, 0);
            // The chain may be half rewritten during a save's passes, but
            // it never leads to a frame that has gone.
            if (const TFrame* next = list.frameAt(i)->next) {
                ASSERT_GE(list.indexOf(next), 0);
            }
        }
        ASSERT_EQ(doc.firstFrame, list.frameAt(0));
        if (doc.currentFrame) {
            ASSERT_GE(list.indexOf(doc.currentFrame), 0);
        }
    }
    void log(const char* what, int first, int count) {
        check();
        events.push_back(std::string(what) + std::to_string(first) + "," + std::to_string(count) + "@" +
                         std::to_string(doc.frameList.count()));
    }
    void framesAboutToBeInserted(int f, int c) override { log("+?", f, c); }
    void framesInserted(int f, int c) override { log("+", f, c); }
    void framesAboutToBeRemoved(int f, int c) override { log("-?", f, c); }
    void framesRemoved(int f, int c) override { log("-", f, c); }
    void framesAboutToBeMoved(int f, int c, int) override { log("m?", f, c); }
    void framesMoved(int f, int c, int) override { log("m", f, c); }
    void frameChanged(int) override { check(); }
    void currentFrameChanged() override { check(); }
    void selectionChanged(int) override { check(); }
    void documentChanged() override {
        check();
        ++repaints;
        announced.push_back("repaint");
    }
    void editStarting() override { announced.push_back("starting"); }
    void paletteChanged() override { announced.push_back("palette"); }
    void fileNameChanged() override { announced.push_back("title"); }

    Document& doc;
    std::vector<std::string> events;
    std::vector<std::string> announced;
    int calls = 0, repaints = 0;
};

Document fourFrames() {
    Document doc;
    doc.globalPalette = std::make_unique<TMyPalette>(test::testPalette(8));
    for (int i = 0; i < 4; ++i) doc.frameList.append("f" + std::to_string(i), solid(4, 4, i, "f"));
    doc.relink();
    return doc;
}

TEST(DocumentObserver, ListEventsComeBeforeAndAfterTheChange) {
    Document doc = fourFrames();
    Checker checker(doc);
    doc.frameList.insert(1, "x", solid(2, 2, 5, "x"));
    doc.frameList.erase(3);
    EXPECT_TRUE(doc.frameList.move(0, 2, 4));
    EXPECT_EQ(checker.events, (std::vector<std::string>{"+?1,1@4", "+1,1@5", "-?3,1@5", "-3,1@4", "m?0,2@4",
                                                       "m0,2@4"}));
    EXPECT_EQ(doc.frameList.textAt(2), "f0");
    EXPECT_EQ(doc.frameList.textAt(3), "x");
}

TEST(DocumentObserver, EveryCallSeesLiveFramesThroughEditsUndoAndAnOptimisingSave) {
    Document doc = fourFrames();
    doc.showFrameAt(2);
    Checker checker(doc);
    {
        // Deleting the current frame inside an edit scope: one repaint at the end.
        EditScope edit(doc, TUndo::indexed(UndoKind::FramesRemoved, doc.frameList, {1, 2}, "delete frames"));
        doc.frameList.erase(2);
        doc.frameList.erase(1);
    }
    EXPECT_EQ(checker.repaints, 1);
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(doc.frameList.count(), 2);
    undo(doc);
    EXPECT_EQ(doc.frameList.count(), 4);

    // Identical frames merge in an optimising save; the current one goes.
    for (int i = 0; i < 4; ++i) doc.frameList.setFrame(i, solid(4, 4, 1, "same"));
    doc.showFrameAt(3);
    rethread(doc, 2);
    EXPECT_EQ(doc.frameList.count(), 1);
    EXPECT_EQ(doc.currentFrame, doc.frameList.frameAt(0));
    doc.frameList.clear();
    EXPECT_EQ(doc.currentFrame, nullptr);
    EXPECT_GT(checker.calls, 10);
}

TEST(DocumentObserver, CancelledEditWithdrawsItsRecordAndAnnouncesNothing) {
    Document doc = fourFrames();
    Checker checker(doc);
    {
        EditScope edit(doc, EditScope::whole(doc, "gray scale"));
        EXPECT_TRUE(doc.undo.canUndo());
        edit.cancel();
    }
    EXPECT_FALSE(doc.undo.canUndo());
    EXPECT_FALSE(doc.modified);
    EXPECT_EQ(checker.repaints, 0);

    // The same with the halves of a scope around a dialog.
    beginEdit(doc, EditScope::whole(doc, "reduce colors"));
    EXPECT_TRUE(doc.undo.canUndo());
    cancelEdit(doc);
    EXPECT_FALSE(doc.undo.canUndo());
    EXPECT_FALSE(doc.modified);
    EXPECT_EQ(checker.announced, (std::vector<std::string>{"starting", "starting"}));
}

// An edit that touches the palette or the title says so once, when it
// closes, whether it was told or the operations it ran announced them.
TEST(DocumentObserver, ScopeAnnouncesPaletteAndTitleOnceWhenItCloses) {
    Document doc = fourFrames();
    Checker checker(doc);
    {
        EditScope edit(doc, EditScope::whole(doc, "delete color"));
        doc.globalPalette->colorCount = 7;
        edit.touches({.palette = true});
        doc.paletteEdited();
        doc.changed({.title = true});
        {
            EditScope inner(doc, nullptr);
            doc.titleEdited();
        }
        EXPECT_EQ(checker.announced, (std::vector<std::string>{"starting", "starting"}));
    }
    EXPECT_EQ(checker.announced, (std::vector<std::string>{"starting", "starting", "palette", "repaint", "title"}));
    EXPECT_TRUE(doc.modified);

    // A cancelled scope still tells of a change made before the cancel.
    checker.announced.clear();
    {
        EditScope edit(doc, nullptr);
        doc.paletteEdited();
        edit.cancel();
    }
    EXPECT_EQ(checker.announced, (std::vector<std::string>{"starting", "palette"}));

    checker.announced.clear();
    beginEdit(doc, EditScope::whole(doc, "gray scale"));
    commitEdit(doc, {.palette = true});
    EXPECT_EQ(checker.announced, (std::vector<std::string>{"starting", "palette", "repaint"}));
    undo(doc);
    EXPECT_EQ(doc.undo.menuText(), "&Undo delete color\tCtrl+Z");
}

}  // namespace
}  // namespace movigram
