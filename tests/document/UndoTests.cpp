// Recording and undoing edits: every kind of record taken back exactly, the
// budget's reports and the recording switch.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "document/EditScope.h"
#include "document/Undo.h"
#include "save/Optimiser.h"
#include "commands/ClipboardCommands.h"
#include "commands/PaletteCommands.h"
#include "frameops/FlipRotate.h"
#include "frameops/FrameOffset.h"
#include "frameops/GrayScale.h"
#include "frameops/TimingEdits.h"
#include "frameops/OpsTestSupport.h"
#include "support/GifBuilder.h"
#include "support/RecordingHost.h"

namespace movigram {
namespace {

using test::makeFrame;

// Everything about a document that undo must give back; the pixels of large
// frames as a hash of them.
std::string describe(const Document& doc, bool hashPixels = false) {
    std::ostringstream out;
    if (doc.globalPalette) {
        out << "palette " << doc.globalPalette->colorCount << ":";
        for (int i = 0; i < doc.globalPalette->colorCount; ++i) {
            const auto& e = doc.globalPalette->entry(i);
            out << int(e.red) << "," << int(e.green) << "," << int(e.blue) << ";";
        }
    }
    out << " time " << doc.frameTime << "\n";
    for (int i = 0; i < doc.frameList.count(); ++i) {
        const TFrame& f = *doc.frameList.frameAt(i);
        out << doc.frameList.textAt(i) << "|" << f.name << " rect " << f.rect.left << "," << f.rect.top << ","
            << f.rect.right << "," << f.rect.bottom << " t" << f.frameTime << "x" << f.repeat << " r"
            << f.restoreToBackground << " tr" << f.transparentIndex << " c" << f.isComment;
        if (f.localPalette) out << " local" << f.localPalette->colorCount << "/" << int(f.localPalette->entry(0).red);
        if (f.image) {
            out << " img " << f.image->width() << "x" << f.image->height() << ":";
            uint64_t hash = 14695981039346656037u;
            for (int y = 0; y < f.image->height() && hashPixels; ++y)
                for (int x = 0; x < f.image->width(); ++x) hash = (hash ^ f.image->row(y)[x]) * 1099511628211u;
            if (hashPixels) out << hash;
            for (int y = 0; y < f.image->height() && !hashPixels; ++y)
                for (int x = 0; x < f.image->width(); ++x) out << int(f.image->pixel(x, y)) << ".";
        }
        out << "\n";
    }
    return out.str();
}

std::unique_ptr<Document> animation(std::mt19937& rng, test::RecordingHost& host) {
    auto doc = std::make_unique<Document>(&host);
    doc->globalPalette = std::make_unique<TMyPalette>(test::testPalette(8));
    const int frames = 3 + int(rng() % 6);
    for (int i = 0; i < frames; ++i) {
        const int w = 2 + int(rng() % 5), h = 1 + int(rng() % 4);
        auto f = makeFrame(w, h, [&](int, int) { return int(rng() % 8); }, "f" + std::to_string(i));
        f->moveTo({int(rng() % 4), int(rng() % 4)});
        f->frameTime = 10 * (1 + int(rng() % 9));
        if (rng() % 3 == 0) f->transparentIndex = int(rng() % 8);
        if (rng() % 4 == 0) f->localPalette = std::make_unique<TMyPalette>(test::testPalette(4));
        std::string name = f->name;
        doc->frameList.append(std::move(name), std::move(f));
    }
    rethread(*doc, 0);
    return doc;
}

TEST(Undo, CutFrameComesBackWithItsPalette) {
    test::RecordingHost host;
    std::mt19937 rng(1);
    auto doc = animation(rng, host);
    doc->frameList.frameAt(2)->localPalette = std::make_unique<TMyPalette>(test::testPalette(3));
    const std::string before = describe(*doc);
    // Cut: the current frame is recorded, then removed; the palette changes too.
    pushUndo(*doc, EditScope::range(*doc, UndoKind::FramesRemoved, 2, 2, "cut frame"));
    doc->frameList.erase(2);
    doc->globalPalette->colorCount = 2;
    rethread(*doc, 0);
    EXPECT_EQ(doc->undo.menuText(), "&Undo cut frame\tCtrl+Z");
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);
    EXPECT_TRUE(doc->undo.empty());
}

TEST(Undo, DeletedFramesReturnToTheirPositions) {
    test::RecordingHost host;
    std::mt19937 rng(2);
    auto doc = std::make_unique<Document>(&host);
    doc->globalPalette = std::make_unique<TMyPalette>(test::testPalette(8));
    for (int i = 0; i < 9; ++i) doc->frameList.append("f" + std::to_string(i), makeFrame(2, 2, [i](int, int) { return i % 8; }, "f" + std::to_string(i)));
    rethread(*doc, 0);
    const std::string before = describe(*doc);
    pushUndo(*doc, TUndo::indexed(UndoKind::FramesRemoved, doc->frameList, {2, 5, 7}, "delete frames"));
    for (int i : {7, 5, 2}) doc->frameList.erase(i);
    rethread(*doc, 0);
    ASSERT_EQ(doc->frameList.count(), 6);
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);
}

