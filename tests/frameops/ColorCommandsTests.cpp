// Transparent and background colours, merging, unoptimizing and palette
// entries.
#include <gtest/gtest.h>

#include "OpsTestSupport.h"
#include "frameops/ColorCommands.h"
#include "document/Undo.h"

namespace movigram {
namespace {

using test::describe;
using test::documentOf;
using test::pictureAt;
using test::pixelsOf;
using test::placedFrame;
using test::solidFrame;
using test::testPalette;

const TMyPalette palette8 = testPalette(8);

using Frames = std::vector<std::unique_ptr<TFrame>>;

template <typename... F>
Frames frames(F... f) {
    Frames v;
    (v.push_back(std::move(f)), ...);
    return v;
}

TEST(PickedColor, TransparentGoesToEveryFrameOnTheGlobalPalette) {
    auto doc = documentOf(frames(solidFrame(0, 0, 4, 4, 1, palette8), solidFrame(0, 0, 4, 4, 2, palette8),
                                 solidFrame(0, 0, 4, 4, 3, palette8)));
    doc->frameList.frameAt(1)->overlay = true;
    auto* local = doc->frameList.frameAt(2);
    local->localPalette = std::make_unique<TMyPalette>(palette8);
    beginTransparentPick(*doc, "set transparent");
    EXPECT_EQ(doc->undo.newest()->label, "set transparent");
    ASSERT_TRUE(setPickedColor(*doc, PickMode::Transparent, 5));
    EXPECT_EQ(doc->transparentIndex, 5);
    EXPECT_EQ(doc->globalPalette->transparentIndex, 5);
    EXPECT_EQ(doc->frameList.frameAt(0)->transparentIndex, 5);
    EXPECT_TRUE(doc->frameList.frameAt(0)->restoreToBackground);
    EXPECT_EQ(doc->frameList.frameAt(1)->transparentIndex, 5);
    EXPECT_FALSE(doc->frameList.frameAt(1)->restoreToBackground);  // an overlay
    EXPECT_EQ(doc->frameList.frameAt(2)->transparentIndex, -1);     // on its own palette
    EXPECT_TRUE(doc->modified);
}

TEST(PickedColor, ACurrentFrameOnALocalPaletteAloneTakesIt) {
    auto doc = documentOf(frames(solidFrame(0, 0, 4, 4, 1, palette8), solidFrame(0, 0, 4, 4, 2, palette8)));
    doc->frameList.frameAt(1)->localPalette = std::make_unique<TMyPalette>(palette8);
    doc->frameList.select(1);
    rethread(*doc, 0);
    ASSERT_TRUE(setPickedColor(*doc, PickMode::Transparent, 2));
    EXPECT_EQ(doc->frameList.frameAt(1)->transparentIndex, 2);
    EXPECT_EQ(doc->frameList.frameAt(0)->transparentIndex, -1);
    EXPECT_EQ(doc->transparentIndex, -1);
    EXPECT_FALSE(doc->sameTransparent);
}

TEST(PickedColor, AClickOutsideTheFrameRemovesTransparency) {
    auto doc = documentOf(frames(placedFrame(10, 10, 5, 5, [](int x, int) { return x; }, palette8)));
    EXPECT_EQ(pickedIndexAt(*doc, {12, 11}), 2);
    EXPECT_EQ(pickedIndexAt(*doc, {15, 11}), -1);
    EXPECT_EQ(pickedIndexAt(*doc, {9, 11}), -1);
    setPickedColor(*doc, PickMode::Transparent, 3);
    beginTransparentPick(*doc, "set transparent");
    const std::string picked = describe(*doc);
    ASSERT_TRUE(setPickedColor(*doc, PickMode::Transparent, pickedIndexAt(*doc, {0, 0})));
    EXPECT_EQ(doc->transparentIndex, -1);
    EXPECT_EQ(doc->frameList.frameAt(0)->transparentIndex, -1);
    undo(*doc);
    EXPECT_EQ(describe(*doc), picked);
    // The document's transparent colour follows the frames back.
    EXPECT_EQ(doc->transparentIndex, 3);
}

TEST(PickedColor, BackgroundReachesEveryImageFrame) {
    auto doc = documentOf(frames(solidFrame(0, 0, 4, 4, 1, palette8), solidFrame(0, 0, 4, 4, 2, palette8)));
    ASSERT_TRUE(setPickedColor(*doc, PickMode::Background, 4));
    EXPECT_EQ(doc->backgroundIndex, 4);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(doc->frameList.frameAt(i)->backgroundIndex, 4);
    EXPECT_TRUE(doc->undo.empty());
    EXPECT_FALSE(setPickedColor(*doc, PickMode::SolidColor, 4));
    EXPECT_FALSE(setPickedColor(*doc, PickMode::Background, 300));
}

// Frame 0: opaque background; 1 and 2: transparent (value 0) sprites; 3:
// opaque; 4: transparent again.
std::unique_ptr<Document> mergeDocument() {
    auto sprite = [](int value, int left) {
        auto f = placedFrame(left, 2, 4, 4, [value](int x, int) { return x < 2 ? value : 0; }, palette8);
        f->transparentIndex = 0;
        return f;
    };
    auto background = placedFrame(0, 0, 12, 8, [](int x, int y) { return 1 + (x + y) % 3; }, palette8);
    auto doc = documentOf(frames(std::move(background), sprite(5, 1), sprite(6, 6), solidFrame(0, 0, 12, 8, 7, palette8),
                                 sprite(5, 3)));
    doc->frameList.select(0);
    rethread(*doc, 0);
    return doc;
}

TEST(MergeBackground, FillsTheTransparentFramesThatFollowUpToAnOpaqueOne) {
    auto doc = mergeDocument();
    doc->frameList.frameAt(0)->transparentIndex = 2;
    const std::string before = describe(*doc);
    ASSERT_TRUE(mergeBackground(*doc, "merge background"));
    for (int i : {1, 2}) {
        const TFrame& f = *doc->frameList.frameAt(i);
        EXPECT_EQ(f.transparentIndex, -1);
        EXPECT_FALSE(f.restoreToBackground);
        EXPECT_EQ(f.rect.width(), f.image->width());
        EXPECT_EQ(f.image->pixel(0, 0), i == 1 ? 5 : 6);
        // Transparent pixels took the background frame's pixel at the same
        // place on the screen.
        EXPECT_EQ(f.image->pixel(3, 1), doc->frameList.frameAt(0)->image->pixel(f.rect.left + 3, 3));
    }
    EXPECT_EQ(doc->frameList.frameAt(4)->transparentIndex, 0);  // after the opaque frame
    EXPECT_EQ(doc->frameList.frameAt(0)->transparentIndex, -1);
    EXPECT_EQ(doc->currentFrame, doc->frameList.frameAt(1));
    EXPECT_FALSE(doc->optimizable);
    EXPECT_EQ(doc->undo.newest()->label, "merge background");
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);  // the background frame's transparency too
}

TEST(MergeBackground, UsesTheBackgroundWhereverItIsPlaced) {
    auto background = solidFrame(4, 4, 6, 6, 3, palette8);
    auto sprite = placedFrame(5, 5, 2, 2, [](int x, int) { return x == 0 ? 0 : 6; }, palette8);
    sprite->transparentIndex = 0;
    auto doc = documentOf(frames(solidFrame(0, 0, 12, 12, 1, palette8), std::move(background), std::move(sprite)));
    doc->frameList.select(1);
    rethread(*doc, 0);
    ASSERT_TRUE(mergeBackground(*doc, "merge background"));
    EXPECT_EQ(pixelsOf(*doc->frameList.frameAt(2)->image), (std::vector<uint8_t>{3, 6, 3, 6}));
    EXPECT_EQ(doc->frameList.frameAt(2)->transparentIndex, -1);
}

TEST(MergeBackground, AFrameReachingBeyondTheBackgroundKeepsItsPlaceAndTransparency) {
    auto sprite = placedFrame(2, 0, 4, 1, [](int, int) { return 0; }, palette8);
    sprite->transparentIndex = 0;
    auto doc = documentOf(frames(solidFrame(0, 0, 4, 1, 3, palette8), std::move(sprite)));
    ASSERT_TRUE(mergeBackground(*doc, "merge background"));
    const TFrame& f = *doc->frameList.frameAt(1);
    EXPECT_EQ(f.rect, (TRect{2, 0, 6, 1}));
    EXPECT_EQ(pixelsOf(*f.image), (std::vector<uint8_t>{3, 3, 0, 0}));
    EXPECT_EQ(f.transparentIndex, 0);
}

TEST(MergeBackground, ABackgroundOnItsOwnPaletteGivesItsColours) {
    const PaletteEntry blue{0, 0, 255, 0}, yellow{255, 255, 0, 0};
    const TMyPalette global({{0, 0, 0, 0}, {255, 0, 0, 0}});  // black, red
    const TMyPalette local({blue, yellow});
    auto background = placedFrame(0, 0, 4, 4, [](int, int) { return 1; }, local);
    background->localPalette = std::make_unique<TMyPalette>(local);
    auto sprite = placedFrame(0, 0, 4, 4, [](int x, int) { return x < 2 ? 0 : 1; }, global);
    sprite->transparentIndex = 0;
    auto doc = documentOf(frames(std::move(background), std::move(sprite)));
    *doc->globalPalette = global;
    ASSERT_TRUE(mergeBackground(*doc, "merge background"));
    const TFrame& f = *doc->frameList.frameAt(1);
    EXPECT_EQ(f.transparentIndex, -1);
    for (int x = 0; x < 4; ++x) {
        const PaletteEntry want = x < 2 ? yellow : PaletteEntry{255, 0, 0, 0};
        const uint8_t p = f.image->pixel(x, 3);
        EXPECT_EQ(doc->globalPalette->entry(p), want) << x;
        // The frame's colour table follows the palette it is on.
        EXPECT_EQ(f.image->colors()[p].red, want.red) << x;
        EXPECT_EQ(f.image->colors()[p].green, want.green) << x;
    }
    EXPECT_TRUE(doc->frameList.frameAt(0)->localPalette);
}

TEST(MergeForeground, StampsTheOpaquePixelsOnEveryEarlierFrame) {
    auto doc = mergeDocument();
    doc->frameList.select(4);
    rethread(*doc, 0);
    const TFrame& fg = *doc->frameList.frameAt(4);
    std::vector<std::vector<uint8_t>> earlier;
    for (int i = 0; i < 4; ++i) earlier.push_back(pixelsOf(*doc->frameList.frameAt(i)->image));
    ASSERT_TRUE(mergeForeground(*doc, "merge foreground"));
    // Frame 0 (full screen) gets the two opaque columns at x = 3, 4.
    const TDib256& bg = *doc->frameList.frameAt(0)->image;
    for (int y = 2; y < 6; ++y) {
        EXPECT_EQ(bg.pixel(3, y), 5);
        EXPECT_EQ(bg.pixel(4, y), 5);
        EXPECT_EQ(bg.pixel(5, y), earlier[0][size_t(y * 12 + 5)]);
    }
    // Frame 1 at (1, 2): the foreground's columns 3 and 4 are its 2 and 3.
    EXPECT_EQ(pixelsOf(*doc->frameList.frameAt(1)->image)[2], 5);
    EXPECT_EQ(pixelsOf(*doc->frameList.frameAt(1)->image)[0], earlier[1][0]);
    EXPECT_EQ(doc->frameList.frameAt(3)->image->width(), 12);
    EXPECT_EQ(fg.transparentIndex, 0);
    EXPECT_EQ(doc->undo.newest()->label, "merge foreground");
}

TEST(MergeForeground, NeedsATransparentCurrentFrame) {
    auto doc = mergeDocument();
    EXPECT_FALSE(mergeForeground(*doc, "merge foreground"));
    EXPECT_TRUE(doc->undo.empty());
}

TEST(Unoptimize, EveryFrameBecomesTheScreenAfterIt) {
    auto first = solidFrame(0, 0, 100, 100, 1, palette8);
    auto a = solidFrame(10, 10, 10, 10, 2, palette8);
    a->restoreToBackground = true;
    auto b = placedFrame(15, 15, 10, 10, [](int x, int) { return x % 2 ? 3 : 0; }, palette8);
    b->transparentIndex = 0;
    auto c = solidFrame(80, 80, 10, 10, 4, palette8);
    auto doc = documentOf(frames(std::move(first), std::move(a), std::move(b), std::move(c)));
    doc->backgroundIndex = 6;
    std::vector<std::vector<uint8_t>> screens;
    for (int i = 0; i < 4; ++i) screens.push_back(pictureAt(*doc, i));
    const std::string before = describe(*doc);
    ASSERT_TRUE(unoptimize(*doc, "unoptimize"));
    for (int i = 0; i < 4; ++i) {
        const TFrame& f = *doc->frameList.frameAt(i);
        EXPECT_EQ(f.rect, (TRect{0, 0, 100, 100}));
        EXPECT_EQ(pixelsOf(*f.image), screens[size_t(i)]) << "frame " << i;
    }
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);
}

