// The frame list: inserting, taking and the selection, one item at a time
// and in batches, with the document's chain following every change.
#include <gtest/gtest.h>

#include <algorithm>

#include "document/Document.h"
#include "document/FrameList.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using test::makeFrame;
using test::testPalette;

auto solid(int w, int h, int v) { return makeFrame(w, h, [v](int, int) { return v; }); }

TEST(FrameListOps, InsertTakeAndSelection) {
    struct Recorder : FrameListObserver {
        std::vector<std::string> events;
        void itemsInserted(int first, int) override { events.push_back("+" + std::to_string(first)); }
        void itemsRemoved(int first, int) override { events.push_back("-" + std::to_string(first)); }
        void selectionChanged(int index) override { events.push_back("s" + std::to_string(index)); }
    } recorder;
    FrameList list;
    list.setObserver(&recorder);
    list.append("a", solid(1, 1, 0));
    list.append("c", solid(1, 1, 2));
    list.select(1);
    EXPECT_EQ(list.insert(1, "b", solid(1, 1, 1)), 1);
    EXPECT_EQ(list.selectedIndex(), 2);  // the selected frame keeps its selection
    EXPECT_EQ(list.textAt(1), "b");
    EXPECT_EQ(list.insert(99, "d", solid(1, 1, 3)), 3);
    auto taken = list.take(2);
    EXPECT_EQ(taken->image->pixel(0, 0), 2);
    EXPECT_EQ(list.selectedIndex(), -1);
    EXPECT_EQ(list.frameAt(7), nullptr);
    EXPECT_EQ(list.indexOf(list.frameAt(2)), 2);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"+0", "+1", "s1", "+1", "+3", "-2"}));
}

// The chain as a whole relink would make it: each frame numbered by its
// position and linked to the next, the last closing the loop.
void expectLinkedInOrder(const Document& doc, const std::string& when) {
    const FrameList& list = doc.frameList;
    const int n = list.count();
    ASSERT_EQ(doc.firstFrame, list.frameAt(0)) << when;
    for (int i = 0; i < n; ++i) {
        const TFrame* f = list.frameAt(i);
        ASSERT_EQ(f->index, i) << when;
        const TFrame* following = i + 1 < n ? list.frameAt(i + 1) : doc.loopOption && n >= 2 ? list.frameAt(0) : nullptr;
        ASSERT_EQ(f->next, following) << when << ", frame " << i;
    }
}

// Checks the chain whenever the document announces a list change, and logs
// the changes.
struct ChainChecker : DocumentObserver {
    explicit ChainChecker(Document& d) : doc(d) { doc.addObserver(this); }
    ~ChainChecker() override { doc.removeObserver(this); }
    void log(const std::string& event) {
        expectLinkedInOrder(doc, event);
        events.push_back(event);
    }
    void framesInserted(int f, int c) override { log("+" + std::to_string(f) + "," + std::to_string(c)); }
    void framesRemoved(int f, int c) override { log("-" + std::to_string(f) + "," + std::to_string(c)); }
    void framesMoved(int f, int c, int d) override { log("m" + std::to_string(f) + "," + std::to_string(c) + ">" + std::to_string(d)); }
    void framesReset() override { log("reset"); }
    void frameChanged(int i) override { log("c" + std::to_string(i)); }
    std::vector<std::string> take() { return std::exchange(events, {}); }

    Document& doc;
    std::vector<std::string> events;
};

std::vector<std::string> texts(const FrameList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.count(); ++i) out.push_back(list.textAt(i));
    return out;
}

TEST(FrameListOps, BatchesKeepOrderSelectionAndTheChain) {
    Document doc;
    ChainChecker checker(doc);
    std::vector<std::string> expected;
    std::vector<FrameList::Entry> entries;
    for (int i = 0; i < 300; ++i) {
        expected.push_back(std::to_string(i));
        entries.push_back({expected.back(), solid(1, 1, i % 256)});
    }
    doc.frameList.insertRange(0, std::move(entries));
    EXPECT_EQ(checker.take(), (std::vector<std::string>{"+0,300"}));
    doc.showFrameAt(151);

    // Scattered items (a hundred blocks) come out and go back in one pass
    // each; the selection and the current frame follow their item.
    std::vector<int32_t> thirds;
    for (int i = 0; i < 300; i += 3) thirds.push_back(i);
    std::vector<FrameList::Entry> taken = doc.frameList.takeAt(thirds);
    ASSERT_EQ(taken.size(), 100u);
    EXPECT_EQ(taken[50].text, "150");
    EXPECT_EQ(doc.frameList.count(), 200);
    EXPECT_EQ(doc.frameList.textAt(1), "2");
    EXPECT_EQ(doc.frameList.textAt(doc.frameList.selectedIndex()), "151");
    EXPECT_EQ(doc.currentFrame, doc.frameList.frameAt(doc.frameList.selectedIndex()));
    doc.frameList.insertAt(thirds, std::move(taken));
    EXPECT_EQ(texts(doc.frameList), expected);
    EXPECT_EQ(doc.frameList.selectedIndex(), 151);
    EXPECT_EQ(checker.take(), (std::vector<std::string>{"reset", "reset"}));

    // A few blocks are announced one by one, the last first.
    const std::vector<int32_t> few{0, 1, 2, 100, 299};
    taken = doc.frameList.takeAt(few);
    EXPECT_EQ(checker.take(), (std::vector<std::string>{"-299,1", "-100,1", "-0,3"}));
    ASSERT_EQ(taken.size(), 5u);
    EXPECT_EQ(taken[3].text, "100");
    doc.frameList.insertAt(few, std::move(taken));
    EXPECT_EQ(checker.take(), (std::vector<std::string>{"+0,3", "+100,1", "+299,1"}));
    EXPECT_EQ(texts(doc.frameList), expected);

    // A range holding the current frame: no current frame is left behind.
    taken = doc.frameList.takeRange(140, 20);
    EXPECT_EQ(doc.currentFrame, nullptr);
    EXPECT_EQ(doc.frameList.selectedIndex(), -1);
    doc.frameList.insertRange(140, std::move(taken));
    EXPECT_EQ(texts(doc.frameList), expected);
    EXPECT_EQ(checker.take(), (std::vector<std::string>{"-140,20", "+140,20"}));

    EXPECT_TRUE(doc.frameList.move(10, 5, 200));
    std::rotate(expected.begin() + 10, expected.begin() + 15, expected.begin() + 200);
    doc.frameList.swap(0, 299);
    std::swap(expected.front(), expected.back());
    EXPECT_EQ(texts(doc.frameList), expected);

    // Replacing the current frame's object makes its replacement current.
    doc.showFrameAt(5);
    const std::unique_ptr<TFrame> old = doc.frameList.setFrame(5, solid(1, 1, 7));
    EXPECT_EQ(doc.currentFrame, doc.frameList.frameAt(5));

    // Without looping the last frame leads nowhere, whatever is removed.
    doc.loopOption = false;
    doc.frameList.takeRange(290, 10);
    doc.frameList.takeAt({0, 5});
    EXPECT_EQ(checker.take(), (std::vector<std::string>{"m10,5>200", "c0", "c299", "c5", "-290,10", "-5,1", "-0,1"}));
    EXPECT_EQ(doc.frameList.count(), 288);
}

}  // namespace
}  // namespace movigram
