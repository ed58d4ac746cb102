// Files dropped on the frame list, and lines dragged within it.
#include <QApplication>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QUrl>

#include "EditorFixture.h"
#include "shell/FrameListModel.h"
#include "shell/FrameListWindow.h"
#include "shell/dialogs/TFrameOffsetDialog.h"

namespace movigram::test {
namespace {

using FrameList = Editor;

// As a drag ends over the list: it enters, moves to the point and drops.
void dropOn(QListView& list, QMimeData* data, QPoint at) {
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &enter);
    QDragMoveEvent move(at, actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &move);
    QDropEvent drop(at, actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &drop);
    QApplication::processEvents();
}

QMimeData* filesData(const std::vector<std::string>& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const std::string& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
    data->setUrls(urls);
    return data;
}

// A line's picture once the worker has made it (and those of the lines the
// list painted meanwhile).
QImage pictureOf(FrameListModel& model, int row) {
    model.data(model.index(row, 0), Qt::DecorationRole);
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.thumbnailsWaiting() == 0; }, 20000));
    return model.data(model.index(row, 0), Qt::DecorationRole).value<QPixmap>().toImage();
}

std::vector<std::string> names(const std::string& file, int first, int last) {
    std::vector<std::string> out;
    for (int i = first; i <= last; ++i) {
        char buf[16];
        std::snprintf(buf, sizeof buf, ".%03d", i);
        out.push_back(file + buf);
    }
    return out;
}

TEST_F(FrameList, FilesDroppedOnALineGoBeforeItAndBelowTheLastAreAppended) {
    const std::string ten = writeGif("a.gif", 10);
    std::vector<std::string> three;
    for (const char* name : {"x.gif", "y.gif", "z.gif"}) three.push_back(writeGif(name, 1));
    start();
    session().openPath(QString::fromStdString(ten));
    TFrameListBox& list = window().frameListWindow().listBox();
    std::unique_ptr<QMimeData> data(filesData(three));
    dropOn(list, data.get(), list.visualRect(list.model()->index(3, 0)).center());
    std::vector<std::string> expected = names("a.gif", 0, 2);
    for (const char* n : {"x.gif.000", "y.gif.000", "z.gif.000"}) expected.push_back(n);
    for (const std::string& n : names("a.gif", 3, 9)) expected.push_back(n);
    EXPECT_EQ(frameTexts(), expected);
    EXPECT_TRUE(doc().modified);

    const std::string one = writeGif("last.gif", 1);
    std::unique_ptr<QMimeData> more(filesData({one}));
    const QRect lastLine = list.visualRect(list.model()->index(list.model()->rowCount() - 1, 0));
    ASSERT_LT(lastLine.bottom() + 5, list.viewport()->height());
    dropOn(list, more.get(), QPoint(10, lastLine.bottom() + 5));
    EXPECT_EQ(frameTexts().back(), "last.gif.000");
    EXPECT_EQ(frameTexts().size(), 14u);
}

TEST_F(FrameList, EachLineShowsItsPlaceNameTimeAndSize) {
    start();
    session().openPath(QString::fromStdString(writeGif("a.gif", 3, 8, 6, 7)));
    QAbstractItemModel& model = *window().frameListWindow().listBox().model();
    auto line = [&](int row) { return model.data(model.index(row, 0), Qt::DisplayRole).toString(); };
    EXPECT_EQ(line(1), QString::fromUtf8("1  a.gif.001\n70 ms \u00b7 8 \u00d7 6"));
    // A frame named by its path shows the file's name, with the path as its tip.
    doc().frameList.setText(2, "/some/where/shot.png");
    EXPECT_EQ(line(2).section('\n', 0, 0), "2  shot.png");
    EXPECT_EQ(model.data(model.index(2, 0), Qt::ToolTipRole).toString(), "/some/where/shot.png");
    // Removing a frame numbers the lines after it again.
    trigger(CommandId::Cut);
    EXPECT_TRUE(line(0).startsWith("0  a.gif.001")) << line(0).toStdString();
}

