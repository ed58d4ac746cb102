// DoFadeIn and DoFadeOut on documents: insertion places, names, the
// template of a partial frame, next-frame lookup, records and time units.
#include <gtest/gtest.h>

#include "document/Undo.h"
#include "effects/DoFade.h"
#include "frameops/OpsTestSupport.h"

namespace movigram {
namespace {

using test::documentOf;
using test::pictureAt;
using test::pixelsOf;
using test::solidFrame;
using test::testPalette;

const TMyPalette palette8 = testPalette(8);

class RecordingHost : public Host {
public:
    void showMessage(const std::string& caption, const std::string& text, MessageIcon) override {
        messages.push_back(caption + ": " + text);
    }
    std::vector<std::string> messages;
};

std::unique_ptr<Document> animation(int count, bool loop = true) {
    std::vector<std::unique_ptr<TFrame>> frames;
    for (int i = 0; i < count; ++i) frames.push_back(solidFrame(0, 0, 16, 12, i % 8, palette8, "f" + std::to_string(i)));
    auto doc = documentOf(std::move(frames));
    doc->loopOption = loop;
    rethread(*doc, 0);
    return doc;
}

void makeCurrent(Document& doc, int index) {
    doc.frameList.select(index);
    rethread(doc, 0);
}

EffectParams effect(int index, int count, int direction = 0) {
    EffectParams p;
    p.effect = index;
    p.frameCount = count;
    p.direction = direction;
    p.solidIndex = 7;
    return p;
}

std::vector<std::string> names(const Document& doc) {
    std::vector<std::string> v;
    for (int i = 0; i < doc.frameList.count(); ++i) v.push_back(doc.frameList.textAt(i));
    return v;
}

TEST(DoFadeIn, FramesGoBeforeTheCurrentFrameInOrder) {
    auto doc = animation(5);
    makeCurrent(*doc, 3);
    ASSERT_EQ(DoFadeIn(*doc, effect(FadeIn, 5)), EffectResult::Inserted);
    EXPECT_EQ(names(*doc), (std::vector<std::string>{"f0", "f1", "f2", "FadeIn-01", "FadeIn-02", "FadeIn-03",
                                                     "FadeIn-04", "FadeIn-05", "f3", "f4"}));
    EXPECT_EQ(doc->currentFrame, doc->frameList.frameAt(8));
    EXPECT_EQ(doc->undo.newest()->label, "fade in");
    EXPECT_EQ(doc->undo.newest()->first, 3);
    EXPECT_EQ(doc->undo.newest()->last, 7);
    // 1000 ms frames and 100 ms effect frames share the unit 100.
    EXPECT_EQ(doc->frameTime, 100);
    EXPECT_EQ(doc->frameList.frameAt(0)->repeat, 10);
    EXPECT_EQ(doc->frameList.frameAt(3)->repeat, 1);
}

TEST(DoFadeOut, ReversedFramesReadUpwardAfterTheCurrentFrame) {
    auto doc = animation(3);
    makeCurrent(*doc, 1);
    EffectParams p = effect(FadeOut, 5);
    p.solidColor = rgbValue(9, 8, 7);
    ASSERT_EQ(DoFadeOut(*doc, p), EffectResult::Inserted);
    EXPECT_EQ(names(*doc), (std::vector<std::string>{"f0", "f1", "FadeOut-01", "FadeOut-02", "FadeOut-03",
                                                     "FadeOut-04", "FadeOut-05", "f2"}));
    // The colours move away from the source: the last one is all solid.
    const TFrame& last = *doc->frameList.frameAt(6);
    EXPECT_EQ(last.localPalette->entry(1), (PaletteEntry{9, 8, 7, 0}));
    EXPECT_EQ(doc->frameList.frameAt(2)->localPalette->entry(1).red, 9 + 4 * (palette8.entry(1).red - 9) / 5);
    EXPECT_EQ(doc->undo.newest()->label, "fade out");
}

TEST(DoFadeIn, FromSolidEffectsAreInsertedReversed) {
    auto doc = animation(2);
    makeCurrent(*doc, 1);
    ASSERT_EQ(DoFadeIn(*doc, effect(WipeFromSolid, 3, LeftToRight)), EffectResult::Inserted);
    EXPECT_EQ(names(*doc), (std::vector<std::string>{"f0", "Wipe-01", "Wipe-02", "Wipe-03", "f1"}));
    // The first inserted frame is all solid.
    const std::vector<uint8_t> px = pixelsOf(*doc->frameList.frameAt(1)->image);
    EXPECT_EQ(px, std::vector<uint8_t>(px.size(), 7));
    EXPECT_EQ(doc->undo.newest()->label, "wipe");
}

TEST(DoFade, WrongEntryShowsTheInternalError) {
    RecordingHost host;
    auto doc = animation(2);
    doc->setHost(&host);
    EXPECT_EQ(DoFadeIn(*doc, effect(FadeOut, 2)), EffectResult::NotForThisEntry);
    EXPECT_EQ(DoFadeOut(*doc, effect(WipeFromSolid, 2)), EffectResult::NotForThisEntry);
    EXPECT_EQ(host.messages,
              (std::vector<std::string>{"Internal Error: DoFadeIn(Fade out)",
                                        "Internal Error: DoFadeOut(Wipe from solid color)"}));
    EXPECT_EQ(doc->frameList.count(), 2);
    EXPECT_TRUE(doc->undo.empty());
}

TEST(DoFadeOut, EffectsNeedingANextFrameRefuseWithoutOne) {
    auto doc = animation(1);
    for (int e : {DissolveToNext, WipeToNext, SpiralToNext, BlindToNext, BannerScrollOut}) {
        EffectParams p = effect(e, 2, familyOfEffect(e)->firstDirection < 0 ? 0 : familyOfEffect(e)->firstDirection);
        EXPECT_EQ(DoFadeOut(*doc, p), EffectResult::NoNextFrame) << e;
    }
    EXPECT_EQ(doc->frameList.count(), 1);
    EXPECT_EQ(DoFadeOut(*doc, effect(BannerRotate, 2)), EffectResult::Inserted);
}

TEST(DoFadeOut, TheLastFrameOfALoopLeadsToTheFirst) {
    auto doc = animation(3, true);
    makeCurrent(*doc, 2);
    ASSERT_EQ(DoFadeOut(*doc, effect(WipeToNext, 1, LeftToRight)), EffectResult::Inserted);
    // One frame, D = 2: the left half shows frame 0 (value 0).
    const TDib256& image = *doc->frameList.frameAt(3)->image;
    EXPECT_EQ(image.pixel(0, 0), 0);
    EXPECT_EQ(image.pixel(7, 5), 0);
    EXPECT_EQ(image.pixel(8, 5), 2);

    auto open = animation(3, false);
    makeCurrent(*open, 2);
    EXPECT_EQ(DoFadeOut(*open, effect(WipeToNext, 1, LeftToRight)), EffectResult::NoNextFrame);
}

TEST(EffectDialogRule, NextFrameEffectsGiveWayWithoutAFollowingFrame) {
    EffectParams wipe;
    selectFamily(wipe, effectFamily(EffectFamilyId::Wipe));
    EffectParams banner;
    selectFamily(banner, effectFamily(EffectFamilyId::BannerScroll));

    auto open = animation(3, false);
    makeCurrent(*open, 2);  // the last frame of a chain that ends
    EXPECT_FALSE(hasFollowingFrame(*open));
    EXPECT_EQ(offeredEffect(*open, wipe, WipeToNext), WipeFromSolid);  // wraps to the first
    EXPECT_EQ(offeredEffect(*open, wipe, WipeToSolid), WipeToSolid);
    EXPECT_EQ(offeredEffect(*open, banner, BannerScrollOut), BannerRotate);
    makeCurrent(*open, 1);
    EXPECT_EQ(offeredEffect(*open, wipe, WipeToNext), WipeToNext);

    auto single = animation(1, true);
    EXPECT_EQ(offeredEffect(*single, wipe, WipeToNext), WipeFromSolid);

    auto looping = animation(3, true);
    makeCurrent(*looping, 2);  // leads round to the first frame
    EXPECT_EQ(offeredEffect(*looping, wipe, WipeToNext), WipeToNext);

    // Only a comment follows: nothing to move towards.
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solidFrame(0, 0, 16, 12, 1, palette8, "picture"));
    frames.push_back(std::make_unique<TTextFrame>(nullptr, "a comment"));
    auto commented = documentOf(std::move(frames));
    commented->loopOption = false;
    rethread(*commented, 0);
    ASSERT_NE(commented->currentFrame->next, nullptr);
    EXPECT_EQ(offeredEffect(*commented, wipe, WipeToNext), WipeFromSolid);
}

TEST(DoFade, APartialFrameIsReplacedByTheComposedPicture) {
    std::vector<std::unique_ptr<TFrame>> frames;
    frames.push_back(solidFrame(0, 0, 20, 10, 1, palette8, "back"));
    frames.push_back(solidFrame(5, 2, 4, 4, 3, palette8, "sprite"));
    auto doc = documentOf(std::move(frames));
    makeCurrent(*doc, 1);
    const std::vector<uint8_t> shown = pictureAt(*doc, 1);
    ASSERT_EQ(DoFadeOut(*doc, effect(BannerRotate, 2)), EffectResult::Inserted);
    const TFrame& generated = *doc->frameList.frameAt(2);
    EXPECT_EQ(generated.rect, (TRect{0, 0, 20, 10}));
    // Banner rotate by 20 / 3 = 6 columns to the right, wrapping.
    const std::vector<uint8_t> px = pixelsOf(*generated.image);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(px[size_t(y * 20 + x)], shown[size_t(y * 20 + (x + 20 - 6) % 20)]) << x << "," << y;
}

TEST(DoFade, InvalidParametersInsertNothing) {
    auto doc = animation(2);
    EXPECT_EQ(DoFadeOut(*doc, effect(WipeToSolid, 0)), EffectResult::InvalidParameters);
    EXPECT_EQ(DoFadeOut(*doc, effect(WipeToSolid, 2, InsideOut)), EffectResult::InvalidParameters);
    EffectParams p = effect(DissolveToSolid, 2);
    p.cellWidth = 0;
    EXPECT_EQ(DoFadeOut(*doc, p), EffectResult::InvalidParameters);
    EXPECT_EQ(doc->frameList.count(), 2);
}

TEST(EffectCommand, FadeInCommandRebuildsThePaletteWhenLocalPalettesMerge) {
    auto doc = animation(2);
    doc->localPaletteMode = LocalPaletteMode::Merge;
    doc->globalPaletteMode = GlobalPaletteMode::Optimized;
    const std::string before = test::describe(*doc);
    EffectParams p = effect(FadeIn, 2);
    selectFamily(p, effectFamily(EffectFamilyId::FadeIn));
    EXPECT_EQ(p.effect, FadeIn);
    ASSERT_EQ(runEffectCommand(*doc, effectFamily(EffectFamilyId::FadeIn), p, "reduce colors"), EffectResult::Inserted);
    for (int i = 0; i < doc->frameList.count(); ++i) EXPECT_EQ(doc->frameList.frameAt(i)->localPalette, nullptr);
    // The rebuild renumbered the frames' pixels: it is undone first, on its own.
    EXPECT_EQ(doc->undo.newest()->label, "reduce colors");
    undo(*doc);
    undo(*doc);
    EXPECT_EQ(test::describe(*doc), before);

    auto kept = animation(2);
    kept->localPaletteMode = LocalPaletteMode::Merge;
    kept->globalPaletteMode = GlobalPaletteMode::Optimized;
    selectFamily(p, effectFamily(EffectFamilyId::FadeOut));
    ASSERT_EQ(runEffectCommand(*kept, effectFamily(EffectFamilyId::FadeOut), p, "reduce colors"), EffectResult::Inserted);
    EXPECT_NE(kept->frameList.frameAt(1)->localPalette, nullptr);  // fade out keeps its palettes
}

}  // namespace
}  // namespace movigram
