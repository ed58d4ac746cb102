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

TEST_F(Dialogs, TextPixelateAndBlurPaintEverySelectedFrame) {
    start();
    session().openPath(QString::fromStdString(writeGif("plain.gif", 3, 64, 48)));
    ASSERT_EQ(doc().frameList.count(), 3);

    run<TCaptionDialog>(C::Caption, [](TCaptionDialog& d) {
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
    run<TCaptionDialog>(C::Caption, [](TCaptionDialog& d) {
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
    run<TRedactDialog>(C::Pixelate, [](TRedactDialog& d) {
        EXPECT_EQ(d.frameList().selection(), (FrameSelection{0, 1, 2}));
        d.setArea(QRect(0, 0, 32, 24));
        EXPECT_EQ(d.area(), QRect(0, 0, 32, 24));
        d.strengthBox().setValue(8);
        select(d.frameList(), {0});
        d.accept();
    });
    EXPECT_EQ(undoLabel(), "pixelate");
    const TFrame& first = *doc().frameList.frameAt(0);
    for (int32_t y = 0; y < 24; ++y)
        for (int32_t x = 0; x < 32; ++x) ASSERT_EQ(first.image->pixel(x, y), first.image->pixel(x / 8 * 8, y / 8 * 8));
    EXPECT_NE(pixelsOf(*first.image), beforeRedact);

    const std::vector<uint8_t> beforeBlur = pixelsOf(*doc().frameList.frameAt(2)->image);
    run<TRedactDialog>(C::Blur, [](TRedactDialog& d) {
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
    const std::vector<uint8_t> blurred = pixelsOf(*doc().frameList.frameAt(2)->image);
    EXPECT_NE(blurred, beforeBlur);
    for (size_t p = 0; p < blurred.size(); ++p)
        if (p % 64 >= 40 || p / 64 >= 30) {
            ASSERT_EQ(blurred[p], beforeBlur[p]) << p;
        }
}

}  // namespace
}  // namespace movigram::test