// What a view hears of one command.
struct Announcements : DocumentObserver {
    explicit Announcements(Document& d) : doc(d) { doc.addObserver(this); }
    ~Announcements() override { doc.removeObserver(this); }
    void editStarting() override { heard.push_back("starting"); }
    void paletteChanged() override { heard.push_back("palette"); }
    void documentChanged() override { heard.push_back("repaint"); }
    void fileNameChanged() override { heard.push_back("title"); }
    Document& doc;
    std::vector<std::string> heard;
};

// The colour edits may change any colour: each announces the palette, one
// repaint and the title, once, when it is done.
TEST(ColorEdits, AnnounceThePaletteARepaintAndTheTitleOnce) {
    const std::vector<std::string> once{"starting", "palette", "repaint", "title"};
    for (int command = 0; command < 3; ++command) {
        auto doc = mergeDocument();
        doc->frameList.select(4);
        rethread(*doc, 0);
        Announcements view(*doc);
        if (command == 0) ASSERT_TRUE(mergeForeground(*doc, "merge foreground"));
        else if (command == 1) ASSERT_TRUE(unoptimize(*doc, "unoptimize"));
        else ASSERT_TRUE(deletePaletteEntry(*doc, 1, "delete color"));
        EXPECT_EQ(view.heard, once) << "command " << command;
        EXPECT_TRUE(doc->modified);
        EXPECT_TRUE(doc->undo.canUndo());
    }
}

