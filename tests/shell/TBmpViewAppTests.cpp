// Start-up, the command map and its enabling rules, and opening a file.
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMenuBar>
#include <QStatusBar>
#include <map>

#include "EditorFixture.h"
#include "shell/FrameListModel.h"
#include "shell/FrameListWindow.h"
#include "shell/StatusGadgets.h"

namespace movigram::test {
namespace {

using C = CommandId;

using StartUp = Editor;

TEST_F(StartUp, WithoutASettingsFileTheOptionsAreTheBuiltInOnes) {
    start();
    std::map<C, bool> expected = {
        {C::Loop, true},           {C::CropToDirty, true},     {C::SplitDirty, false},   {C::TransparentMask, false},
        {C::OptimizeColors, false}, {C::LocalKeep, true},       {C::LocalMerge, false},   {C::GlobalAutomatic, true},
        {C::GlobalFixed, false},   {C::CommentFrame, true},    {C::OptimizeOnSave, false}, {C::EnableUndo, true},
        {C::ShowDirtyRect, false}, {C::ShowPalette, true},     {C::ShowFrameList, true}, {C::ShowAsBrowsers, false},
    };
    std::map<C, bool> actual;
    for (const auto& [id, on] : expected) actual[id] = action(id)->isChecked();
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(session().zoom(), 1);
    EXPECT_EQ(action(C::Save)->text(), "&Save");
    EXPECT_EQ(window().windowTitle(), "Movigram GIF - (Untitled)");
    EXPECT_EQ(window().viewText().text(), "1:1");
    EXPECT_EQ(window().colorText().text(), "No transparent color");
    EXPECT_TRUE(window().frameListWindow().isVisible());
}

// Every command of the table is in its menu with its text, shortcut and help,
// and the menus carry the program's titles.
TEST_F(StartUp, MenusHoldEveryCommandWithItsTextsAndKeys) {
    start();
    QStringList titles;
    for (QAction* menu : window().menuBar()->actions()) titles << menu->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&Animation", "Fra&mes", "&Options", "&View", "&Effects", "&Help"}));
    for (const CommandInfo& info : commandTable()) {
        if (info.menu == Menu::None || (info.id >= C::RecentFile1 && info.id <= C::RecentFile4)) continue;
        QAction* a = action(info.id);
        QString shown = a->text();
        if (!a->shortcut().isEmpty()) shown += "\t" + a->shortcut().toString();
        EXPECT_EQ(shown.toStdString(), menuTextOf(info, doc())) << int(info.id);
        EXPECT_EQ(a->statusTip().toStdString(), info.help) << int(info.id);
        bool inMenu = false;
        for (QObject* o : a->associatedObjects()) inMenu |= qobject_cast<QMenu*>(o) != nullptr;
        EXPECT_TRUE(inMenu) << int(info.id);
    }
    EXPECT_TRUE(action(C::Delete)->shortcuts().contains(QKeySequence(QStringLiteral("Ctrl+Del"))));
    // The Save item follows the option.
    trigger(C::OptimizeOnSave);
    EXPECT_EQ(action(C::Save)->text(), "&Save optimized");
}

TEST_F(StartUp, EnablingFollowsTheDocument) {
    const std::string gif = writeGif("anim.gif", 3, 8, 6, 10, "A comment");
    start();
    const std::vector<C> always = {C::New,          C::Open,       C::AppendFrames, C::InsertFrames,
                                   C::LoadPalette,  C::StorePalette, C::BackgroundColor, C::Exit};
    const std::vector<C> needFrame = {C::SaveAs, C::SaveOptimizedAs, C::Preview,  C::SaveFrames, C::Play,
                                      C::Stop,   C::NextFrame,       C::PrevFrame, C::LoopCount, C::FrameRate,
                                      C::Unoptimize, C::Shift,       C::Crop,     C::ZoomIn,     C::ZoomOut};
    const std::vector<C> needImage = {C::MergeBackground, C::MergeForeground, C::FadeIn, C::Wipe, C::Blind};
    for (C id : always) EXPECT_TRUE(action(id)->isEnabled()) << int(id);
    for (C id : needFrame) EXPECT_FALSE(action(id)->isEnabled()) << int(id);
    for (C id : needImage) EXPECT_FALSE(action(id)->isEnabled()) << int(id);
    EXPECT_FALSE(action(C::Save)->isEnabled());
    EXPECT_FALSE(action(C::Undo)->isEnabled());

    session().openPath(QString::fromStdString(gif));
    QApplication::processEvents();
    for (C id : needFrame) EXPECT_TRUE(action(id)->isEnabled()) << int(id);
    EXPECT_TRUE(action(C::Save)->isEnabled());  // optimizable after a read with Crop to dirty rectangles
    EXPECT_FALSE(action(C::Zoom1to1)->isEnabled());

    // A comment frame: everything that needs an image goes off, the rest stays.
    const int comment = 0;
    ASSERT_TRUE(doc().frameList.frameAt(comment)->isComment);
    session().listSelect(comment);
    QApplication::processEvents();
    for (C id : needImage) EXPECT_FALSE(action(id)->isEnabled()) << int(id);
    EXPECT_TRUE(action(C::Play)->isEnabled());
    session().listSelect(1);
    QApplication::processEvents();
    for (C id : needImage) EXPECT_TRUE(action(id)->isEnabled()) << int(id);
    // The options that only make sense while cropping.
    trigger(C::CropToDirty);
    EXPECT_FALSE(action(C::SplitDirty)->isEnabled());
    EXPECT_FALSE(action(C::TransparentMask)->isEnabled());
}

TEST_F(StartUp, OpeningAFileListsItsFramesAndSetsTitleAndViewText) {
    const std::string gif = writeGif("anim.gif", 5, 30, 20);
    const auto size = std::filesystem::file_size(gif);
    start();
    session().openPath(QString::fromStdString(gif));
    QApplication::processEvents();
    TFrameListBox& list = window().frameListWindow().listBox();
    ASSERT_EQ(list.model()->rowCount(), 5);
    EXPECT_EQ(list.model()->index(0, 0).data(Qt::ToolTipRole).toString(), "anim.gif.000");
    EXPECT_EQ(list.model()->index(4, 0).data(Qt::ToolTipRole).toString(), "anim.gif.004");
    EXPECT_FALSE(list.model()->index(4, 0).data(Qt::DecorationRole).value<QPixmap>().isNull());
    EXPECT_EQ(window().windowTitle().toStdString(), "Movigram GIF - anim.gif  (" + std::to_string(size) + " bytes)");
    EXPECT_EQ(window().viewText().text(), "1:1  30x20");
    EXPECT_EQ(list.selectionModel()->selectedRows().value(0).row(), doc().frameList.selectedIndex());
    EXPECT_EQ(session().recentFiles(), QStringList{QString::fromStdString(gif)});
}

TEST_F(StartUp, ClosingWithUnsavedChangesAsksAndCancelKeepsTheWindow) {
    const std::string gif = writeGif("anim.gif", 3);
    start();
    session().openPath(QString::fromStdString(gif));
    trigger(C::Loop);  // a change of the animation
    ASSERT_TRUE(doc().modified);
    MessageBoxAnswer cancel(QMessageBox::Cancel);
    EXPECT_FALSE(window().close());
    EXPECT_TRUE(cancel.seen());
    EXPECT_EQ(cancel.caption(), "Movigram GIF Animator");
    EXPECT_EQ(cancel.text(), "Save changes to \"anim.gif\"?");
    EXPECT_TRUE(window().isVisible());
    EXPECT_TRUE(doc().modified);
}

}  // namespace
}  // namespace movigram::test