TEST(Undo, RotationIsTurnedBack) {
    test::RecordingHost host;
    std::mt19937 rng(3);
    auto doc = animation(rng, host);
    const std::string before = describe(*doc);
    for (int degrees : {90, 180, 270}) {
        pushUndo(*doc, TUndo::indexed(undoKindForRotation(degrees), doc->frameList, {0, 2}, "rotate frames"));
        rotateFrame(*doc->frameList.frameAt(0), degrees);
        rotateFrame(*doc->frameList.frameAt(2), degrees);
        EXPECT_NE(describe(*doc), before);
        undo(*doc);
        EXPECT_EQ(describe(*doc), before) << degrees;
    }
}

TEST(Undo, InsertFramesFlagsAndUndo) {
    test::RecordingHost host;
    std::mt19937 rng(4);
    auto doc = animation(rng, host);
    const int count = doc->frameList.count();
    const std::string before = describe(*doc);
    struct Case {
        int flags;
        std::vector<std::string> order;  // names around the current frame f1
    };
    for (const Case& c : {Case{0, {"n0", "n1", "f1"}}, Case{InsertAfter, {"f1", "n0", "n1"}},
                          Case{InsertReversed, {"n1", "n0", "f1"}}, Case{InsertAfter | InsertReversed, {"f1", "n1", "n0"}}}) {
        doc->frameList.select(1);
        FrameChain chain;
        chain.push_back(makeFrame(2, 2, [](int, int) { return 1; }, "n0"));
        chain.push_back(makeFrame(2, 2, [](int, int) { return 2; }, "n1"));
        insertFrames(*doc, c.flags, std::move(chain), "duplicate frames");
        ASSERT_EQ(doc->frameList.count(), count + 2);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(doc->frameList.textAt(1 + k), c.order[size_t(k)]) << "flags " << c.flags;
        EXPECT_TRUE(doc->modified);
        undo(*doc);
        EXPECT_EQ(describe(*doc), before) << "flags " << c.flags;
    }
}

// Removals spread over a long animation (too many blocks to announce one
// by one) go back and forth with every frame in place and the chain linked
// in list order.
TEST(Undo, LongScatteredRemovalsComeBackInOrder) {
    test::RecordingHost host;
    auto doc = std::make_unique<Document>(&host);
    doc->globalPalette = std::make_unique<TMyPalette>(test::testPalette(8));
    // Pairs of equal frames: every second one repeats the one before it.
    for (int i = 0; i < 200; ++i)
        doc->frameList.append("f" + std::to_string(i),
                              makeFrame(2, 2, [i](int, int) { return i / 2 % 8; }, "f" + std::to_string(i)));
    rethread(*doc, 0);
    const std::string before = describe(*doc);
    auto linkedInOrder = [&] {
        const FrameList& list = doc->frameList;
        for (int i = 0; i < list.count(); ++i) {
            const TFrame* following = list.frameAt((i + 1) % list.count());
            if (list.frameAt(i)->index != i || list.frameAt(i)->next != following) return false;
        }
        return doc->firstFrame == list.frameAt(0);
    };
    std::vector<int32_t> odd;
    for (int i = 1; i < 200; i += 2) odd.push_back(i);
    ASSERT_TRUE(deleteFrames(*doc, odd, "delete frames"));
    ASSERT_EQ(doc->frameList.count(), 100);
    EXPECT_EQ(doc->frameList.textAt(1), "f2");
    EXPECT_TRUE(linkedInOrder());
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);
    EXPECT_TRUE(linkedInOrder());
    redo(*doc);
    EXPECT_EQ(doc->frameList.textAt(99), "f198");
    EXPECT_TRUE(linkedInOrder());
    undo(*doc);

    EXPECT_EQ(removeDuplicateFrames(*doc, "remove duplicates"), 100);
    EXPECT_EQ(doc->frameList.textAt(99), "f198");
    EXPECT_TRUE(linkedInOrder());
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);
    EXPECT_TRUE(linkedInOrder());
}

