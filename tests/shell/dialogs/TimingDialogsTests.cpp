// The frame rate and loop count dialogs.
#include "DialogFixture.h"

namespace movigram::test {
namespace {

TEST_F(Dialogs, FrameRateKeepsWorkingRepeatsAndShowsTheTimes) {
    openFrames(3);
    run<TFrameRateDialog>(C::FrameRate, [this](TFrameRateDialog& d) {
        EXPECT_EQ(d.frameList().selection(), (FrameSelection{0}));
        type(d.msField(), "70");
        EXPECT_EQ(d.framesPerSecondText(), "14.29");
        type(d.msField(), "100");
        type(d.repeatField(), "15");
        EXPECT_EQ(d.msThisFrameText(), "1,500");
        select(d.frameList(), {1});
        EXPECT_EQ(d.repeatField().value(), 1);
        EXPECT_EQ(current(), 1);
        d.accept();
    });
    EXPECT_EQ(doc().frameList.frameAt(0)->repeat, 15);
    EXPECT_EQ(doc().frameList.frameAt(1)->repeat, 1);
    EXPECT_EQ(doc().frameTime, 100);
    EXPECT_EQ(undoLabel(), "frame rate");
}

TEST_F(Dialogs, LoopCountSetsTheCountWithoutARecord) {
    openFrames(2);
    run<TLoopDialog>(C::LoopCount, [](TLoopDialog& d) {
        EXPECT_TRUE(d.infiniteButton().isChecked());
        type(d.countField(), "5");
        EXPECT_TRUE(d.stopAfterButton().isChecked());
        press(d, Qt::Key_Return);
    });
    EXPECT_EQ(doc().loopCount, 5);
    EXPECT_FALSE(doc().undo.canUndo());
    run<TLoopDialog>(C::LoopCount, [](TLoopDialog& d) {
        d.infiniteButton().setFocus();
        QTest::keyClick(&d.infiniteButton(), Qt::Key_Space);
        EXPECT_TRUE(d.infiniteButton().isChecked());
        EXPECT_EQ(d.countField().value(), 0);
        d.accept();
    });
    EXPECT_EQ(doc().loopCount, 0);
}

}  // namespace
}  // namespace movigram::test
