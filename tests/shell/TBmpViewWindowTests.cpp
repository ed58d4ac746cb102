// Playback, zoom and the mouse position on the canvas.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStatusBar>
#include <fstream>

#include "EditorFixture.h"
#include "shell/Playback.h"
#include "shell/StatusGadgets.h"
#include "support/GifBuilder.h"

namespace movigram::test {
namespace {

using C = CommandId;
using View = Editor;

int currentIndex(Document& doc) { return doc.frameList.indexOf(doc.currentFrame); }

TEST_F(View, PlaybackLoopsLoopCountTimesAndStopsOnTheLastFrame) {
    const std::string gif = writeGif("four.gif", 4);
    start();
    session().openPath(QString::fromStdString(gif));
    doc().loopCount = 3;
    ASSERT_EQ(currentIndex(doc()), 0);
    Playback& playback = session().playback();
    trigger(C::Play);
    ASSERT_TRUE(playback.isPlaying());
    std::vector<int> shown;
    for (int steps = 0; playback.isPlaying() && steps < 50; ++steps) {
        playback.step();
        if (playback.isPlaying()) shown.push_back(currentIndex(doc()));
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3}));
    EXPECT_EQ(currentIndex(doc()), 3);
    EXPECT_EQ(doc().frameList.selectedIndex(), 3);
}

TEST_F(View, UpToThreeFramesWithoutDelayPassInOneStep) {
    GifBuilder gif(4, 4, 8);
    for (int delay : {10, 0, 0, 0, 10, 10}) gif.control(delay).image(0, 0, 4, 4, std::vector<uint8_t>(16, 1));
    gif.trailer();
    const std::string path = (dir / "zero.gif").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(gif.bytes().data()), std::streamsize(gif.bytes().size()));
    start();
    session().openPath(QString::fromStdString(path));
    trigger(C::Play);
    session().playback().step();
    EXPECT_EQ(currentIndex(doc()), 4);
    trigger(C::Stop);
    EXPECT_FALSE(session().playback().isPlaying());
}

TEST_F(View, TogglingLoopStopsPlayback) {
    const std::string gif = writeGif("four.gif", 4);
    start();
    session().openPath(QString::fromStdString(gif));
    trigger(C::Play);
    ASSERT_TRUE(session().playback().isPlaying());
    trigger(C::Loop);
    EXPECT_FALSE(session().playback().isPlaying());
}

// Stepping through comment frames: the frame before a comment is restored
// as when the frames are shown in one go, and each comment gets the scroll
// range of its own text.
TEST_F(View, StepsThroughCommentsKeepTheRestoreAndTheScrollRange) {
    std::string longText;
    for (int line = 0; line < 120; ++line) longText += "a line of the second, much longer comment\r\n";
    // The same frames with and without comments between the restored frame
    // and the next.
    auto write = [&](const std::string& name, bool comments) {
        GifBuilder gif(8, 8, 8);
        gif.control(10).image(0, 0, 8, 8, std::vector<uint8_t>(64, 1));
        gif.control(10, -1, 2).image(0, 0, 4, 4, std::vector<uint8_t>(16, 2));
        if (comments) gif.comment("short").comment(longText);
        gif.control(10).image(4, 4, 4, 4, std::vector<uint8_t>(16, 3));
        gif.trailer();
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(gif.bytes().data()), std::streamsize(gif.bytes().size()));
        return QString::fromStdString(path);
    };
    auto shot = [&] {
        view().viewport()->repaint();
        return view().viewport()->grab().toImage();
    };
    start();
    session().openPath(write("plain.gif", false));
    doc().showFrameAt(1);
    trigger(C::NextFrame);
    const QImage expected = shot();

    session().openPath(write("comments.gif", true));
    const int last = doc().frameList.count() - 1;
    ASSERT_EQ(last, 4);
    ASSERT_TRUE(doc().frameList.frameAt(2)->isComment);
    doc().showFrameAt(1);
    trigger(C::NextFrame);
    const int shortRange = view().verticalScrollBar()->maximum();
    trigger(C::NextFrame);
    EXPECT_GT(view().verticalScrollBar()->maximum(), shortRange);
    trigger(C::NextFrame);
    ASSERT_EQ(currentIndex(doc()), last);
    EXPECT_EQ(shot(), expected);
    doc().showFrameAt(0);
    doc().showFrameAt(last);
    EXPECT_EQ(shot(), expected);
}

