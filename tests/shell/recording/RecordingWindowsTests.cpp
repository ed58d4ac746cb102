// The windows of a recording: choosing what to record on the screen, the
// recording dialog, and the control that runs beside a recording.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QComboBox>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "shell/recording/TRecordDialog.h"
#include "shell/recording/TRecordingControl.h"
#include "shell/recording/TRegionChooser.h"

namespace movigram::test {
namespace {

QImage screenPicture() {
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(QColor(30, 60, 90));
    return picture;
}

// A chooser the size of its picture, shown, with a spy on what it gives.
struct Chooser {
    TRegionChooser* widget;
    QSignalSpy chosen, cancelled;

    Chooser()
        : widget(new TRegionChooser(screenPicture(), {{7, QRect(50, 40, 100, 80), "Terminal"},
                                                      {9, QRect(0, 0, 200, 200), "Editor"}})),
          chosen(widget, &TRegionChooser::chosen),
          cancelled(widget, &TRegionChooser::cancelled) {
        widget->resize(400, 300);
        widget->show();
    }
    ScreenChoice result() const { return chosen.at(0).at(0).value<ScreenChoice>(); }
};

TEST(RecordingWindows, TheChooserGivesADraggedRegionAClickedWindowOrTheWholeScreen) {
    {
        Chooser c;
        QTest::mousePress(c.widget, Qt::LeftButton, {}, {250, 220});
        QTest::mouseMove(c.widget, {300, 240});
        QTest::mouseMove(c.widget, {210, 290});
        QTest::mouseRelease(c.widget, Qt::LeftButton, {}, {210, 290});
        ASSERT_EQ(c.chosen.count(), 1);
        EXPECT_EQ(c.result().kind, ScreenChoice::Region);
        EXPECT_EQ(c.result().rect, QRect(210, 220, 40, 70));  // dragged up and left
    }
    {
        Chooser c;  // the topmost window under the click
        QTest::mouseClick(c.widget, Qt::LeftButton, {}, {60, 50});
        ASSERT_EQ(c.chosen.count(), 1);
        EXPECT_EQ(c.result().kind, ScreenChoice::Window);
        EXPECT_EQ(c.result().windowId, 7u);
        EXPECT_EQ(c.result().rect, QRect(50, 40, 100, 80));
    }
    {
        Chooser c;  // no window there
        QTest::mouseClick(c.widget, Qt::LeftButton, {}, {300, 250});
        ASSERT_EQ(c.chosen.count(), 1);
        EXPECT_EQ(c.result().kind, ScreenChoice::WholeScreen);
        EXPECT_EQ(c.result().rect, QRect(0, 0, 400, 300));
    }
    {
        Chooser c;
        QTest::keyClick(c.widget, Qt::Key_Return);
        ASSERT_EQ(c.chosen.count(), 1);
        EXPECT_EQ(c.result().kind, ScreenChoice::WholeScreen);
    }
    {
        Chooser c;
        QTest::mousePress(c.widget, Qt::LeftButton, {}, {20, 20});
        QTest::mouseMove(c.widget, {120, 120});
        QTest::keyClick(c.widget, Qt::Key_Escape);
        EXPECT_EQ(c.chosen.count(), 0);
        EXPECT_EQ(c.cancelled.count(), 1);
    }
}

TEST(RecordingWindows, TheControlSitsOutsideTheRegionWhereTheScreenHasRoom) {
    const QRect screen(0, 0, 1000, 800);
    const QSize size(300, 40);
    EXPECT_EQ(placeOutside(size, QRect(100, 100, 400, 300), screen), QRect(149, 408, 300, 40));  // below
    EXPECT_EQ(placeOutside(size, QRect(100, 500, 400, 300), screen), QRect(149, 452, 300, 40));  // above
    // Tall and wide: right of it, then left of it.
    EXPECT_EQ(placeOutside(size, QRect(0, 0, 600, 800), screen).left(), 608);
    EXPECT_EQ(placeOutside(size, QRect(400, 0, 600, 800), screen).right(), 391);
    // The whole screen: inside, in a corner, on the screen.
    const QRect corner = placeOutside(size, screen, screen);
    EXPECT_TRUE(screen.contains(corner));
    EXPECT_GT(corner.top(), 700);
}

TEST(RecordingWindows, TheControlPausesResumesAndStops) {
    TRecordingControl control;
    control.show();
    QSignalSpy paused(&control, &TRecordingControl::pauseToggled), stopped(&control, &TRecordingControl::stopRequested);
    control.showStatus({std::chrono::milliseconds(72'500), 183, 2'400'000, false});
    EXPECT_TRUE(control.statusLabel().text().contains("1:12")) << control.statusLabel().text().toStdString();
    EXPECT_TRUE(control.statusLabel().text().contains("183 frames"));
    EXPECT_TRUE(control.statusLabel().text().contains("2.4 MB"));
    QTest::mouseClick(&control.pauseButton(), Qt::LeftButton);
    QTest::mouseClick(&control.pauseButton(), Qt::LeftButton);
    ASSERT_EQ(paused.count(), 2);
    EXPECT_TRUE(paused.at(0).at(0).toBool());
    EXPECT_FALSE(paused.at(1).at(0).toBool());
    QTest::keyClick(&control, Qt::Key_Escape);
    QTest::mouseClick(&control.stopButton(), Qt::LeftButton);
    EXPECT_EQ(stopped.count(), 2);
}

TEST(RecordingWindows, TheDialogChoosesOnTheScreenAndKeepsTheRest) {
    RecordChoice last;
    last.fps = 60;  // out of range in a hand-edited settings file
    last.pointer = false;
    int snapshots = 0;
    TRecordDialog dialog(nullptr, last, false, [&](QString&) {
        ++snapshots;
        return std::optional<ScreenSnapshot>(ScreenSnapshot{screenPicture(), {}});
    });
    dialog.open();
    EXPECT_EQ(dialog.whatLabel().text(), "The whole screen");
    EXPECT_EQ(dialog.fpsBox().value(), RecordChoice::highestFps);
    EXPECT_FALSE(dialog.whereBox().isEnabled());

    QTest::mouseClick(&dialog.chooseButton(), Qt::LeftButton);
    QTRY_VERIFY(dialog.chooser() != nullptr);
    EXPECT_FALSE(dialog.isVisible());  // out of the picture
    TRegionChooser* chooser = dialog.chooser();
    chooser->resize(400, 300);
    QTest::mousePress(chooser, Qt::LeftButton, {}, {10, 20});
    QTest::mouseMove(chooser, {110, 80});
    QTest::mouseRelease(chooser, Qt::LeftButton, {}, {110, 80});
    QTRY_VERIFY(dialog.isVisible());
    EXPECT_EQ(snapshots, 1);
    EXPECT_EQ(dialog.whatLabel().text().toStdString(), "Region of 100 \u00d7 60 at 10, 20");

    dialog.fpsBox().setValue(10);
    const RecordChoice c = dialog.choice();
    EXPECT_EQ(c.kind, RecordChoice::Region);
    EXPECT_EQ(c.region, QRect(10, 20, 100, 60));
    EXPECT_EQ(c.fps, 10);
    EXPECT_FALSE(c.pointer);
    EXPECT_FALSE(c.insert);
}

TEST(RecordingWindows, TheDialogSaysWhyTheScreenCannotBeShown) {
    TRecordDialog dialog(nullptr, {}, true, [](QString& error) {
        error = "no display";
        return std::optional<ScreenSnapshot>();
    });
    dialog.open();
    QTimer::singleShot(0, [] {});
    bool warned = false;
    // The warning is a message box of its own: answer it when it shows.
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                warned = box->text().contains("no display");
                box->accept();
            }
    });
    timer.start(20);
    QTest::mouseClick(&dialog.chooseButton(), Qt::LeftButton);
    QTRY_VERIFY(warned);
    QTRY_VERIFY(dialog.isVisible());
    EXPECT_EQ(dialog.chooser(), nullptr);
}

}  // namespace
}  // namespace movigram::test