TEST(PaletteEntries, AddStopsAt256AndCanBeTakenBack) {
    auto doc = documentOf(frames(solidFrame(0, 0, 2, 2, 1, palette8)));
    const int added = addPaletteEntry(*doc);
    EXPECT_EQ(added, 8);
    EXPECT_EQ(doc->globalPalette->colorCount, 9);
    removeAddedEntry(*doc, added);
    EXPECT_EQ(doc->globalPalette->colorCount, 8);
    doc->globalPalette = std::make_unique<TMyPalette>(testPalette(256));
    const TMyPalette full = *doc->globalPalette;
    EXPECT_EQ(addPaletteEntry(*doc, {1, 2, 3, 0}), -1);
    EXPECT_EQ(*doc->globalPalette, full);
}

TEST(PaletteEntries, ReplacingChangesColoursButNotPixels) {
    auto doc = documentOf(frames(solidFrame(0, 0, 2, 2, 1, palette8)));
    auto entries = doc->globalPalette->entries();
    entries[1] = {9, 8, 7, 0};
    replacePaletteEntries(*doc, entries);
    EXPECT_EQ(doc->globalPalette->entry(1), (PaletteEntry{9, 8, 7, 0}));
    const TFrame& f = *doc->frameList.frameAt(0);
    EXPECT_EQ(f.image->pixel(0, 0), 1);
    EXPECT_EQ(f.image->colors()[1], (RgbQuad{7, 8, 9, 0}));
}