TEST_F(FrameList, PicturesShowTheScreenOrTheFramesOwnPatch) {
    start();
    session().openPath(QString::fromStdString(writeGif("a.gif", 2, 8, 6)));
    // Frame 1 draws only its top left corner.
    TFrame& patch = *doc().frameList.frameAt(1);
    patch.image = TDib256::subImage(*patch.image, {0, 0, 2, 2});
    patch.rect = patch.dirtyRect = {0, 0, 2, 2};
    doc().changed();
    FrameListModel& model = window().frameListWindow().listBox().frameModel();
    auto cornerOf = [&](int row) {
        const QImage picture = pictureOf(model, row);
        return picture.pixel(picture.width() / 2 + 15, picture.height() / 2 + 10);  // lower right of the screen
    };
    EXPECT_EQ(cornerOf(1), cornerOf(0));  // the screen after frame 1 still shows frame 0 there
    trigger(CommandId::ShowFramePatches);
    EXPECT_EQ(cornerOf(1), qRgb(0x9a, 0x9a, 0x9a));  // outside the patch
    EXPECT_NE(cornerOf(0), qRgb(0x9a, 0x9a, 0x9a));
    // A patch with a palette of its own shows the screen too.
    trigger(CommandId::ShowFramePatches);
    patch.localPalette = std::make_unique<TMyPalette>(*doc().globalPalette);
    doc().changed();
    EXPECT_EQ(cornerOf(1), cornerOf(0));
    // A change to frame 0 reaches the picture of frame 1, which shows it.
    const QRgb before = cornerOf(1);
    TDib256& first = *doc().frameList.frameAt(0)->image;
    const uint8_t other = first.pixel(7, 5) == 3 ? 4 : 3;
    for (int y = 0; y < first.height(); ++y)
        for (int x = 0; x < first.width(); ++x) first.setPixel(x, y, other);
    doc().frameEdited(0);
    EXPECT_NE(cornerOf(0), before);
    EXPECT_EQ(cornerOf(1), cornerOf(0));
}

// The colour of a palette entry of the document.
QRgb colorOf(const Document& doc, int index) {
    const PaletteEntry& e = doc.globalPalette->entry(index);
    return qRgb(e.red, e.green, e.blue);
}

TEST_F(FrameList, APictureComesFromTheWorkerAndShowsTheScreenAfterItsFrame) {
    start();
    session().openPath(QString::fromStdString(writeGif("a.gif", 70, 8, 6)));
    // Frame 0 fills the 8 x 6 screen; each frame after it paints one pixel of
    // it in its own colour, pixel by pixel, starting again after the 48th.
    for (int i = 1; i < 70; ++i) {
        TFrame& f = *doc().frameList.frameAt(i);
        const int p = (i - 1) % 48;
        f.image = TDib256::subImage(*f.image, {0, 0, 1, 1});
        f.rect = f.dirtyRect = {p % 8, p / 8, p % 8 + 1, p / 8 + 1};
    }
    doc().changed();
    FrameListModel& model = window().frameListWindow().listBox().frameModel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.thumbnailsWaiting() == 0; }, 20000));

    // The last line, far below the ones shown: a placeholder at first.
    const int row = 69;
    QSignalSpy arrivals(&model, &FrameListModel::pictureArrived);
    const QPixmap placeholder = model.data(model.index(row, 0), Qt::DecorationRole).value<QPixmap>();
    EXPECT_GE(model.thumbnailsWaiting(), 1);
    const QImage picture = pictureOf(model, row);
    EXPECT_NE(picture, placeholder.toImage());
    // Its arrival was announced for that line.
    bool arrived = false;
    for (const QList<QVariant>& arrival : arrivals) arrived = arrived || arrival[0].toInt() == row;
    EXPECT_TRUE(arrived);
    // Each pixel of the screen shows the last frame up to the line's that
    // painted it, or frame 0; the picture shows the screen 5 times larger.
    for (int p = 0; p < 48; ++p) {
        int last = 0;
        for (int i = 1; i <= row; ++i)
            if ((i - 1) % 48 == p) last = i;
        EXPECT_EQ(picture.pixel(p % 8 * 5 + 2, p / 8 * 5 + 2), colorOf(doc(), last % 8)) << "pixel " << p;
    }
}

