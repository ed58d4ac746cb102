// The main window with its floating and docked windows: how they follow it,
// and the menu of a right click on the tool bar or a dock's title.
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QToolBar>
#include <fstream>

#include "EditorFixture.h"
#include "shell/FrameListWindow.h"
#include "commands/SaveCommands.h"
#include "shell/PaletteWindow.h"
#include "shell/SaveSizeEstimator.h"
#include "shell/StatusGadgets.h"
#include "support/GifBuilder.h"

namespace movigram::test {
namespace {

using C = CommandId;
using Windows = Editor;

TEST_F(Windows, FloatingWindowsMoveWithTheMainWindowAfterTheDocksChanged) {
    start();
    TFrameWinListBox& list = window().frameListWindow();
    list.setFloating(false);
    TPaletteWindow* palette = session().paletteWindow();
    ASSERT_NE(palette, nullptr);
    palette->setFloating(true);
    palette->move(window().geometry().topRight() + QPoint(5, 0));
    QApplication::processEvents();
    // Hiding the docked list moves the canvas within the window, not the window.
    trigger(C::ShowFrameList);
    ASSERT_FALSE(list.isVisible());
    QApplication::processEvents();
    const QPoint before = palette->pos();
    window().move(window().pos() + QPoint(10, 20));
    QApplication::processEvents();
    EXPECT_EQ(palette->pos() - before, QPoint(10, 20));
}

// Whatever the menu shows or hides, View's options say what is shown.
TEST_F(Windows, TheToolBarMenuGoesThroughViewsOptions) {
    start();
    auto* bar = window().findChild<QToolBar*>(QStringLiteral("ToolBar"));
    ASSERT_NE(bar, nullptr);
    auto chooseFromMenu = [&](const QString& word) {
        bool chosen = false;
        QTimer::singleShot(20, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* item : menu->actions())
                if (!chosen && item->text().contains(word, Qt::CaseInsensitive)) {
                    chosen = true;
                    item->trigger();
                }
            menu->close();
        });
        const QPoint at(5, 5);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, bar->mapToGlobal(at));
        QApplication::sendEvent(bar, &event);
        QTest::qWait(100);
        return chosen;
    };
    ASSERT_TRUE(action(C::ShowPalette)->isChecked());
    for (bool shown : {false, true}) {
        ASSERT_TRUE(chooseFromMenu(QStringLiteral("palette")));
        EXPECT_EQ(action(C::ShowPalette)->isChecked(), shown);
        EXPECT_EQ(window().paletteWindowIfMade()->isVisible(), shown);
        EXPECT_EQ(session().savedOptions().options.showPaletteWindow, int(shown));
        ASSERT_TRUE(chooseFromMenu(QStringLiteral("frame list")));
        EXPECT_EQ(action(C::ShowFrameList)->isChecked(), shown);
        EXPECT_EQ(window().frameListWindow().isVisible(), shown);
    }
}

// The size Save would write shows in the status bar, measured in the
// background after the edits; an edit while it is measured starts it over.
TEST_F(Windows, TheStatusBarShowsTheSizeSaveWouldWrite) {
    start();
    SaveSizeEstimator& estimator = window().sizeEstimator();
    TTextGadget& text = window().sizeText();
    EXPECT_FALSE(text.isVisible());  // nothing to save
    // Grainy frames, which maximum compression takes a while over.
    const int width = 320, height = 240, frames = 48;
    GifBuilder gif(width, height, 64);
    gif.loop(0);
    for (int f = 0; f < frames; ++f) {
        std::vector<uint8_t> pixels;
        for (uint32_t i = 0; i < width * height; ++i)
            pixels.push_back(uint8_t((i / width + i % width) / 12 + ((i * (f + 7) * 2654435761u) >> 29)));
        gif.control(5).image(0, 0, width, height, pixels);
    }
    gif.trailer();
    const std::string path = (dir / "grainy.gif").string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(gif.bytes().data()), std::streamsize(gif.bytes().size()));
    const std::string saved = (dir / "saved.gif").string();
    auto savedSize = [&] {
        EXPECT_TRUE(writePreparedCopy(doc(), saved, doc().optimizeOnSave, false).ok);
        return std::filesystem::file_size(saved);
    };

    session().openPath(QString::fromStdString(path));
    QTRY_VERIFY_WITH_TIMEOUT(!estimator.computing(), 60000);
    ASSERT_TRUE(estimator.size());
    EXPECT_EQ(*estimator.size(), savedSize());
    EXPECT_TRUE(text.isVisible());
    EXPECT_TRUE(text.isEnabled());
    EXPECT_EQ(text.text().toStdString(), approximateSizeText(*estimator.size()));

    // Maximum compression is measured; a frame deleted meanwhile stops that.
    const uint64_t plain = *estimator.size();
    trigger(C::OptimizeOnSave);
    trigger(C::MaxCompression);
    ASSERT_TRUE(doc().optimizeOnSave && doc().maxCompression);
    EXPECT_FALSE(text.isEnabled());  // the plain size, greyed, until then
    EXPECT_EQ(text.text().toStdString(), approximateSizeText(plain));
    QTRY_VERIFY_WITH_TIMEOUT(estimator.running(), 10000);
    trigger(C::Delete);
    ASSERT_EQ(doc().frameList.count(), frames - 1);
    QTRY_VERIFY_WITH_TIMEOUT(!estimator.computing(), 120000);
    EXPECT_EQ(estimator.runsStopped(), 1);
    ASSERT_TRUE(estimator.size());
    EXPECT_EQ(*estimator.size(), savedSize());
    EXPECT_LT(*estimator.size(), plain);
    EXPECT_TRUE(text.isEnabled());
}

// Answered without a display: no window, nothing else needed.
TEST(EditorCommandLine, HelpAndVersionPrintAndExitWithoutADisplay) {
    for (const char* option : {"--help", "--version"}) {
        QProcess editor;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QString::fromLatin1(name));
        editor.setProcessEnvironment(env);
        editor.start(QStringLiteral(MOVIGRAM_EDITOR), {QString::fromLatin1(option)});
        ASSERT_TRUE(editor.waitForFinished(20000)) << option;
        EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit) << option;
        EXPECT_EQ(editor.exitCode(), 0) << option;
        const QString out = QString::fromUtf8(editor.readAllStandardOutput());
        EXPECT_TRUE(out.startsWith(option == std::string("--help") ? "Usage: movigram" : "movigram 1."))
            << out.toStdString();
    }
}

}  // namespace
}  // namespace movigram::test