TEST(PaletteEntries, DeletingRemapsFramesToTheNearestRemainingColour) {
    TMyPalette p;
    const std::vector<PaletteEntry> colors = {{0, 0, 0, 0}, {250, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}};
    for (int i = 0; i < 4; ++i) p.setEntry(i, colors[size_t(i)]);
    p.colorCount = 4;
    auto f = placedFrame(0, 0, 4, 1, [](int x, int) { return x; }, p);
    f->transparentIndex = 3;
    auto doc = documentOf(frames(std::move(f)));
    *doc->globalPalette = p;
    doc->globalPalette->transparentIndex = 3;
    doc->transparentIndex = 3;
    const std::string before = describe(*doc);
    ASSERT_TRUE(deletePaletteEntry(*doc, 2, "delete color"));
    EXPECT_EQ(doc->globalPalette->colorCount, 3);
    const TFrame& g = *doc->frameList.frameAt(0);
    EXPECT_EQ(pixelsOf(*g.image), (std::vector<uint8_t>{0, 1, 1, 2}));  // 255,0,0 became 250,0,0
    EXPECT_EQ(g.transparentIndex, 2);
    EXPECT_EQ(doc->transparentIndex, 2);
    EXPECT_FALSE(deletePaletteEntry(*doc, 3, "delete color"));
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);
}

