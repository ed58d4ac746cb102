// The command records: every id once, the enabling rules for an empty
// document, an image frame and a comment frame, and the command-line steps
// the records declare.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "commands/CommandTable.h"
#include "document/TFrame.h"
#include "document/Undo.h"
#include "effects/EffectTable.h"
#include "frameops/OpsTestSupport.h"
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
    EXPECT_EQ(ids.size(), 105u);  // the map, with Show as browsers do, Show frame patches, Redo, Resize, Scale, Save for sharing, Export as, Record screen, Speed, Cap pauses, Remove duplicate frames, Text, Pixelate, Blur, Crop on canvas, Undo memory and the six colour and size options
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

const std::set<C> always = {C::New,         C::Open,          C::RecordScreen,     C::AppendFrames,     C::InsertFrames,
                            C::LoadPalette, C::StorePalette,  C::Exit,             C::RecentFile1,
                            C::RecentFile2, C::RecentFile3,   C::RecentFile4,      C::BackgroundColor,
                            C::Loop,        C::CropToDirty,   C::SplitDirty,       C::TransparentMask,
                            C::OptimizeColors, C::LocalMerge, C::LocalKeep,        C::LocalCreate,
                            C::GlobalCumulative, C::GlobalOptimized, C::GlobalAutomatic, C::GlobalFixed,
                            C::CommentFrame, C::OptimizeOnSave, C::EnableUndo,     C::UndoMemory,       C::ShowDirtyRect,
                            C::ShowDirtyOnly, C::ShowPalette, C::ShowFrameList,    C::ShowAsBrowsers, C::ShowFramePatches,
                            C::HelpEnglish, C::HelpFrench,    C::HelpSpanish,      C::About,
                            C::HowToUseHelp, C::MaxCompression, C::QuantizeMedianCut, C::QuantizeHighQuality,
                            C::DitherNone,  C::DitherOrdered, C::DitherDiffusion};

const std::set<C> needFrame = {C::Preview,  C::SaveFrames,      C::Play,          C::Stop,
                               C::NextFrame, C::PrevFrame,      C::ReduceColorDepth, C::TransparentColor,
                               C::LoopCount, C::FrameRate,      C::Unoptimize,    C::Shift,
                               C::SetRestoreMethod, C::Crop,    C::Resize,        C::FlipRotate,    C::Duplicate,
                               C::DeleteFrames, C::InsertSolidColor, C::ReverseOrder, C::MovingSprite,
                               C::GrayScale, C::ZoomIn,         C::ZoomOut,       C::SaveAs,
                               C::SaveOptimizedAs, C::SaveForSharing, C::ExportAs, C::Cut,   C::Copy,          C::Delete};

