// The effects dialog, opened from the Effects menu.
#include "DialogFixture.h"

namespace movigram::test {
namespace {

TEST_F(Dialogs, EffectsNeedingANextFrameAreSkippedOnTheLastFrame) {
    openFrames(3, 2);
    trigger(C::Loop);  // the chain ends at the last frame
    ASSERT_FALSE(doc().loopOption);
    doc().showFrameAt(2);
    trigger(C::ShowPalette);  // the palette window closes
    run<TEffectsDialog>(C::Wipe, [](TEffectsDialog& d) {
        EXPECT_EQ(d.effectBox().currentText(), "Wipe from solid color");  // not the remembered "to next frame"
        d.effectBox().setCurrentIndex(2);
        EXPECT_EQ(d.effectBox().currentIndex(), 0);
        d.effectBox().setCurrentIndex(1);
        EXPECT_EQ(d.description(), "Add new frames following the current frame. In each inserted frame a solid "
                                   "color gradually slides in until it replaces the current frame.");
        EXPECT_EQ(d.directionBox().count(), 4);
        EXPECT_FALSE(d.rgbButton().isEnabled());      // only a palette colour
        EXPECT_FALSE(d.paletteButton().isEnabled());  // no palette window to pick in
        type(d.framesField(), "3");
        d.accept();
    });
    EXPECT_EQ(doc().frameList.count(), 6);
    EXPECT_EQ(undoLabel(), "wipe");
    run<TEffectsDialog>(C::Wipe, [](TEffectsDialog& d) {
        EXPECT_EQ(d.effectBox().currentText(), "Wipe to solid color");  // remembered
        EXPECT_EQ(d.framesField().value(), 3);
        d.reject();
    });
    EXPECT_EQ(doc().frameList.count(), 6);
    run<TEffectsDialog>(C::FadeIn, [](TEffectsDialog& d) {
        EXPECT_EQ(d.effectBox().currentText(), "Fade in");
        EXPECT_FALSE(d.directionBox().isEnabled());
        EXPECT_TRUE(d.rgbButton().isEnabled());
        EXPECT_EQ(d.swatch().text(), QString::asprintf("%d, %d, %d", redOf(d.values().solidColor),
                                                       greenOf(d.values().solidColor), blueOf(d.values().solidColor)));
        d.accept();
    });
    EXPECT_EQ(undoLabel(), "fade in");
}

// The palette window as the effects dialog sees it: entry 3 is clicked.
struct PaletteClick : PalettePickSource {
    bool pickAvailable() const override { return true; }
    void pickFor(QWidget* from, std::function<void(int, QColor)> picked) override {
        requester = from;
        picked(3, QColor(10, 20, 30));
    }
    QColor entryColor(int) const override { return QColor(200, 100, 0); }
    QWidget* requester = nullptr;
};

TEST_F(Dialogs, TheSolidColourComesFromThePaletteWindow) {
    openFrames(2);
    PaletteClick palette;
    session().setPalettePickSource(&palette);
    run<TEffectsDialog>(C::Dissolve, [&palette](TEffectsDialog& d) {
        d.effectBox().setCurrentIndex(0);  // from solid color
        EXPECT_EQ(d.swatch().text(), "200, 100, 0");  // the proposed entry
        ASSERT_TRUE(d.paletteButton().isEnabled());
        QTest::mouseClick(&d.paletteButton(), Qt::LeftButton);
        EXPECT_EQ(palette.requester, &d);
        EXPECT_EQ(d.swatch().text(), "10, 20, 30");
        EXPECT_EQ(d.values().solidIndex, 3);
    });
    session().setPalettePickSource(nullptr);
}

}  // namespace
}  // namespace movigram::test