TEST(Undo, ARecordThatNoLongerFitsIsDroppedWholeAndReported) {
    test::RecordingHost host;
    std::mt19937 rng(6);
    auto doc = animation(rng, host);
    const int count = doc->frameList.count();
    pushUndo(*doc, TUndo::indexed(UndoKind::Flipped, doc->frameList, {0, count + 5}, "flip frames"));
    pushUndo(*doc, EditScope::whole(*doc, "reduce colors"));
    // Frames and palette change behind the journal's back.
    doc->globalPalette = std::make_unique<TMyPalette>(test::testPalette(3));
    doc->frameList.append("extra", makeFrame(2, 2, [](int, int) { return 1; }, "extra"));
    rethread(*doc, 0);
    const std::string now = describe(*doc);
    for (const char* label : {"reduce colors", "flip frames"}) {
        undo(*doc);
        EXPECT_EQ(describe(*doc), now) << label;
        ASSERT_FALSE(host.statusTexts.empty());
        EXPECT_EQ(host.statusTexts.back(), "Cannot undo \"" + std::string(label) + "\": the animation has changed since")
            << label;
    }
    EXPECT_TRUE(doc->undo.empty());
}

TEST(Undo, RecordingOffKeepsNothingButShowsTheLabel) {
    test::RecordingHost host;
    std::mt19937 rng(5);
    auto doc = animation(rng, host);
    doc->undo.setEnabled(false);
    pushUndo(*doc, EditScope::whole(*doc, "gray scale"));
    EXPECT_TRUE(doc->undo.empty());
    EXPECT_FALSE(doc->undo.canUndo());
    EXPECT_EQ(doc->undo.menuText(), "&Undo gray scale\tCtrl+Z");
}

// Random edits, each recorded as its command records it, then undone one by
// one: the document comes back exactly.
TEST(Undo, RandomEditsAreAllTakenBack) {
    for (uint32_t seed = 10; seed < 70; ++seed) {
        test::RecordingHost host;
        std::mt19937 rng(seed);
        auto doc = animation(rng, host);
        std::vector<std::string> states{describe(*doc)};
        const int steps = 1 + int(rng() % 8);
        for (int s = 0; s < steps; ++s) {
            FrameList& list = doc->frameList;
            const int n = list.count();
            std::vector<int32_t> picked;
            for (int i = 0; i < n; ++i)
                if (rng() % 2) picked.push_back(i);
            if (picked.empty()) picked.push_back(int(rng() % unsigned(n)));
            switch (rng() % 8) {
            case 0:  // delete frames (keep one)
                if (int(picked.size()) == n) picked.pop_back();
                if (picked.empty()) continue;
                pushUndo(*doc, TUndo::indexed(UndoKind::FramesRemoved, list, picked, "delete frames"));
                for (auto it = picked.rbegin(); it != picked.rend(); ++it) list.erase(*it);
                break;
            case 1: {  // shift: placement only, recorded shallow
                pushUndo(*doc, TUndo::indexed(UndoKind::FramesChanged, list, picked, "shift frames", false));
                for (int i : picked) list.frameAt(i)->moveTo({list.frameAt(i)->rect.left + 3, 1});
                break;
            }
            case 2: {  // rotate, flip or mirror
                const int op = int(rng() % 5);
                const UndoKind kind = op == 0 ? UndoKind::Flipped : op == 1 ? UndoKind::Mirrored : undoKindForRotation(90 * (op - 1));
                pushUndo(*doc, TUndo::indexed(kind, list, picked, "rotate frames"));
                for (int i : picked) {
                    TFrame& f = *list.frameAt(i);
                    if (op == 0) flipFrame(f);
                    else if (op == 1) mirrorFrame(f);
                    else rotateFrame(f, 90 * (op - 1));
                }
                break;
            }
            case 3:  // reverse order
                if (picked.size() < 2) continue;
                pushUndo(*doc, TUndo::indexed(UndoKind::OrderReversed, list, picked, "Reverse order"));
                reverseFrames(list, picked);
                break;
            case 4: {  // a whole-document change with a new palette
                pushUndo(*doc, EditScope::whole(*doc, "gray scale"));
                for (int i = 0; i < n; ++i)
                    if (TFrame* f = list.frameAt(i); f->image) f->image->fill(1);
                doc->globalPalette->setEntry(0, {1, 2, 3, 0});
                break;
            }
            case 5: {  // duplicate
                FrameChain chain;
                for (int i : picked) chain.push_back(list.frameAt(i)->clone());
                list.select(int(rng() % unsigned(n)));
                insertFrames(*doc, int(rng() % 5), std::move(chain), "duplicate frames");
                break;
            }
            case 6:  // frame rate
                pushUndo(*doc, TUndo::timing(list, doc->frameTime, "frame rate"));
                for (int i = 0; i < n; ++i) {
                    list.frameAt(i)->repeat += 2;
                    list.frameAt(i)->frameTime = 30;
                }
                doc->frameTime = 30;
                break;
            default: {  // crop frames: deep copies of changed images
                pushUndo(*doc, TUndo::indexed(UndoKind::FramesChanged, list, picked, "crop frames"));
                for (int i : picked) {
                    TFrame& f = *list.frameAt(i);
                    f.crop({f.rect.left, f.rect.top, f.rect.left + 1, f.rect.bottom});
                }
                break;
            }
            }
            rethread(*doc, 0);
            states.push_back(describe(*doc));
        }
        while (states.size() > 1) {
            ASSERT_TRUE(doc->undo.canUndo()) << "seed " << seed;
            states.pop_back();
            undo(*doc);
            ASSERT_EQ(describe(*doc), states.back()) << "seed " << seed << " after undoing to step " << states.size() - 1;
        }
    }
}

