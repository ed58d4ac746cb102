// Text..., Pixelate... and Blur... from the Frames menu.
#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <set>

#include "DialogFixture.h"
#include "shell/dialogs/PictureEditDialogs.h"
#include "support/GifBuilder.h"

namespace movigram::test {
namespace {

// The distinct pixel values of a frame inside a rectangle.
std::set<uint8_t> valuesIn(const TFrame& f, const TRect& r) {
    std::set<uint8_t> values;
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x) values.insert(f.image->pixel(x, y));
    return values;
}

// These commands draw their place on the canvas first: a box dragged over
// `box` (none when empty), then Enter opens the dialog.
class PictureEdits : public Dialogs {
protected:
    template <typename D>
    void fromCanvas(CommandId id, QRect box, std::function<void(D&)> fn) {
        WhenOpen<D> when(std::move(fn));
        trigger(id);
        QWidget* canvas = view().viewport();
        if (!box.isEmpty()) {
            QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, box.topLeft());
            QTest::mouseMove(canvas, box.bottomRight());
            QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, box.bottomRight());
        }
        QTest::keyClick(&view(), Qt::Key_Return);
        QApplication::processEvents();
        EXPECT_TRUE(when.seen()) << int(id);
    }
};

TEST_F(PictureEdits, TextPixelateAndBlurPaintEverySelectedFrame) {
    start();
    session().openPath(QString::fromStdString(writeGif("plain.gif", 3, 64, 48)));
    ASSERT_EQ(doc().frameList.count(), 3);

    fromCanvas<TCaptionDialog>(C::Caption, {}, [](TCaptionDialog& d) {
        EXPECT_EQ(d.frameList().selection(), (FrameSelection{0, 1, 2}));
        QTest::keyClicks(&d.textBox(), "Hi");
        d.sizeBox().setValue(14);
        d.setPosition(QPoint(2, 2));
        d.setColors(Qt::white, Qt::black);
        select(d.frameList(), {0, 2});
        d.accept();
    });
    EXPECT_EQ(undoLabel(), "text");
    const TRect letters{0, 0, 32, 24};
    EXPECT_GT(valuesIn(*doc().frameList.frameAt(0), letters).size(), 1u);
    EXPECT_EQ(valuesIn(*doc().frameList.frameAt(1), letters).size(), 1u) << "frame 1 was not selected";
    EXPECT_GT(valuesIn(*doc().frameList.frameAt(2), letters).size(), 1u);

    // A caption that misses the frames keeps the dialog open with the reason.
    fromCanvas<TCaptionDialog>(C::Caption, {}, [](TCaptionDialog& d) {
        d.textBox().setPlainText("x");
        d.setPosition(QPoint(500, 500));
        d.accept();
        EXPECT_TRUE(d.isVisible());
        EXPECT_FALSE(d.statusLabel().text().isEmpty());
    });
    EXPECT_EQ(undoLabel(), "text");

    // Pixelate the letters of frame 0 and blur those of frame 2: each frame
    // changes only inside the rectangle.
    const std::vector<uint8_t> beforeRedact = pixelsOf(*doc().frameList.frameAt(0)->image);
    // The box dragged on the canvas is the dialog's area.
    fromCanvas<TRedactDialog>(C::Pixelate, QRect(QPoint(8, 8), QPoint(39, 31)), [](TRedactDialog& d) {
        EXPECT_EQ(d.frameList().selection(), (FrameSelection{0, 1, 2}));
        EXPECT_EQ(d.area(), QRect(8, 8, 32, 24));
        d.strengthBox().setValue(8);
        select(d.frameList(), {0});
        d.accept();
    });
    EXPECT_EQ(undoLabel(), "pixelate");
    const TFrame& first = *doc().frameList.frameAt(0);
    for (int32_t y = 8; y < 32; ++y)
        for (int32_t x = 8; x < 40; ++x) ASSERT_EQ(first.image->pixel(x, y), first.image->pixel(x / 8 * 8, y / 8 * 8));
    EXPECT_NE(pixelsOf(*first.image), beforeRedact);

    const std::vector<uint8_t> beforeBlur = pixelsOf(*doc().frameList.frameAt(2)->image);
    fromCanvas<TRedactDialog>(C::Blur, QRect(QPoint(5, 5), QPoint(9, 9)), [](TRedactDialog& d) {
        const char* edges[4] = {"0", "0", "40", "30"};
        for (int k = 0; k < 4; ++k) {
            d.edgeBox(k).setFocus();
            d.edgeBox(k).selectAll();
            QTest::keyClicks(&d.edgeBox(k), edges[k]);
        }
        EXPECT_EQ(d.area(), QRect(0, 0, 40, 30));
        select(d.frameList(), {2});
        d.accept();
    });
    EXPECT_EQ(undoLabel(), "blur");
    EXPECT_EQ(session().boxTool(), BoxTool::None);
    const std::vector<uint8_t> blurred = pixelsOf(*doc().frameList.frameAt(2)->image);
    EXPECT_NE(blurred, beforeBlur);
    for (size_t p = 0; p < blurred.size(); ++p)
        if (p % 64 >= 40 || p / 64 >= 30) {
            ASSERT_EQ(blurred[p], beforeBlur[p]) << p;
        }
}

}  // namespace
}  // namespace movigram::test
