// The palette window and the palette commands: the swatches and captions,
// the entry commands, the picks it completes, Reduce color depth's dialog,
// and Store and Load palette through their file dialogs.
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "EditorFixture.h"
#include "shell/ColorDialog.h"
#include "shell/PaletteWindow.h"
#include "shell/dialogs/TEffectsDialog.h"
#include "shell/StatusGadgets.h"
#include "support/GifBuilder.h"

namespace movigram::test {
namespace {

using C = CommandId;
using Palette = Editor;

// Runs act on the next modal dialog of type D (within a few seconds).
template <typename D>
void onNextDialog(std::function<void(D&)> act, int triesLeft = 500) {
    QTimer::singleShot(10, [act, triesLeft] {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) act(*dialog);
        else if (triesLeft > 0) onNextDialog<D>(act, triesLeft - 1);
    });
}

class PaletteWindow : public Editor {
protected:
    // One frame of `colors` colours, pixel values 0..colors-1 in a row; entry
    // 5 of the file's colour table is (255, 128, 0).
    void openColors(int colors, int tableSize = 32) {
        GifBuilder gif(colors, 1, tableSize);
        std::vector<uint8_t> pixels(static_cast<size_t>(colors));
        for (int i = 0; i < colors; ++i) pixels[size_t(i)] = uint8_t(i);
        gif.control(10).image(0, 0, colors, 1, pixels).trailer();
        Bytes bytes = gif.bytes();
        const uint8_t orange[3] = {255, 128, 0};
        std::copy(orange, orange + 3, bytes.begin() + 13 + 5 * 3);
        const std::string path = (dir / "colors.gif").string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        start();
        session().openPath(QString::fromStdString(path));
        ASSERT_NE(palette(), nullptr);
        ASSERT_EQ(palette()->shownPalette().colorCount, colors);
    }
    TPaletteWindow* palette() { return session().paletteWindow(); }
    TPaletteGrid& grid() { return palette()->grid(); }
    // The grid of exactly 16 cells of side by side pixels.
    void cellsOf(int side) {
        grid().setFixedSize(16 * side, 16 * side);
        QApplication::processEvents();
        ASSERT_EQ(grid().cellWidth(), side);
    }
    QPoint cell(int entry) {
        const int w = grid().cellWidth(), h = grid().cellHeight();
        return {(entry % 16) * w + w / 2, (entry / 16) * h + h / 2};
    }
    QString pointAt(QPoint p) {
        QMouseEvent move(QEvent::MouseMove, p, grid().mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&grid(), &move);
        return palette()->windowTitle();
    }
    void click(int entry) {
        QTest::mouseClick(&grid(), Qt::LeftButton, {}, cell(entry));
        QApplication::processEvents();
    }
    // Right-clicks the entry and chooses a command of the context menu.
    void contextCommand(int entry, const QString& text) {
        QTimer::singleShot(50, [text] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (QAction* item : menu->actions())
                if (item->text() == text) {
                    menu->setActiveAction(item);
                    QTest::keyClick(menu, Qt::Key_Return);
                    return;
                }
            FAIL() << text.toStdString();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, cell(entry), grid().mapToGlobal(cell(entry)));
        QApplication::sendEvent(&grid(), &event);
        QApplication::processEvents();
    }
};

TEST_F(PaletteWindow, TwentyColoursInTwoRowsWithTheirCaptions) {
    openColors(20);
    EXPECT_EQ(palette()->findChild<QLabel*>("PaletteTitle")->text(), "Global palette, 20 colors used");
    cellsOf(10);
    const QImage shown = grid().grab().toImage();
    const TMyPalette& p = palette()->shownPalette();
    for (int i = 0; i < 20; ++i) {
        const PaletteEntry& e = p.entry(i);
        EXPECT_EQ(shown.pixelColor(cell(i)), QColor(e.red, e.green, e.blue)) << i;
    }
    EXPECT_EQ(cell(16), QPoint(5, 15));  // the second row begins with entry 16
    EXPECT_EQ(shown.pixelColor(cell(20)), QColor(0x80, 0x80, 0x80));
    // Cells of 5 pixels and more are outlined; neighbours share the line.
    EXPECT_EQ(shown.pixelColor(10, 5), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(5, 10), QColor(Qt::black));

    EXPECT_EQ(pointAt(cell(5)), "[5] R:255, G:128, B:0 (#ff8000) ");
    EXPECT_EQ(pointAt(cell(20)), "Palette Window");
    EXPECT_EQ(pointAt(cell(19)).left(5), "[19] ");
    EXPECT_EQ(pointAt({16 * 10 + 3, 4}), "Palette Window");

    // Cells of 4 pixels are filled without outlines.
    cellsOf(4);
    const QImage small = grid().grab().toImage();
    const PaletteEntry& one = p.entry(1), &seventeen = p.entry(17);
    EXPECT_EQ(small.pixelColor(4, 0), QColor(one.red, one.green, one.blue));
    EXPECT_EQ(small.pixelColor(4, 4), QColor(seventeen.red, seventeen.green, seventeen.blue));

    // The window follows the document: a frame with a local palette shows it.
    doc().currentFrame->localPalette = std::make_unique<TMyPalette>(TMyPalette(std::vector<PaletteEntry>(3)));
    doc().paletteEdited();
    EXPECT_EQ(palette()->titleLine(), "Local palette, 3 colors used");
}

// The caption describes the entry under the pointer as it is, also after
// the palette under it changed without the pointer moving.
TEST_F(PaletteWindow, CaptionFollowsTheEntryUnderThePointer) {
    openColors(20);
    cellsOf(10);
    ASSERT_EQ(pointAt(cell(5)), "[5] R:255, G:128, B:0 (#ff8000) ");
    doc().globalPalette->setEntry(5, PaletteEntry{1, 2, 3, 0});
    doc().paletteEdited();
    EXPECT_EQ(palette()->windowTitle(), "[5] R:1, G:2, B:3 (#010203) ");
    // Another file: its own entry 5.
    session().openPath(QString::fromStdString(writeGif("other.gif", 8)));
    ASSERT_GT(palette()->shownPalette().colorCount, 5);
    const PaletteEntry e = palette()->shownPalette().entry(5);
    EXPECT_EQ(palette()->windowTitle(), QString::asprintf("[5] R:%d, G:%d, B:%d (#%02x%02x%02x) ", e.red, e.green,
                                                          e.blue, e.red, e.green, e.blue));
    // A palette of fewer colours: nothing is under the pointer any more.
    doc().globalPalette = std::make_unique<TMyPalette>(TMyPalette(std::vector<PaletteEntry>(3)));
    doc().paletteEdited();
    EXPECT_EQ(palette()->windowTitle(), "Palette Window");
}

TEST_F(PaletteWindow, DeleteAsksForTheEntryRightClickedAndNeedsColoursToSpare) {
    openColors(20);
    const PaletteEntry eighth = palette()->shownPalette().entry(8);
    {
        MessageBoxAnswer cancel(QMessageBox::Cancel);
        contextCommand(7, "Delete color");
        EXPECT_EQ(cancel.text(), "Delete palette entry #7?");
        EXPECT_EQ(cancel.caption(), "Delete color");
    }
    EXPECT_EQ(palette()->shownPalette().colorCount, 20);
    {
        MessageBoxAnswer ok(QMessageBox::Ok);
        contextCommand(7, "Delete color");
        EXPECT_TRUE(ok.seen());
    }
    EXPECT_EQ(palette()->shownPalette().colorCount, 19);
    EXPECT_EQ(palette()->shownPalette().entry(7), eighth);
    EXPECT_EQ(action(C::Undo)->text(), "&Undo delete color");
    // Edit > Palette > Delete waits for a click on a swatch.
    trigger(C::PaletteDelete);
    EXPECT_EQ(palette()->pendingPick(), PalettePick::Delete);
    MessageBoxAnswer ok(QMessageBox::Ok);
    click(0);
    EXPECT_EQ(ok.text(), "Delete palette entry #0?");
    EXPECT_EQ(palette()->shownPalette().colorCount, 18);
}

TEST_F(PaletteWindow, AddAndModifyUseTheColourChooser) {
    openColors(20);
    auto answer = [](QColor color) {
        onNextDialog<QColorDialog>([color](QColorDialog& dialog) {
            if (!color.isValid()) return dialog.reject();
            EXPECT_EQ(QColorDialog::customColor(0), QColor(1, 1, 1));
            EXPECT_EQ(QColorDialog::customColor(15), QColor(240, 240, 240));
            dialog.setCurrentColor(color);
            dialog.accept();
        });
    };
    answer(QColor());
    contextCommand(2, "Add color");
    EXPECT_EQ(palette()->shownPalette().colorCount, 20);
    answer(QColor(1, 2, 3));
    trigger(C::PaletteAdd);
    ASSERT_EQ(palette()->shownPalette().colorCount, 21);
    EXPECT_EQ(palette()->shownPalette().entry(20), (PaletteEntry{1, 2, 3, 0}));
    answer(QColor(9, 8, 7));
    QTest::mouseDClick(&grid(), Qt::LeftButton, {}, cell(4));
    EXPECT_EQ(doc().globalPalette->entry(4), (PaletteEntry{9, 8, 7, 0}));
    EXPECT_TRUE(doc().modified);
}

TEST_F(PaletteWindow, DeleteOnAOneColourPaletteDoesNothing) {
    openColors(1, 2);
    MessageBoxAnswer none(QMessageBox::Ok);
    trigger(C::PaletteDelete);
    click(0);
    contextCommand(0, "Delete color");
    EXPECT_FALSE(none.seen());
    EXPECT_EQ(palette()->shownPalette().colorCount, 1);
    EXPECT_TRUE(doc().undo.empty());
}

TEST_F(PaletteWindow, PicksAreCompletedOnASwatch) {
    openColors(20);
    trigger(C::TransparentColor);
    EXPECT_TRUE(grid().testAttribute(Qt::WA_SetCursor));
    click(3);
    EXPECT_EQ(session().pickMode(), PickMode::None);
    EXPECT_EQ(doc().transparentIndex, 3);
    EXPECT_EQ(window().colorText().text(), "Transp. color [3]");
    EXPECT_FALSE(grid().testAttribute(Qt::WA_SetCursor));
    EXPECT_FALSE(view().viewport()->testAttribute(Qt::WA_SetCursor));

    // Escape on the canvas ends the pick in both windows.
    const int32_t background = doc().backgroundIndex;
    trigger(C::BackgroundColor);
    QTest::keyClick(&view(), Qt::Key_Escape);
    click(4);
    EXPECT_EQ(doc().backgroundIndex, background);
    trigger(C::BackgroundColor);
    click(4);
    EXPECT_EQ(doc().backgroundIndex, 4);

    trigger(C::InsertSolidColor);
    click(6);
    ASSERT_EQ(doc().frameList.count(), 2);
    EXPECT_EQ(doc().frameList.textAt(0), "Solid color");
    EXPECT_EQ(doc().frameList.frameAt(0)->image->pixel(0, 0), 6);

    // "Select from palette" of the effects dialog, a modal dialog, while the
    // palette window is docked: the click goes through the window system,
    // which holds back input to the windows a modal dialog blocks.
    palette()->setFloating(false);
    int picked = -1;
    QColor color;
    onNextDialog<TEffectsDialog>([&](TEffectsDialog& dialog) {
        ASSERT_TRUE(dialog.paletteButton().isEnabled());
        dialog.paletteButton().click();
        ASSERT_TRUE(palette()->isFloating());
        QTest::mouseClick(palette()->windowHandle(), Qt::LeftButton, {}, grid().mapTo(palette(), cell(5)));
        QApplication::processEvents();
        picked = dialog.values().solidIndex;
        const int32_t rgb = dialog.values().solidColor;
        color = QColor(redOf(rgb), greenOf(rgb), blueOf(rgb));
        dialog.reject();
    });
    trigger(C::FadeIn);
    EXPECT_EQ(picked, 5);
    EXPECT_EQ(color, QColor(255, 128, 0));
    EXPECT_FALSE(palette()->isFloating());
    // A dialog closed before the click takes its pick along.
    onNextDialog<TEffectsDialog>([&](TEffectsDialog& dialog) {
        dialog.paletteButton().click();
        dialog.reject();
    });
    trigger(C::FadeIn);
    EXPECT_EQ(palette()->pendingPick(), PalettePick::None);
    EXPECT_FALSE(palette()->isFloating());
    EXPECT_EQ(doc().transparentIndex, 3);
}

TEST_F(PaletteWindow, ClosingUnchecksShowPaletteAndItsPlaceIsSaved) {
    openColors(20);
    ASSERT_TRUE(action(C::ShowPalette)->isChecked());
    EXPECT_TRUE(action(C::PaletteAdd)->isEnabled());
    palette()->setFloating(true);
    palette()->setGeometry(40, 50, 300, 260);
    QApplication::processEvents();
    ASSERT_TRUE(palette()->close());
    QApplication::processEvents();
    EXPECT_FALSE(action(C::ShowPalette)->isChecked());
    EXPECT_FALSE(action(C::PaletteAdd)->isEnabled());
    EXPECT_EQ(palette(), nullptr);
    trigger(C::ShowPalette);
    ASSERT_NE(palette(), nullptr);
    EXPECT_TRUE(palette()->isVisible());
    const QRect place(palette()->mapToGlobal(QPoint(0, 0)), palette()->size());
    ASSERT_TRUE(window().close());
    start();
    ASSERT_NE(palette(), nullptr);
    EXPECT_TRUE(palette()->isFloating());
    EXPECT_EQ(QRect(palette()->mapToGlobal(QPoint(0, 0)), palette()->size()), place);
}

// A fixed palette file that is there but cannot be read: Automatic, without a word.
TEST_F(Palette, AnUnreadableFixedPaletteFallsBackQuietlyAtStartUp) {
    const std::string bad = (dir / "fixed.gif").string();
    std::ofstream(bad) << "not a picture";
    std::ofstream(settingsPath.toStdString())
        << "[Settings]\nOptions=0 0 1 1   1 0 1 0   1 0 0 0   1\nFixedPalName=" << bad << "\n";
    MessageBoxAnswer anyBox(QMessageBox::Ok);
    start();
    QTest::qWait(100);
    EXPECT_FALSE(anyBox.seen()) << anyBox.caption().toStdString() << ": " << anyBox.text().toStdString();
    EXPECT_TRUE(action(C::GlobalAutomatic)->isChecked());
}

TEST_F(Palette, ReduceColorDepthProposesAndStepsThroughPowersOfTwo) {
    // 256 colours in the global palette; the second file has 3.
    GifBuilder gif(16, 16, 256);
    std::vector<uint8_t> pixels(256);
    for (int i = 0; i < 256; ++i) pixels[size_t(i)] = uint8_t(i);
    gif.control(10).image(0, 0, 16, 16, pixels).trailer();
    const std::string path = (dir / "all.gif").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(gif.bytes().data()), std::streamsize(gif.bytes().size()));
    start();
    session().openPath(QString::fromStdString(path));
    ASSERT_EQ(doc().globalPalette->colorCount, 256);

