// The command map: every id once, and the enabling rules for an empty
// document, an image frame and a comment frame.
#include <gtest/gtest.h>

#include <set>

#include "commands/CommandTable.h"
#include "document/TFrame.h"
#include "support/GifBuilder.h"

namespace movigram {
namespace {

using C = CommandId;

TEST(CommandTable, EveryIdOnceAndFoundById) {
    std::set<int32_t> ids;
    for (const CommandInfo& info : commandTable()) {
        EXPECT_TRUE(ids.insert(int32_t(info.id)).second) << int32_t(info.id);
        EXPECT_EQ(findCommand(int32_t(info.id)), &info);
    }
    EXPECT_EQ(ids.size(), 93u);  // the map, with Show as browsers do, Redo, Resize, Undo memory and the six colour and size options
    for (CommandId id : toolBarCommands())
        if (id != CommandId{0}) {
            EXPECT_NE(findCommand(id), nullptr);
        }
    EXPECT_EQ(shortcutOf(*findCommand(C::Open)), "Ctrl+O");
    EXPECT_STREQ(contextMenuText(C::Paste), "Paste insert");
}

// Ids enabled in each state; everything else in the table must be disabled.
void expectEnabledExactly(const Document& doc, const ViewState& view, std::set<C> enabled) {
    for (const CommandInfo& info : commandTable())
        EXPECT_EQ(isEnabled(info.id, doc, view), enabled.count(info.id) == 1) << int32_t(info.id);
}

const std::set<C> always = {C::New,         C::Open,          C::AppendFrames,     C::InsertFrames,
                            C::LoadPalette, C::StorePalette,  C::Exit,             C::RecentFile1,
                            C::RecentFile2, C::RecentFile3,   C::RecentFile4,      C::BackgroundColor,
                            C::Loop,        C::CropToDirty,   C::SplitDirty,       C::TransparentMask,
                            C::OptimizeColors, C::LocalMerge, C::LocalKeep,        C::LocalCreate,
                            C::GlobalCumulative, C::GlobalOptimized, C::GlobalAutomatic, C::GlobalFixed,
                            C::CommentFrame, C::OptimizeOnSave, C::EnableUndo,     C::UndoMemory,       C::ShowDirtyRect,
                            C::ShowDirtyOnly, C::ShowPalette, C::ShowFrameList,    C::ShowAsBrowsers,
                            C::HelpEnglish, C::HelpFrench,    C::HelpSpanish,      C::About,
                            C::HowToUseHelp, C::MaxCompression, C::QuantizeMedianCut, C::QuantizeHighQuality,
                            C::DitherNone,  C::DitherOrdered, C::DitherDiffusion};

const std::set<C> needFrame = {C::Preview,  C::SaveFrames,      C::Play,          C::Stop,
                               C::NextFrame, C::PrevFrame,      C::ReduceColorDepth, C::TransparentColor,
                               C::LoopCount, C::FrameRate,      C::Unoptimize,    C::Shift,
                               C::SetRestoreMethod, C::Crop,    C::Resize,        C::FlipRotate,    C::Duplicate,
                               C::DeleteFrames, C::InsertSolidColor, C::ReverseOrder, C::MovingSprite,
                               C::GrayScale, C::ZoomIn,         C::ZoomOut,       C::SaveAs,
                               C::SaveOptimizedAs, C::Cut,      C::Copy,          C::Delete};

const std::set<C> needImage = {C::MergeBackground, C::MergeForeground, C::FadeIn, C::FadeOut, C::Dissolve,
                               C::Wipe,            C::Spiral,          C::Blind,  C::BannerScroll};

std::set<C> unite(std::initializer_list<std::set<C>> sets) {
    std::set<C> all;
    for (const auto& s : sets) all.insert(s.begin(), s.end());
    return all;
}

TEST(CommandTable, EnablingRules) {
    Document doc;
    ViewState view;
    expectEnabledExactly(doc, view, always);

    doc.frameList.append("a", test::makeFrame(2, 2, [](int, int) { return 1; }, "a"));
    doc.relink();
    expectEnabledExactly(doc, view, unite({always, needFrame, needImage}));

    // A titled, changed document can be saved and reverted; Html code needs the name.
    doc.fileName = "a.gif";
    doc.setModified(true);
    expectEnabledExactly(doc, view, unite({always, needFrame, needImage, {C::Save, C::Revert, C::HtmlCode}}));

    // A comment frame is a frame without image; optimisation sub-options
    // follow Crop to dirty rectangles; zoom bounds; clipboard and palette window.
    doc.frameList.insert(0, "c", std::make_unique<TTextFrame>(nullptr, "hello"));
    doc.showFrameAt(0);
    doc.cropToDirty = false;
    view.zoom = 4;
    view.clipboardHasData = view.paletteWindowExists = true;
    std::set<C> expected = unite({always, needFrame,
                                  {C::Save, C::Revert, C::HtmlCode, C::Zoom1to1, C::Paste, C::PasteAppend,
                                   C::PaletteAdd, C::PaletteDelete, C::PaletteModify}});
    expected.erase(C::SplitDirty);
    expected.erase(C::TransparentMask);
    expected.erase(C::ZoomIn);
    expectEnabledExactly(doc, view, expected);
}

TEST(CommandTable, MenuTextsFollowTheDocument) {
    Document doc;
    EXPECT_EQ(menuTextOf(*findCommand(C::Save), doc), "&Save\tCtrl+S");
    doc.optimizeOnSave = true;
    EXPECT_EQ(menuTextOf(*findCommand(C::Save), doc), "&Save optimized\tCtrl+S");
    EXPECT_EQ(menuTextOf(*findCommand(C::Undo), doc), "&Undo \tCtrl+Z");
    EXPECT_EQ(menuTextOf(*findCommand(C::Redo), doc), "&Redo\tCtrl+Y");
}

}  // namespace
}  // namespace movigram