TEST_F(FrameList, AFrameChangedWhileItsPictureIsMadeNeverShowsTheStalePicture) {
    start();
    session().openPath(QString::fromStdString(writeGif("a.gif", 100, 8, 6)));
    FrameListModel& model = window().frameListWindow().listBox().frameModel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.thumbnailsWaiting() == 0; }, 20000));
    // A line far below those shown: the worker makes the picture of the
    // frame as it is; it reaches its line with the events that follow,
    // after the frame changed.
    const int row = 90;
    model.data(model.index(row, 0), Qt::DecorationRole);
    ASSERT_EQ(model.thumbnailsWaiting(), 1);
    model.waitForWorker();
    TDib256& image = *doc().frameList.frameAt(row)->image;
    const uint8_t other = image.pixel(0, 0) == 6 ? 7 : 6;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, other);
    doc().frameEdited(row);
    EXPECT_EQ(pictureOf(model, row).pixel(20, 15), colorOf(doc(), other));
}

// Shift and Ctrl select several lines; a delay typed on one of them goes to
// all of them, Delete removes them, each in one undo step.
TEST_F(FrameList, SelectedLinesTakeATypedDelayAndDeleteTogether) {
    start();
    session().openPath(QString::fromStdString(writeGif("a.gif", 10)));
    TFrameListBox& list = window().frameListWindow().listBox();
    QWidget* lines = list.viewport();
    auto at = [&](int row) { return list.visualRect(list.model()->index(row, 0)).center(); };
    QTest::mouseClick(lines, Qt::LeftButton, Qt::NoModifier, at(2));
    QTest::mouseClick(lines, Qt::LeftButton, Qt::ShiftModifier, at(4));
    QTest::mouseClick(lines, Qt::LeftButton, Qt::ControlModifier, at(7));
    EXPECT_EQ(list.selectedRows(), (std::vector<int32_t>{2, 3, 4, 7}));
    EXPECT_EQ(doc().currentFrame, doc().frameList.frameAt(7));

    QTest::mouseDClick(lines, Qt::LeftButton, Qt::NoModifier, at(3));
    auto* delay = list.findChild<QSpinBox*>(QStringLiteral("Delay"));
    ASSERT_NE(delay, nullptr);
    EXPECT_EQ(delay->value(), 100);
    delay->selectAll();
    QTest::keyClicks(delay, QStringLiteral("250"));
    QTest::keyClick(delay, Qt::Key_Return);
    QApplication::processEvents();  // the editor commits on the next turn
    std::vector<int32_t> times;
    for (int i = 0; i < doc().frameList.count(); ++i) times.push_back(doc().frameList.frameAt(i)->displayTime());
    EXPECT_EQ(times, (std::vector<int32_t>{100, 100, 250, 250, 250, 100, 100, 250, 100, 100}));
    EXPECT_EQ(action(CommandId::Undo)->text(), "&Undo set delay");
    trigger(CommandId::Undo);
    EXPECT_EQ(doc().frameList.frameAt(7)->displayTime(), 100);

    // The frame dialogs start with the list's lines selected.
    QTest::mouseClick(lines, Qt::LeftButton, Qt::NoModifier, at(1));
    QTest::mouseClick(lines, Qt::LeftButton, Qt::ShiftModifier, at(2));
    {
        TFrameOffsetDialog dialog(session(), OffsetMode::Delete);
        EXPECT_EQ(dialog.frameList().selection(), (FrameSelection{1, 2}));
    }
    QTest::keyClick(&list, Qt::Key_Delete);
    QApplication::processEvents();
    EXPECT_EQ(frameTexts(), (std::vector<std::string>{"a.gif.000", "a.gif.003", "a.gif.004", "a.gif.005", "a.gif.006",
                                                      "a.gif.007", "a.gif.008", "a.gif.009"}));
    trigger(CommandId::Undo);
    EXPECT_EQ(frameTexts().size(), 10u);
}