// A screen recording of 38 frames of 1140 x 828: each deleted frame moves
// into its record, and three deletes, a crop and a gray scale all go back
// and forth within the budget.
TEST(Undo, ARecordingKeepsItsWholeHistory) {
    std::vector<std::unique_ptr<TFrame>> frames;
    for (int i = 0; i < 38; ++i)
        frames.push_back(makeFrame(1140, 828, [i](int x, int y) { return (x / 64 + y / 64 + i) % 8; }, "rec"));
    auto doc = test::documentOf(std::move(frames));
    test::RecordingHost host;
    doc->setHost(&host);
    std::vector<std::string> states{describe(*doc, true)};
    for (int k = 0; k < 3; ++k) {
        const TFrame* deleted = doc->frameList.frameAt(9);
        ASSERT_TRUE(deleteFrames(*doc, {9}, "delete frames"));
        ASSERT_EQ(doc->undo.newest()->savedFrames.size(), 1u);
        EXPECT_EQ(doc->undo.newest()->savedFrames[0].get(), deleted);  // moved, not copied
        states.push_back(describe(*doc, true));
    }
    doc->frameList.select(0);
    doc->currentFrame = doc->frameList.frameAt(0);
    ASSERT_TRUE(deleteFrame(*doc, "delete frame"));
    states.push_back(describe(*doc, true));
    ASSERT_TRUE(cropFrames(*doc, {0, 1, 2}, {0, 0, 600, 400}, false, "crop frames"));
    states.push_back(describe(*doc, true));
    ASSERT_TRUE(grayScale(*doc, {3}, "gray scale"));
    // The gray scale's record holds the one frame it changed.
    EXPECT_EQ(doc->undo.newest()->savedFrames.size(), 1u);
    states.push_back(describe(*doc, true));
    EXPECT_EQ(doc->undo.size(), states.size() - 1);
    for (size_t k = states.size() - 1; k > 0; --k) {
        undo(*doc);
        ASSERT_EQ(describe(*doc, true), states[k - 1]) << "undo to step " << k - 1;
    }
    EXPECT_FALSE(doc->undo.canUndo());
    for (size_t k = 1; k < states.size(); ++k) {
        redo(*doc);
        ASSERT_EQ(describe(*doc, true), states[k]) << "redo to step " << k;
    }
    EXPECT_TRUE(host.statusTexts.empty());
}

// Records dropped for the budget are reported when they are dropped; an edit
// cancelled in its dialog drops nothing and leaves the journal as it was.
TEST(Undo, TheBudgetTellsWhenItDropsAndCancelDropsNothing) {
    std::vector<std::unique_ptr<TFrame>> frames;
    for (int i = 0; i < 3; ++i) frames.push_back(makeFrame(64, 64, [i](int x, int) { return (x + i) % 8; }, "f"));
    auto doc = test::documentOf(std::move(frames));
    test::RecordingHost host;
    doc->setHost(&host);
    doc->undo.setBudget(2 * undoBytesOf(*doc->frameList.frameAt(0)));
    ASSERT_TRUE(shiftFrames(*doc, {0, 1, 2}, 3, 0, "shift frames"));
    recordGrayScale(*doc, "gray scale");  // more than the budget
    cancelGrayScale(*doc);
    beginReduceColorDepth(*doc, "reduce colors");
    cancelReduceColorDepth(*doc);
    ASSERT_EQ(doc->undo.size(), 1u);
    EXPECT_EQ(doc->undo.newest()->label, "shift frames");
    EXPECT_TRUE(host.statusTexts.empty());

    ASSERT_TRUE(deleteFrames(*doc, {0}, "delete frames"));
    ASSERT_TRUE(deleteFrames(*doc, {0}, "delete frames"));
    EXPECT_EQ(doc->undo.size(), 3u);
    ASSERT_TRUE(deleteFrames(*doc, {0}, "delete frames"));
    ASSERT_EQ(host.statusTexts.size(), 1u);
    EXPECT_EQ(host.statusTexts[0], "Undo memory is full: the 2 oldest steps can no longer be undone");
    EXPECT_EQ(doc->undo.size(), 2u);
}

}  // namespace
}  // namespace movigram
