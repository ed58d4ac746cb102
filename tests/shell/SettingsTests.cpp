// The settings file: what is written when the program closes, and read back
// at the next start.
#include <QApplication>
#include <QFile>
#include <QInputDialog>
#include <QTimer>
#include <QScreen>
#include <QStatusBar>

#include "EditorFixture.h"

namespace movigram::test {
namespace {

using C = CommandId;
using SettingsFile = Editor;

QString fileText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

void writeText(const QString& path, const char* text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

TEST_F(SettingsFile, OptionsAndRecentFilesAreWrittenAndReadBack) {
    start();
    for (C id : {C::Loop, C::SplitDirty, C::OptimizeOnSave, C::LocalCreate, C::GlobalOptimized, C::EnableUndo,
                 C::MaxCompression, C::QuantizeHighQuality, C::DitherOrdered})
        trigger(id);
    for (const char* path : {"/data/a.gif", "/data/b.gif", "/data/c.gif"}) session().addRecentFile(path);
    session().addRecentFile("/data/b.gif");  // the second entry moves to the top
    QStringList texts;
    for (C id : {C::RecentFile1, C::RecentFile2, C::RecentFile3, C::RecentFile4})
        if (action(id)->isVisible()) texts << action(id)->text();
    EXPECT_EQ(texts, (QStringList{"&1 /data/b.gif", "&2 /data/c.gif", "&3 /data/a.gif"}));
    doc().setModified(false);  // Loop counts as a change of the animation
    ASSERT_TRUE(window().close());

    const QString ini = fileText(settingsPath);
    EXPECT_TRUE(ini.contains("[Settings]\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("[Screen Settings]\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("Options=0 0 1 0   1 1 2 2   1 0 0 1   0\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("File1=/data/b.gif\nFile2=/data/c.gif\nFile3=/data/a.gif\n")) << ini.toStdString();
    EXPECT_FALSE(ini.contains("File4="));
    EXPECT_TRUE(ini.contains("MaxCompression=1\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("Quantizer=quality\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("Dither=ordered\n")) << ini.toStdString();
    EXPECT_TRUE(ini.contains(QStringLiteral("ScreenSize=%1 %2\n")
                                 .arg(QGuiApplication::primaryScreen()->geometry().width())
                                 .arg(QGuiApplication::primaryScreen()->geometry().height())));

    start();
    EXPECT_FALSE(action(C::Loop)->isChecked());
    EXPECT_TRUE(action(C::SplitDirty)->isChecked());
    EXPECT_TRUE(action(C::LocalCreate)->isChecked());
    EXPECT_TRUE(action(C::GlobalOptimized)->isChecked());
    EXPECT_FALSE(action(C::EnableUndo)->isChecked());
    EXPECT_TRUE(action(C::MaxCompression)->isChecked());
    EXPECT_TRUE(action(C::QuantizeHighQuality)->isChecked());
    EXPECT_TRUE(action(C::DitherOrdered)->isChecked());
    EXPECT_FALSE(action(C::DitherNone)->isChecked());
    EXPECT_EQ(action(C::Save)->text(), "&Save optimized");
    EXPECT_EQ(session().recentFiles(), (QStringList{"/data/b.gif", "/data/c.gif", "/data/a.gif"}));
    EXPECT_EQ(action(C::RecentFile1)->text(), "&1 /data/b.gif");
}

TEST_F(SettingsFile, TheUndoMemoryIsChosenInOptionsAndKept) {
    start();
    EXPECT_GE(doc().undo.budget(), UndoJournal::minimumDefaultBudget);
    bool seen = false;
    QTimer::singleShot(50, [&seen] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        seen = true;
        dialog->setIntValue(512);
        dialog->accept();
    });
    trigger(C::UndoMemory);
    ASSERT_TRUE(seen);
    EXPECT_EQ(doc().undo.budget(), 512 * UndoJournal::mib);
    ASSERT_TRUE(window().close());
    EXPECT_TRUE(fileText(settingsPath).contains("UndoMemory=512\n")) << fileText(settingsPath).toStdString();
    start();
    EXPECT_EQ(doc().undo.budget(), 512 * UndoJournal::mib);
}

TEST_F(SettingsFile, ARecentFileOpensFromItsEntry) {
    const std::string a = writeGif("a.gif", 2), b = writeGif("b.gif", 3);
    start();
    session().openPath(QString::fromStdString(a));
    session().openPath(QString::fromStdString(b));
    ASSERT_EQ(action(C::RecentFile2)->text().toStdString(), "&2 " + a);
    trigger(C::RecentFile2);
    EXPECT_EQ(doc().frameList.count(), 2);
    EXPECT_EQ(session().recentFiles().front().toStdString(), a);
}

TEST_F(SettingsFile, AnOlderFileOfTwelveNumbersLeavesUndoOn) {
    writeText(settingsPath, "[Settings]\nOptions=1 0 1 1 1 0 1 3 1 0 0 0\nFixedPalName=/nowhere/fixed.pal\n");
    start();
    EXPECT_TRUE(action(C::ShowDirtyRect)->isChecked());
    EXPECT_TRUE(action(C::EnableUndo)->isChecked());
    // Fixed mode with a palette that cannot be loaded falls back to Automatic.
    writeText(settingsPath, "[Settings]\nOptions=0 0 1 1   1 0 1 0   1 0 0 0   1\nFixedPalName=/nowhere/fixed.pal\n");
    start();
    EXPECT_TRUE(action(C::GlobalAutomatic)->isChecked());
}

// Any name a Linux file can have comes back from the file, and the file
// keeps one key to a line.
TEST_F(SettingsFile, PathsOfEveryKindComeBackAndKeepTheFileWhole) {
    const QStringList recent = {QStringLiteral("/d/two\nlines.gif"), QStringLiteral("  /d/blanks at both ends.gif \t"),
                                QStringLiteral("/d/tab\there=x;y#z.gif"),
                                QStringLiteral("\"/d/quoted\" \\n back\\slash\r\x01 \u00fcml.gif")};
    const QString openDir = QStringLiteral("/d/\"x\""), saveDir = QStringLiteral(" "),
                  fixed = QStringLiteral("/p/\\x41.pal\n");
    start();
    for (auto it = recent.rbegin(); it != recent.rend(); ++it) session().addRecentFile(*it);
    doc().openDir = openDir.toStdString();
    doc().saveDir = saveDir.toStdString();
    doc().fixedPaletteName = fixed.toStdString();
    ASSERT_TRUE(window().close());

    QFile file(settingsPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    for (const QByteArray& line : file.readAll().split('\n'))
        EXPECT_TRUE(line.isEmpty() || line.startsWith('[') || line.contains('=')) << line.toStdString();

    start();
    EXPECT_EQ(session().recentFiles(), recent);
    EXPECT_EQ(QString::fromStdString(doc().openDir), openDir);
    EXPECT_EQ(QString::fromStdString(doc().saveDir), saveDir);
    EXPECT_EQ(QString::fromStdString(doc().fixedPaletteName), fixed);
}

// Files written before: values stand as they are, numbers are read as
// scanf reads them (a tab is a blank; a word ends the list).
TEST_F(SettingsFile, OlderPlainValuesReadAsTheyStand) {
    writeText(settingsPath,
              "[Settings]\nOptions=1\t1 1 0   x 1 2 0   1 0 0 0   1\n"
              "File1=/d/back\\slash\\n.gif\nFile2=\"/d/a\" and \"b\"\nFile3=\"/d/c\\q\"\nOpenDirName=/d/x=y;z\n");
    start();
    EXPECT_TRUE(action(C::ShowDirtyRect)->isChecked());
    EXPECT_FALSE(action(C::Loop)->isChecked());
    EXPECT_FALSE(action(C::SplitDirty)->isChecked());  // after the word: the built-in values
    EXPECT_TRUE(action(C::LocalKeep)->isChecked());
    EXPECT_EQ(session().recentFiles(),
              (QStringList{"/d/back\\slash\\n.gif", "\"/d/a\" and \"b\"", "\"/d/c\\q\""}));
    EXPECT_EQ(doc().openDir, "/d/x=y;z");
}

TEST_F(SettingsFile, UnreadableColorKeysKeepTheBuiltInChoices) {
    writeText(settingsPath, "[Settings]\nQuantizer=best\nDither=diffusion=250\nMaxCompression=yes\n");
    start();
    EXPECT_TRUE(action(C::QuantizeMedianCut)->isChecked());
    EXPECT_TRUE(action(C::DitherNone)->isChecked());
    EXPECT_FALSE(action(C::MaxCompression)->isChecked());
    writeText(settingsPath, "[Settings]\nDither=diffusion=40\n");
    start();
    EXPECT_TRUE(action(C::DitherDiffusion)->isChecked());
    EXPECT_EQ(doc().quantize.ditherStrength, 40);
}

}  // namespace
}  // namespace movigram::test
