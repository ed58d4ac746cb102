// Whatever the core tells the view, the view may look at the document: the
// current and first frames, the chain and every list item are live frames.
#include <gtest/gtest.h>

#include <cstdio>

#include "commands/OpenCommands.h"
#include "document/GifReader.h"
#include "document/Optimiser.h"
#include "document/Undo.h"
#include "frameops/FrameOffset.h"
#include "support/GifBuilder.h"
#include "support/RecordingHost.h"

namespace movigram {
namespace {

using test::makeFrame;

// A view that reads the current frame on every call and notes the calls
// that found the document in pieces.
struct ReadingView : test::RecordingHost, FrameListObserver {
    explicit ReadingView(Document& d) : doc(d) {
        doc.setHost(this);
        doc.frameList.setObserver(this);
    }
    void look(const std::string& call) {
        const FrameList& list = doc.frameList;
        auto live = [&](const TFrame* f) { return !f || list.indexOf(f) >= 0; };
        bool whole = live(doc.currentFrame) && live(doc.firstFrame);
        for (int i = 0; i < list.count(); ++i) whole = whole && list.frameAt(i);
        int steps = 0;
        for (const TFrame* f = doc.firstFrame; whole && f && steps <= list.count(); f = f->next, ++steps)
            whole = live(f);
        if (!whole) {
            broken.push_back(call);
            return;
        }
        // What a canvas reads; the sanitizers catch a frame that has gone.
        if (const TFrame* f = doc.currentFrame; f && f->image) seen += f->image->pixel(0, 0) + f->rect.left;
    }
    void viewChanged(unsigned) override { look("viewChanged"); }
    void stopPlayback() override { look("stopPlayback"); }
    void showStatus(const std::string&) override { look("showStatus"); }
    void setProgress(int) override { look("setProgress"); }
    void itemsInserted(int, int) override { look("itemsInserted"); }
    void itemsRemoved(int, int) override { look("itemsRemoved"); }
    void itemChanged(int) override { look("itemChanged"); }
    void listReset() override { look("listReset"); }
    void selectionChanged(int) override { look("selectionChanged"); }

    Document& doc;
    std::vector<std::string> broken;
    long seen = 0;
};

// Full-screen frames of 40 x 40 whose pixels come from the functions.
template <typename... Fn>
std::unique_ptr<Document> screens(Fn... fn) {
    auto doc = std::make_unique<Document>();
    doc->globalPalette = std::make_unique<TMyPalette>(test::testPalette(8));
    int n = 0;
    (doc->frameList.append("f" + std::to_string(n++), makeFrame(40, 40, fn)), ...);
    rethread(*doc, 0);
    return doc;
}

void show(Document& doc, int index) {
    doc.frameList.select(index);
    doc.currentFrame = doc.frameList.frameAt(index);
}

// The calls that found the document in pieces since the last look.
std::string brokenCalls(ReadingView& view) {
    std::string s;
    for (const auto& c : view.broken) s += c + " ";
    view.broken.clear();
    return s;
}

TEST(Callbacks, SeeAWholeDocumentWhileFramesGo) {
    auto flat = [](int, int) { return 1; };
    auto edges = [](int, int y) { return y == 0 || y == 39 ? 2 : 1; };
    auto other = [](int, int) { return 3; };

    // The optimising save merges the current frame into the one before it.
    {
        auto doc = screens(flat, flat, other);
        ReadingView view(*doc);
        show(*doc, 1);
        rethread(*doc, 2);
        EXPECT_EQ(doc->frameList.count(), 2);
        EXPECT_EQ(doc->currentFrame, doc->frameList.frameAt(0));
        EXPECT_EQ(brokenCalls(view), "") << "merge";
    }

    // It splits the current frame, which is replaced by its two pieces.
    auto doc = screens(flat, edges, other);
    ReadingView view(*doc);
    doc->splitDirty = true;
    show(*doc, 1);
    rethread(*doc, 2);
    EXPECT_EQ(doc->frameList.count(), 4);
    EXPECT_EQ(doc->currentFrame, doc->frameList.frameAt(2));
    EXPECT_EQ(brokenCalls(view), "") << "split";

    // Undo takes an inserted first frame out, Delete the first frame, and a
    // reading replaces every frame.
    FrameChain pasted;
    pasted.push_back(makeFrame(40, 40, other));
    show(*doc, 0);
    insertFrames(*doc, InsertShowFirst, std::move(pasted), "paste frame");
    undo(*doc);
    EXPECT_EQ(brokenCalls(view), "") << "undo";
    ASSERT_TRUE(deleteFrames(*doc, {0}));
    EXPECT_EQ(brokenCalls(view), "") << "delete";
    test::GifBuilder gif(4, 4, 4);
    gif.image(0, 0, 4, 4, std::vector<uint8_t>(16, 1));
    const std::string path = ::testing::TempDir() + "callbacks.gif";
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    std::fwrite(gif.trailer().bytes().data(), 1, gif.bytes().size(), file);
    std::fclose(file);
    EXPECT_EQ(openGifDocument(*doc, path), GifOk);
    std::remove(path.c_str());
    EXPECT_EQ(brokenCalls(view), "") << "open";
}

}  // namespace
}  // namespace movigram
