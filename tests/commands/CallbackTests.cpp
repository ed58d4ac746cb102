// Whatever the core tells the view or the host while an optimising save
// splits and merges frames, the document it may look at is whole: the
// current and first frames, the chain and every list item are live frames.
#include <gtest/gtest.h>

#include "save/Optimiser.h"
#include "support/GifBuilder.h"
#include "support/RecordingHost.h"

namespace movigram {
namespace {

using test::makeFrame;

// A view and host that read the current frame on every call and note the
// calls that found the document in pieces.
struct ReadingView : test::RecordingHost, DocumentObserver {
    explicit ReadingView(Document& d) : doc(d) {
        doc.setHost(this);
        doc.addObserver(this);
    }
    ~ReadingView() override { doc.removeObserver(this); }
    void look(const std::string& call) {
        const FrameList& list = doc.frameList;
        auto live = [&](const TFrame* f) { return !f || list.indexOf(f) >= 0; };
        bool whole = live(doc.currentFrame) && live(doc.firstFrame);
        for (int i = 0; i < list.count(); ++i) whole = whole && list.frameAt(i);
        int steps = 0;
        for (const TFrame* f = doc.firstFrame; whole && f && steps <= list.count(); f = f->next, ++steps)
            whole = live(f);
        if (!whole) {
            broken += call + " ";
            return;
        }
        // What a canvas reads; the sanitizers catch a frame that has gone.
        if (const TFrame* f = doc.currentFrame; f && f->image) seen += f->image->pixel(0, 0) + f->rect.left;
    }
    void showStatus(const std::string&) override { look("showStatus"); }
    void setProgress(int) override { look("setProgress"); }
    void framesAboutToBeInserted(int, int) override { look("framesAboutToBeInserted"); }
    void framesInserted(int, int) override { look("framesInserted"); }
    void framesAboutToBeRemoved(int, int) override { look("framesAboutToBeRemoved"); }
    void framesRemoved(int, int) override { look("framesRemoved"); }
    void frameChanged(int) override { look("frameChanged"); }
    void currentFrameChanged() override { look("currentFrameChanged"); }
    void selectionChanged(int) override { look("selectionChanged"); }
    void documentChanged() override { look("documentChanged"); }

    Document& doc;
    std::string broken;
    long seen = 0;
};

TEST(Callbacks, SeeAWholeDocumentWhileTheOptimiserSplitsAndMerges) {
    // Frame 1 changes only the top and bottom rows (split), frame 3 repeats
    // frame 2 (merged); each is the current frame in turn.
    auto flat = [](int, int) { return 1; };
    auto edges = [](int, int y) { return y == 0 || y == 39 ? 2 : 1; };
    auto other = [](int, int) { return 3; };
    for (int current : {1, 3}) {
        Document doc;
        doc.globalPalette = std::make_unique<TMyPalette>(test::testPalette(8));
        doc.frameList.append("f0", makeFrame(40, 40, flat));
        doc.frameList.append("f1", makeFrame(40, 40, edges));
        doc.frameList.append("f2", makeFrame(40, 40, other));
        doc.frameList.append("f3", makeFrame(40, 40, other));
        doc.relink();
        doc.splitDirty = true;
        doc.showFrameAt(current);
        ReadingView view(doc);
        rethread(doc, 2);
        EXPECT_EQ(doc.frameList.count(), 4) << current;
        EXPECT_EQ(view.broken, "") << current;
    }
}

}  // namespace
}  // namespace movigram