TEST_F(FrameList, DraggingALineMovesItsFrameAndUndoPutsItBack) {
    const std::string gif = writeGif("a.gif", 6);
    start();
    session().openPath(QString::fromStdString(gif));
    TFrameListBox& list = window().frameListWindow().listBox();
    const std::vector<std::string> before = frameTexts();
    std::unique_ptr<QMimeData> line(list.model()->mimeData({list.model()->index(1, 0)}));
    dropOn(list, line.get(), list.visualRect(list.model()->index(4, 0)).center());
    EXPECT_EQ(frameTexts(), (std::vector<std::string>{"a.gif.000", "a.gif.002", "a.gif.003", "a.gif.001", "a.gif.004",
                                                      "a.gif.005"}));
    // The list shows the new order and the moved line stays selected.
    EXPECT_EQ(list.model()->index(3, 0).data(Qt::ToolTipRole).toString(), "a.gif.001");
    EXPECT_EQ(list.selectionModel()->selectedRows().value(0).row(), 3);
    EXPECT_EQ(doc().currentFrame, doc().frameList.frameAt(3));
    EXPECT_EQ(action(CommandId::Undo)->text(), "&Undo move frames");
    trigger(CommandId::Undo);
    EXPECT_EQ(frameTexts(), before);
    EXPECT_EQ(list.model()->index(1, 0).data(Qt::ToolTipRole).toString(), "a.gif.001");
    trigger(CommandId::Redo);
    EXPECT_EQ(list.model()->index(3, 0).data(Qt::ToolTipRole).toString(), "a.gif.001");
    trigger(CommandId::Undo);
    // A line dropped on itself moves nothing.
    std::unique_ptr<QMimeData> same(list.model()->mimeData({list.model()->index(2, 0)}));
    dropOn(list, same.get(), list.visualRect(list.model()->index(2, 0)).center());
    EXPECT_EQ(frameTexts(), before);
}

// The frame shown as browsers show it follows its line when dragged.
TEST_F(FrameList, ShowingAsBrowsersDoFollowsTheDraggedFrame) {
    // Large enough to fill the canvas.
    const std::string gif = writeGif("a.gif", 6, 1600, 1200);
    start();
    session().openPath(QString::fromStdString(gif));
    trigger(CommandId::ShowAsBrowsers);
    doc().showFrameAt(1);
    auto shownColour = [&] {
        view().viewport()->repaint();
        const QImage shot = view().viewport()->grab().toImage();
        return shot.pixelColor(shot.width() / 2, shot.height() / 2);
    };
    const QColor before = shownColour();
    TFrameListBox& list = window().frameListWindow().listBox();
    std::unique_ptr<QMimeData> line(list.model()->mimeData({list.model()->index(1, 0)}));
    dropOn(list, line.get(), list.visualRect(list.model()->index(4, 0)).center());
    ASSERT_EQ(doc().currentFrame, doc().frameList.frameAt(3));
    EXPECT_EQ(shownColour(), before);
}

TEST_F(FrameList, FilesDroppedOnTheCanvasReplaceTheAnimationAfterTheQuestion) {
    const std::string a = writeGif("a.gif", 3), b = writeGif("b.gif", 2);
    start();
    session().openPath(QString::fromStdString(a));
    trigger(CommandId::Loop);  // a change to lose
    std::unique_ptr<QMimeData> data(filesData({b}));
    auto dropOnCanvas = [&] {
        const QPoint at(50, 50);
        QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view().viewport(), &enter);
        QDropEvent drop(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view().viewport(), &drop);
        QApplication::processEvents();
    };
    {
        MessageBoxAnswer cancel(QMessageBox::Cancel);
        dropOnCanvas();
        EXPECT_EQ(cancel.text(), "Save current changes?");
        EXPECT_EQ(cancel.caption(), "a.gif");
    }
    EXPECT_EQ(frameTexts(), names("a.gif", 0, 2));
    {
        MessageBoxAnswer no(QMessageBox::No);
        dropOnCanvas();
        EXPECT_TRUE(no.seen());
    }
    EXPECT_EQ(frameTexts(), names("b.gif", 0, 1));
    EXPECT_EQ(window().windowTitle().left(21), "Movigram GIF - b.gif ");
}

TEST_F(FrameList, ClosingTheWindowUnchecksItsMenuItemWhichBringsItBack) {
    start();
    TFrameWinListBox& list = window().frameListWindow();
    ASSERT_TRUE(list.isVisible());
    list.close();
    QApplication::processEvents();
    EXPECT_FALSE(action(CommandId::ShowFrameList)->isChecked());
    trigger(CommandId::ShowFrameList);
    EXPECT_TRUE(list.isVisible());
    EXPECT_TRUE(action(CommandId::ShowFrameList)->isChecked());
}

}  // namespace
}  // namespace movigram::test