TEST_F(View, ArrowKeysStepWithoutWrappingHomeAndEndJump) {
    const std::string gif = writeGif("four.gif", 4);
    start();
    session().openPath(QString::fromStdString(gif));
    ASSERT_TRUE(doc().loopOption);  // a circular chain: Next and Prev would wrap
    auto press = [this](int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&view(), &event);
        return currentIndex(doc());
    };
    EXPECT_EQ(press(Qt::Key_Left), 0);
    EXPECT_EQ(press(Qt::Key_Down), 1);
    EXPECT_EQ(press(Qt::Key_End), 3);
    EXPECT_EQ(press(Qt::Key_Right), 3);
    EXPECT_EQ(press(Qt::Key_Up), 2);
    EXPECT_EQ(press(Qt::Key_Home), 0);
    EXPECT_EQ(doc().frameList.selectedIndex(), 0);
    trigger(C::PrevFrame);  // the menu command follows the circular chain
    EXPECT_EQ(currentIndex(doc()), 3);
}

TEST_F(View, ZoomStepsAndTheirTexts) {
    const std::string gif = writeGif("square.gif", 2, 100, 100);
    start();
    session().openPath(QString::fromStdString(gif));
    QStringList texts;
    for (int i = 0; i < 3; ++i) {
        trigger(C::ZoomIn);
        texts << window().viewText().text();
    }
    EXPECT_FALSE(action(C::ZoomIn)->isEnabled());
    trigger(C::Zoom1to1);
    for (int i = 0; i < 3; ++i) {
        trigger(C::ZoomOut);
        texts << window().viewText().text();
    }
    EXPECT_FALSE(action(C::ZoomOut)->isEnabled());
    EXPECT_EQ(texts, (QStringList{"1:2  100x100", "1:3  100x100", "1:4  100x100", "2:1  100x100", "3:1  100x100",
                                  "4:1  100x100"}));
    trigger(C::Zoom1to1);
    trigger(C::ZoomOut);
    trigger(C::ZoomIn);
    EXPECT_EQ(session().zoom(), 1);
}

TEST_F(View, MousePositionIsShownInImagePixels) {
    const std::string gif = writeGif("square.gif", 2, 100, 100);
    start();
    session().openPath(QString::fromStdString(gif));
    trigger(C::ZoomIn);
    trigger(C::ZoomIn);
    ASSERT_EQ(session().zoom(), 3);
    auto moveTo = [this](QPoint p) {
        QMouseEvent move(QEvent::MouseMove, p, view().viewport()->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(view().viewport(), &move);
        return window().statusBar()->currentMessage();
    };
    EXPECT_EQ(moveTo({30, 61}), "(10, 20)");
    EXPECT_EQ(moveTo({299, 0}), "(99, 0)");
    EXPECT_EQ(moveTo({300, 10}), "");
}

TEST_F(View, TransparentColourIsPickedByAClickOnTheZoomedPicture) {
    // Colour 1 in the top-left corner, 2 to the right of x = 20.
    GifBuilder gif(100, 100, 8);
    std::vector<uint8_t> pixels(100 * 100, 1);
    for (int y = 0; y < 100; ++y)
        for (int x = 20; x < 100; ++x) pixels[size_t(y * 100 + x)] = 2;
    gif.control(10).image(0, 0, 100, 100, pixels).trailer();
    const std::string path = (dir / "corner.gif").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(gif.bytes().data()), std::streamsize(gif.bytes().size()));
    start();
    session().openPath(QString::fromStdString(path));
    trigger(C::ZoomIn);
    trigger(C::ZoomIn);
    const TDib256& image = *doc().currentFrame->image;
    const int corner = image.pixel(10, 20);
    ASSERT_NE(corner, image.pixel(30, 61));
    trigger(C::TransparentColor);
    ASSERT_EQ(session().pickMode(), PickMode::Transparent);
    const QPoint at(30, 61);
    QMouseEvent press(QEvent::MouseButtonPress, at, view().viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(view().viewport(), &press);
    QApplication::processEvents();
    EXPECT_EQ(session().pickMode(), PickMode::None);
    EXPECT_EQ(doc().transparentIndex, corner);
    EXPECT_EQ(window().colorText().text(), QString::asprintf("Transp. color [%d]", corner));
    EXPECT_FALSE(view().viewport()->testAttribute(Qt::WA_SetCursor));
}

}  // namespace
}  // namespace movigram::test
