// Every recorded operation, applied to generated animations in random
// sequences and then undone step by step, gives back the animation exactly.
#include <gtest/gtest.h>

#include <functional>

#include "OpsTestSupport.h"
#include "frameops/ColorCommands.h"
#include "document/Undo.h"
#include "effects/DoFade.h"
#include "frameops/FlipRotate.h"
#include "frameops/FrameOffset.h"
#include "frameops/FrameOrder.h"
#include "support/GifBuilder.h"
#include "frameops/FrameTiming.h"
#include "frameops/GrayScale.h"
#include "frameops/Caption.h"
#include "frameops/Redact.h"

namespace movigram {
namespace {

using Rng = std::mt19937;

int pick(Rng& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

FrameSelection randomSelection(const Document& doc, Rng& rng) {
    FrameSelection s;
    for (int i = 0; i < doc.frameList.count(); ++i)
        if (pick(rng, 0, 1)) s.push_back(i);
    return s;
}

void selectRandomImageFrame(Document& doc, Rng& rng) {
    std::vector<int> images;
    for (int i = 0; i < doc.frameList.count(); ++i)
        if (doc.frameList.frameAt(i)->hasImage()) images.push_back(i);
    if (images.empty()) return;
    doc.frameList.select(images[size_t(pick(rng, 0, int(images.size()) - 1))]);
    rethread(doc, 0);
}

struct Operation {
    const char* name;
    std::function<void(Document&, Rng&)> run;
};

const std::vector<Operation>& operations() {
    static const std::vector<Operation> ops = {
        {"shift", [](Document& d, Rng& r) { shiftFrames(d, randomSelection(d, r), pick(r, -30, 30), pick(r, -30, 30), "shift frames"); }},
        {"sprite", [](Document& d, Rng& r) { movingSprite(d, randomSelection(d, r), pick(r, -9, 9), pick(r, -9, 9), "moving sprite"); }},
        {"crop",
         [](Document& d, Rng& r) {
             const int left = pick(r, 0, 30), top = pick(r, 0, 20);
             cropFrames(d, randomSelection(d, r), {left, top, left + pick(r, 0, 30), top + pick(r, 0, 20)},
                        pick(r, 0, 1) == 1, "crop frames");
         }},
        {"delete", [](Document& d, Rng& r) { deleteFrames(d, randomSelection(d, r), "delete frames"); }},
        {"resize", [](Document& d, Rng& r) { resizeFrames(d, randomSelection(d, r), pick(r, 1, 40), pick(r, 1, 30), "resize frames"); }},
        {"duplicate",
         [](Document& d, Rng& r) {
             selectRandomImageFrame(d, r);
             duplicateFrames(d, randomSelection(d, r), pick(r, 2, 3), "duplicate frames");
         }},
        {"flip or rotate",
         [](Document& d, Rng& r) { flipRotateFrames(d, randomSelection(d, r), FlipRotateOperation(pick(r, 0, 4)), pick(r, 0, 1) == 1, "rotate frames"); }},
        {"reverse", [](Document& d, Rng& r) { reverseOrder(d, randomSelection(d, r), "Reverse order"); }},
        {"gray", [](Document& d, Rng& r) { grayScale(d, randomSelection(d, r), "gray scale"); }},
        {"restore method",
         [](Document& d, Rng& r) { setRestoreMethod(d, randomSelection(d, r), pick(r, 0, 1) == 1, "restore method"); }},
        {"solid color",
         [](Document& d, Rng& r) {
             selectRandomImageFrame(d, r);
             insertSolidColor(d, pick(r, 0, 7), "insert solid frame");
         }},
        {"transparent color",
         [](Document& d, Rng& r) {
             selectRandomImageFrame(d, r);
             beginTransparentPick(d, "set transparent");
             setPickedColor(d, PickMode::Transparent, pick(r, -1, 7));
         }},
        {"merge background",
         [](Document& d, Rng& r) {
             selectRandomImageFrame(d, r);
             mergeBackground(d, "merge background");
         }},
        {"merge foreground",
         [](Document& d, Rng& r) {
             selectRandomImageFrame(d, r);
             for (int i = d.frameList.count(); i-- > 0;)
                 if (d.frameList.frameAt(i)->transparentIndex >= 0 && pick(r, 0, 1)) d.frameList.select(i);
             rethread(d, 0);
             mergeForeground(d, "merge foreground");
         }},
        {"unoptimize", [](Document& d, Rng&) { unoptimize(d, "unoptimize"); }},
        {"frame rate",
         [](Document& d, Rng& r) { setFrameRate(d, 10 * pick(r, 1, 30), "frame rate", randomSelection(d, r), pick(r, 0, 4)); }},
        {"move",
         [](Document& d, Rng& r) {
             const int n = d.frameList.count();
             if (n == 0) return;
             const int first = pick(r, 0, n - 1);
             moveFrames(d, first, pick(r, 1, n - first), pick(r, 0, n));
         }},
        {"delete color",
         [](Document& d, Rng& r) {
             selectRandomImageFrame(d, r);
             deletePaletteEntry(d, pick(r, 0, shownPalette(d).colorCount - 1), "delete color");
         }},
        {"pixelate or blur",
         [](Document& d, Rng& r) {
             const int left = pick(r, -5, 40), top = pick(r, -5, 30);
             const TRect area{left, top, left + pick(r, 1, 30), top + pick(r, 1, 20)};
             if (pick(r, 0, 1)) pixelateArea(d, randomSelection(d, r), area, pick(r, 2, 6), "pixelate");
             else blurArea(d, randomSelection(d, r), area, pick(r, 1, 4), "blur");
         }},
        {"caption",
         [](Document& d, Rng& r) {
             CaptionStyle style;
             style.size = pick(r, 5, 12);
             style.outline = pick(r, 0, 2);
             style.color = {uint8_t(pick(r, 0, 255)), uint8_t(pick(r, 0, 255)), uint8_t(pick(r, 0, 255))};
             if (pick(r, 0, 1)) style.left = pick(r, -10, 40), style.top = pick(r, -10, 30);
             drawCaption(d, randomSelection(d, r), pick(r, 0, 1) ? "Ab" : "x\ny", style, "text");
         }},
        {"effect",
         [](Document& d, Rng& r) {
             selectRandomImageFrame(d, r);
             EffectParams p;
             p.effect = pick(r, 0, EffectCount - 1);
             const EffectFamily& family = *familyOfEffect(p.effect);
             p.direction = family.firstDirection < 0 ? 0 : pick(r, family.firstDirection, family.lastDirection);
             p.frameCount = pick(r, 1, 4);
             p.msPerFrame = 10 * pick(r, 1, 12);
             p.cellWidth = pick(r, 1, 4);
             p.cellHeight = pick(r, 1, 4);
             p.solidIndex = pick(r, 0, 7);
             p.solidColor = rgbValue(pick(r, 0, 255), pick(r, 0, 255), pick(r, 0, 255));
             if (effectInfo(p.effect)->flags & EffectBefore) DoFadeIn(d, p, 7);
             else DoFadeOut(d, p, 7);
         }},
    };
    return ops;
}

TEST(UndoProperty, EachOperationUndoesExactly) {
    for (const Operation& op : operations()) {
        int recorded = 0;
        for (uint32_t seed = 1; seed <= 60; ++seed) {
            Rng rng(seed);
            auto doc = test::randomDocument(rng);
            const std::string before = test::describe(*doc);
            const size_t records = doc->undo.size();
            op.run(*doc, rng);
            if (doc->undo.size() == records) {
                EXPECT_EQ(test::describe(*doc), before) << op.name << " changed without a record, seed " << seed;
                continue;
            }
            ASSERT_EQ(doc->undo.size(), records + 1) << op.name;
            ++recorded;
            undo(*doc);
            ASSERT_EQ(test::describe(*doc), before) << op.name << ", seed " << seed;
        }
        // The generated animations must give every operation work to do.
        EXPECT_GE(recorded, 20) << op.name;
    }
}

TEST(UndoProperty, SequencesUndoStepByStep) {
    const auto& ops = operations();
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        Rng rng(seed * 7919);
        auto doc = test::randomDocument(rng);
        std::vector<std::string> states{test::describe(*doc)};
        std::vector<std::string> names;
        const int steps = pick(rng, 2, 5);
        for (int k = 0; k < steps; ++k) {
            const Operation& op = ops[size_t(pick(rng, 0, int(ops.size()) - 1))];
            const size_t records = doc->undo.size();
            op.run(*doc, rng);
            if (doc->undo.size() == records) continue;
            names.push_back(op.name);
            states.push_back(test::describe(*doc));
        }
        for (size_t k = names.size(); k-- > 0;) {
            undo(*doc);
            ASSERT_EQ(test::describe(*doc), states[k]) << "undoing " << names[k] << ", seed " << seed;
        }
    }
}

// Random edits, then back k steps and forward again, twice over: every
// state comes back exactly, whichever way it is reached.
TEST(UndoProperty, UndoAndRedoGoBackAndForth) {
    const auto& ops = operations();
    for (uint32_t seed = 1; seed <= 200; ++seed) {
        Rng rng(seed * 104729);
        auto doc = test::randomDocument(rng);
        std::vector<std::string> states{test::describe(*doc)};
        const int steps = pick(rng, 2, 6);
        for (int k = 0; k < steps; ++k) {
            const size_t records = doc->undo.size();
            ops[size_t(pick(rng, 0, int(ops.size()) - 1))].run(*doc, rng);
            if (doc->undo.size() != records) states.push_back(test::describe(*doc));
        }
        size_t at = states.size() - 1;
        for (int round = 0; round < 2; ++round) {
            const size_t back = size_t(pick(rng, 1, int(at)));
            for (size_t k = 0; k < back; ++k) {
                undo(*doc);
                ASSERT_EQ(test::describe(*doc), states[--at]) << "seed " << seed;
            }
            while (doc->undo.canRedo()) {
                redo(*doc);
                ASSERT_EQ(test::describe(*doc), states[++at]) << "seed " << seed;
            }
            ASSERT_EQ(at, states.size() - 1);
            if (at == 0) break;
        }
    }
}

// Records of one 640 kB frame each (the gray scale's record keeps only the
// frame it changed) under a 1 MiB budget: the shared budget keeps only what
// fits, never the newest, and what is kept still goes back and forth exactly.
TEST(UndoProperty, RedoSharesTheBudget) {
    std::vector<std::unique_ptr<TFrame>> frames;
    for (int i = 0; i < 2; ++i)
        frames.push_back(test::makeFrame(800, 800, [i](int x, int y) { return (x + y + i) % 8; }, "big"));
    auto doc = test::documentOf(std::move(frames));
    doc->undo.setBudget(UndoJournal::mib);
    const std::string original = test::describe(*doc);
    ASSERT_TRUE(flipRotateFrames(*doc, {0, 1}, FlipRotateOperation::Rotate90, false, "rotate frames"));  // no frame copies
    ASSERT_TRUE(grayScale(*doc, {0}, "gray scale"));                                                   // 640 kB
    EXPECT_EQ(doc->undo.newest()->savedFrames.size(), 1u);
    const std::string gray = test::describe(*doc);
    undo(*doc);  // its inverse holds 640 kB on the redo side
    EXPECT_EQ(doc->undo.size(), 1u);
    ASSERT_TRUE(doc->undo.canRedo());
    redo(*doc);
    EXPECT_EQ(test::describe(*doc), gray);
    ASSERT_TRUE(grayScale(*doc, {1}, "gray scale"));  // a new edit empties the redo side; two 640 kB records do not fit
    EXPECT_FALSE(doc->undo.canRedo());
    EXPECT_EQ(doc->undo.size(), 1u);
    undo(*doc);
    EXPECT_EQ(test::describe(*doc), gray);
    EXPECT_FALSE(doc->undo.canUndo());
    redo(*doc);
    undo(*doc);
    EXPECT_EQ(test::describe(*doc), gray);
    EXPECT_NE(gray, original);
}

}  // namespace
}  // namespace movigram