const std::set<C> needImage = {C::Scale, C::Speed, C::CapPauses, C::RemoveDuplicates, C::Caption, C::Pixelate, C::Blur, C::CropTool, C::MergeBackground, C::MergeForeground, C::FadeIn, C::FadeOut, C::Dissolve,
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

    // A comment frame is a frame without image (the commands on the whole
    // animation stay, for its image frames); optimisation sub-options
    // follow Crop to dirty rectangles; zoom bounds; clipboard and palette window.
    doc.frameList.insert(0, "c", std::make_unique<TTextFrame>(nullptr, "hello"));
    doc.showFrameAt(0);
    doc.cropToDirty = false;
    view.zoom = 4;
    view.clipboardHasData = view.paletteWindowExists = true;
    std::set<C> expected = unite({always, needFrame,
                                  {C::Save, C::Revert, C::HtmlCode, C::Zoom1to1, C::Paste, C::PasteAppend,
                                   C::PaletteAdd, C::PaletteDelete, C::PaletteModify, C::Scale, C::Speed,
                                   C::CapPauses, C::RemoveDuplicates, C::Caption, C::Pixelate, C::Blur, C::CropTool}});
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

// Each step belongs to one record (an effect to its family's command), and
// each Effects command to one family.
TEST(CommandRecords, EveryStepNamesOneRecordOrEffectFamily) {
    std::set<std::string> names;
    for (const CommandInfo& info : commandTable()) {
        for (const CliStep& step : info.steps) {
            EXPECT_TRUE(names.insert(step.name).second) << step.name;
            EXPECT_EQ(findStep(step.name), &step);
            EXPECT_EQ(commandOfStep(step.name), info.id) << step.name;
        }
        EXPECT_EQ(info.effectFamily.has_value(), info.menu == Menu::Effects) << int32_t(info.id);
        if (info.effectFamily) {
            EXPECT_EQ(commandOfFamily(*info.effectFamily), info.id);
        }
    }
    for (int32_t e = 0; e < EffectCount; ++e) {
        const std::string name = effectInfo(e)->cliName;
        EXPECT_TRUE(names.insert(name).second) << name;
        const EffectFamily* family = familyOfCommand(commandOfStep(name));
        EXPECT_EQ(family, familyOfEffect(e)) << name;
        ASSERT_NE(findStep(name), nullptr);
        EXPECT_EQ(findStep(name)->form, StepForm::Effect);
    }
    EXPECT_EQ(names.size(), 29u + EffectCount);
    EXPECT_EQ(findStep("effect"), nullptr);
    EXPECT_EQ(commandOfStep("nothing"), CommandId{0});
}

// A step's arguments as the command line would give them.
struct Sample {
    std::string name;
    FrameSelection frames;  // empty: none given
    std::vector<int32_t> values;
    std::string word;
    bool repeated = false;  // frame 1 a copy of frame 0
};

const Sample samples[] = {
    {"shift", {0, 1, 2}, {1, 1}},   {"sprite", {0, 1, 2}, {1, 0}}, {"crop", {0, 1, 2}, {0, 0, 2, 2}},
    {"resize", {0, 1, 2}, {2, 2}},  {"delete", {1}, {}},          {"duplicate", {0}, {2}},
    {"flip", {0, 1}, {}},           {"mirror", {0, 1}, {}},       {"rotate", {0, 1}, {90}},
    {"reverse", {0, 1, 2}, {}},     {"gray", {0, 2}, {}},         {"restore", {0, 1, 2}, {}, "background"},
    {"frame-rate", {}, {50}},       {"loop", {}, {3}},            {"current", {}, {1}},
    {"solid", {}, {2}},             {"transparent", {}, {1}},     {"background", {}, {2}},
    {"merge-background", {}, {0}},  {"merge-foreground", {}, {2}}, {"unoptimize", {}, {}},
    {"delete-color", {}, {3}},      {"scale", {}, {}, "50%"},     {"speed", {0, 1, 2}, {}, "0.5"},
    {"cap-pauses", {}, {10}},       {"dedupe", {}, {}, "", true},
    {"caption", {0, 1, 2}, {}, "A,x=0,y=0,size=6"},
    {"pixelate", {0, 1, 2}, {}, "0,0,4,3,cell=2"},  {"blur", {0, 1, 2}, {}, "0,0,4,3,radius=1"},
};

// Running a step records the undo label of its record (an effect: of its
// entry in the effect table); a step of a record without one records
// nothing.
TEST(CommandRecords, EachStepRecordsItsUndoLabel) {
    std::vector<std::pair<std::string, Sample>> runs;
    for (const CommandInfo& info : commandTable())
        for (const CliStep& step : info.steps) {
            const auto sample = std::find_if(std::begin(samples), std::end(samples),
                                             [&](const Sample& s) { return s.name == step.name; });
            ASSERT_NE(sample, std::end(samples)) << "no sample for --" << step.name;
            const char* label = step.undoLabel ? step.undoLabel : info.undoLabel;
            runs.emplace_back(label ? label : "", *sample);
        }
    for (int32_t e = 0; e < EffectCount; ++e)
        runs.emplace_back(effectUndoLabel(e), Sample{effectInfo(e)->cliName, {0}, {2}});

    for (const auto& [label, sample] : runs) {
        const TMyPalette palette = test::testPalette(8);
        std::vector<std::unique_ptr<TFrame>> frames;
        for (int i = 0; i < 3; ++i)
            frames.push_back(test::placedFrame(i, 0, 4, 3, [i](int x, int y) { return (x + y + i) % 8; }, palette));
        frames[2]->transparentIndex = 0;
        if (sample.repeated) frames[1] = frames[0]->clone();
        auto doc = test::documentOf(std::move(frames));
        StepArguments arguments{sample.name, !sample.frames.empty(), sample.frames, sample.values, sample.word, {}};
        const StepOutcome outcome = findStep(sample.name)->run(*doc, arguments);
        EXPECT_EQ(outcome.error, "") << sample.name;
        EXPECT_EQ(doc->undo.canUndo() ? doc->undo.newest()->label : "", label) << sample.name;
    }
}

}  // namespace
}  // namespace movigram