TEST(PaletteEntries, DeletingStopsAtTwoColours) {
    // Fixed mapping needs two colours: a palette of two keeps both.
    auto doc = documentOf(frames(solidFrame(0, 0, 2, 2, 1, testPalette(3))), 3);
    ASSERT_TRUE(deletePaletteEntry(*doc, 0, "delete color"));
    EXPECT_EQ(doc->globalPalette->colorCount, 2);
    const std::string two = describe(*doc);
    const size_t records = doc->undo.size();
    EXPECT_FALSE(canDeletePaletteEntry(*doc, 1));
    EXPECT_FALSE(deletePaletteEntry(*doc, 1, "delete color"));
    EXPECT_EQ(describe(*doc), two);
    EXPECT_EQ(doc->undo.size(), records);
}

TEST(PaletteEntries, DeletingFromALocalPaletteKeepsTheFramesTransparentColour) {
    TMyPalette local;
    const std::vector<PaletteEntry> colors = {{0, 0, 0, 0}, {250, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}};
    for (int i = 0; i < 4; ++i) local.setEntry(i, colors[size_t(i)]);
    local.colorCount = 4;
    auto f = placedFrame(0, 0, 4, 1, [](int x, int) { return x; }, local);
    f->localPalette = std::make_unique<TMyPalette>(local);
    f->transparentIndex = 3;
    auto doc = documentOf(frames(std::move(f), solidFrame(0, 0, 4, 1, 2, palette8)));
    doc->frameList.select(0);
    rethread(*doc, 0);
    const TMyPalette global = *doc->globalPalette;
    const std::string before = describe(*doc);

    ASSERT_TRUE(deletePaletteEntry(*doc, 1, "delete color"));
    const TFrame& g = *doc->frameList.frameAt(0);
    ASSERT_TRUE(g.localPalette);
    EXPECT_EQ(g.localPalette->colorCount, 3);
    // 250,0,0 became 255,0,0, now entry 1; the transparent pixel moved
    // down with its entry.
    EXPECT_EQ(pixelsOf(*g.image), (std::vector<uint8_t>{0, 1, 1, 2}));
    EXPECT_EQ(g.transparentIndex, 2);
    EXPECT_EQ(g.localPalette->entry(2), colors[3]);
    EXPECT_EQ(*doc->globalPalette, global);  // the other frame's palette is not touched
    EXPECT_EQ(pixelsOf(*doc->frameList.frameAt(1)->image), (std::vector<uint8_t>{2, 2, 2, 2}));
    undo(*doc);
    EXPECT_EQ(describe(*doc), before);
}

}  // namespace
}  // namespace movigram