    std::vector<int> seen;
    onNextDialog<TColorDialog>([&](TColorDialog& dialog) {
        TPower2UpDown& box = dialog.upDown();
        seen.push_back(box.value());
        for (int key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}) {
            QTest::keyClick(&box, Qt::Key(key));
            seen.push_back(box.value());
        }
        EXPECT_EQ(action(C::Undo)->text(), "&Undo reduce colors");
        dialog.reject();
    });
    trigger(C::ReduceColorDepth);
    EXPECT_EQ(seen, (std::vector<int>{128, 256, 256, 128, 64, 32}));
    EXPECT_TRUE(doc().undo.empty());
    EXPECT_EQ(doc().globalPalette->colorCount, 256);

    onNextDialog<TColorDialog>([](TColorDialog& dialog) {
        auto* quantizer = dialog.findChild<QComboBox*>(QStringLiteral("Quantizer"));
        ASSERT_NE(quantizer, nullptr);
        QTest::keyClick(quantizer, Qt::Key_Down);
        dialog.upDown().selectAll();
        QTest::keyClicks(&dialog.upDown(), "1,6 colors");
        QTest::keyClick(&dialog.upDown(), Qt::Key_Return);
    });
    trigger(C::ReduceColorDepth);
    EXPECT_LE(doc().globalPalette->colorCount, 16);
    EXPECT_EQ(doc().undo.newest()->label, "reduce colors");
    EXPECT_TRUE(action(C::QuantizeHighQuality)->isChecked());

    // A small palette proposes 2; local palettes propose 256.
    int initial = 0;
    onNextDialog<TColorDialog>([&](TColorDialog& dialog) {
        initial = dialog.upDown().value();
        dialog.reject();
    });
    doc().globalPalette->colorCount = 3;
    trigger(C::ReduceColorDepth);
    EXPECT_EQ(initial, 2);
    onNextDialog<TColorDialog>([&](TColorDialog& dialog) {
        initial = dialog.upDown().value();
        dialog.reject();
    });
    doc().currentFrame->localPalette = std::make_unique<TMyPalette>(*doc().globalPalette);
    trigger(C::ReduceColorDepth);
    EXPECT_EQ(initial, 256);
    EXPECT_EQ(doc().undo.newest()->label, "reduce colors");
}

