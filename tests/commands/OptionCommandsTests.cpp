// The Options menu's effects on the document.
#include <gtest/gtest.h>

#include "commands/OptionCommands.h"
#include "document/EditScope.h"
#include "document/Undo.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

std::unique_ptr<Document> threeFrames() {
    auto doc = std::make_unique<Document>();
    doc->globalPalette = std::make_unique<TMyPalette>(test::testPalette(4));
    for (int i = 0; i < 3; ++i) doc->frameList.append("f", test::makeFrame(2, 2, [i](int, int) { return i; }));
    doc->relink();
    doc->optimizable = false;
    return doc;
}

TEST(Options, LoopClosesAndOpensTheChainAndCountsAsAChange) {
    auto doc = threeFrames();
    ASSERT_EQ(doc->frameList.frameAt(2)->next, doc->firstFrame);
    ASSERT_TRUE(applyOption(*doc, CommandId::Loop));
    EXPECT_FALSE(doc->loopOption);
    EXPECT_EQ(doc->frameList.frameAt(2)->next, nullptr);
    EXPECT_TRUE(doc->modified);
    ASSERT_TRUE(applyOption(*doc, CommandId::Loop));
    EXPECT_EQ(doc->frameList.frameAt(2)->next, doc->firstFrame);
}

TEST(Options, OptimisationTogglesMakeTheFileWorthSavingOthersDoNot) {
    for (CommandId id : {CommandId::CropToDirty, CommandId::SplitDirty, CommandId::TransparentMask,
                         CommandId::OptimizeColors, CommandId::OptimizeOnSave}) {
        auto doc = threeFrames();
        ASSERT_TRUE(applyOption(*doc, id));
        EXPECT_TRUE(doc->optimizable) << int(id);
        EXPECT_FALSE(doc->modified) << int(id);
    }
    auto doc = threeFrames();
    ASSERT_TRUE(applyOption(*doc, CommandId::CommentFrame));
    ASSERT_TRUE(applyOption(*doc, CommandId::GlobalCumulative));
    ASSERT_TRUE(applyOption(*doc, CommandId::LocalCreate));
    EXPECT_FALSE(doc->commentFrameOption);
    EXPECT_EQ(doc->globalPaletteMode, GlobalPaletteMode::Cumulative);
    EXPECT_EQ(doc->localPaletteMode, LocalPaletteMode::Create);
    EXPECT_FALSE(doc->optimizable);
    EXPECT_FALSE(applyOption(*doc, CommandId::GlobalFixed));
    EXPECT_FALSE(applyOption(*doc, CommandId::Play));
}

TEST(Options, SwitchingUndoOffEmptiesTheJournal) {
    auto doc = threeFrames();
    pushUndo(*doc, EditScope::whole(*doc, "edit"));
    ASSERT_TRUE(doc->undo.canUndo());
    ASSERT_TRUE(applyOption(*doc, CommandId::EnableUndo));
    EXPECT_FALSE(doc->undo.enabled());
    EXPECT_TRUE(doc->undo.empty());
}

}  // namespace
}  // namespace movigram
