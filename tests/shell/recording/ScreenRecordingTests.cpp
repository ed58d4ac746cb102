// File > Record screen... on a real X server: the test starts its own Xvfb,
// paints a rectangle on it, chooses a region over it in the chooser,
// records, stops, and finds the recording as a new animation.
#include <xcb/xcb.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <functional>

#include "../EditorFixture.h"
#include "shell/recording/ScreenRecording.h"
#include "shell/recording/TRecordingControl.h"
#include "support/VirtualDisplay.h"

namespace movigram::test {
namespace {

// Fills a rectangle of the display's root window with 0xRRGGBB.
void paintRoot(const std::string& display, int x, int y, int width, int height, uint32_t colour) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(c));
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, screen->root, XCB_GC_FOREGROUND, &colour);
    const xcb_rectangle_t r{int16_t(x), int16_t(y), uint16_t(width), uint16_t(height)};
    xcb_poly_fill_rectangle(c, screen->root, gc, 1, &r);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
}

// A mapped top-level window of one colour, titled; its id.  It lives as long
// as the connection, which the caller closes.
uint32_t openWindow(xcb_connection_t* c, int x, int y, int width, int height, uint32_t colour, const std::string& title) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t w = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, int16_t(x), int16_t(y), uint16_t(width),
                      uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                      &colour);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, uint32_t(title.size()),
                        title.data());
    xcb_map_window(c, w);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return w;
}

class ScreenRecordingTest : public Editor {
protected:
    void SetUp() override {
        std::string why;
        display_ = VirtualDisplay::start(320, 240, why);
        if (!display_) GTEST_SKIP() << "no X server to record: " << why;
        const char* old = std::getenv("DISPLAY");
        oldDisplay_ = old ? old : "";
        hadDisplay_ = old != nullptr;
        setenv("DISPLAY", display_->name().c_str(), 1);
        Editor::SetUp();
    }
    void TearDown() override {
        if (!display_) return;
        Editor::TearDown();
        if (hadDisplay_) setenv("DISPLAY", oldDisplay_.c_str(), 1);
        else unsetenv("DISPLAY");
    }
    // Chooses on the screen with `choose` (given the chooser, one widget
    // pixel per screen pixel), records until a frame is made, and stops.
    void record(const std::function<void(TRegionChooser&)>& choose, const std::string& expectedWhat) {
        ScreenRecording& recording = session().screenRecording();
        trigger(CommandId::RecordScreen);
        QTRY_VERIFY(recording.dialog() != nullptr);
        TRecordDialog& dialog = *recording.dialog();
        QTest::mouseClick(&dialog.chooseButton(), Qt::LeftButton);
        QTRY_VERIFY(dialog.chooser() != nullptr);
        dialog.chooser()->resize(320, 240);
        choose(*dialog.chooser());
        QTRY_VERIFY(dialog.isVisible());
        EXPECT_TRUE(dialog.whatLabel().text().startsWith(QString::fromStdString(expectedWhat)))
            << dialog.whatLabel().text().toStdString();
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();

        QTRY_VERIFY(recording.isRecording());
        ASSERT_NE(recording.control(), nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(recording.control()->statusLabel().text().contains("1 frame"), 5000);
        QTest::mouseClick(&recording.control()->stopButton(), Qt::LeftButton);
        QTRY_VERIFY(!recording.isRecording());
    }
    // The colour the first frame shows at (x, y) of the screen recorded.
    static uint32_t shownAt(const Document& doc, int x, int y) {
        const TFrame& first = *doc.frameList.frameAt(0);
        const RgbQuad q = first.image->colors()[first.image->pixel(x - first.rect.left, y - first.rect.top)];
        return uint32_t(q.red) << 16 | uint32_t(q.green) << 8 | q.blue;
    }

    std::unique_ptr<VirtualDisplay> display_;
    std::string oldDisplay_;
    bool hadDisplay_ = false;
};

TEST_F(ScreenRecordingTest, ARegionChosenOnTheScreenBecomesANewAnimation) {
    start();
    paintRoot(display_->name(), 40, 30, 100, 60, 0xE02040);
    record(
        [](TRegionChooser& chooser) {
            QTest::mousePress(&chooser, Qt::LeftButton, {}, {20, 20});
            QTest::mouseMove(&chooser, {80, 60});
            QTest::mouseRelease(&chooser, Qt::LeftButton, {}, {80, 60});
        },
        "Region of 60 \u00d7 40 at 20, 20");
    EXPECT_EQ(doc().fileName, "Recording 1.gif");
    ASSERT_GE(doc().frameList.count(), 1);
    EXPECT_EQ(doc().screenWidth, 60);
    EXPECT_EQ(doc().screenHeight, 40);
    EXPECT_EQ(shownAt(doc(), 20, 10), 0xE02040u);  // screen pixel (40, 30)
    EXPECT_EQ(shownAt(doc(), 19, 9), 0u);
    EXPECT_EQ(session().dialogMemory().record.region, QRect(20, 20, 60, 40));
}

TEST_F(ScreenRecordingTest, AWindowClickedInTheChooserIsRecorded) {
    start();
    xcb_connection_t* c = xcb_connect(display_->name().c_str(), nullptr);
    openWindow(c, 150, 100, 80, 50, 0x30A050, "Target");
    record([](TRegionChooser& chooser) { QTest::mouseClick(&chooser, Qt::LeftButton, {}, {170, 120}); },
           "The window \u201cTarget\u201d");
    xcb_disconnect(c);
    ASSERT_GE(doc().frameList.count(), 1);
    EXPECT_EQ(doc().screenWidth, 80);
    EXPECT_EQ(doc().screenHeight, 50);
    EXPECT_EQ(shownAt(doc(), 40, 25), 0x30A050u);
}

}  // namespace
}  // namespace movigram::test