TEST_F(Palette, StoreProposesTheDocumentsNameAndLoadTakesTheFileBack) {
    const std::string gif = writeGif("walk.gif", 3);
    start();
    session().openPath(QString::fromStdString(gif));
    const int colors = doc().globalPalette->colorCount;
    QString proposed;
    onNextDialog<QFileDialog>([&](QFileDialog& dialog) {
        proposed = dialog.selectedFiles().value(0);
        static_cast<QDialog&>(dialog).accept();
    });
    trigger(C::StorePalette);
    EXPECT_EQ(QFileInfo(proposed).fileName(), "walk.PAL");
    std::ifstream stored(proposed.toStdString());
    std::string header, version, count;
    stored >> header >> version >> count;
    EXPECT_EQ(header, "MVGR-PAL");
    EXPECT_EQ(count, std::to_string(colors));

    QStringList filters;
    onNextDialog<QFileDialog>([&](QFileDialog& dialog) {
        filters = dialog.nameFilters();
        // The name typed in the dialog's name box.
        auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(proposed);
        static_cast<QDialog&>(dialog).accept();
    });
    trigger(C::GlobalFixed);
    EXPECT_EQ(filters.size(), 4);
    EXPECT_EQ(filters.value(0), "JASC Palette files (*.pal *.PAL)");
    EXPECT_TRUE(action(C::GlobalFixed)->isChecked());
    EXPECT_EQ(session().paletteWindow()->titleLine(), "Fixed Global palette, 256 colors used");
    ASSERT_FALSE(doc().undo.empty());
    EXPECT_EQ(doc().undo.newest()->label, "load palette");
}

}  // namespace
}  // namespace movigram::test
