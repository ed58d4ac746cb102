// The small frame dialogs: gray scale, restore method, reverse order, flip
// and rotate.
#include "DialogFixture.h"

namespace movigram::test {
namespace {

TEST_F(Dialogs, GrayScaleRecordsBeforeItsDialogAndWithdrawsOnCancel) {
    openFrames(2);
    const RgbQuad before = doc().frameList.frameAt(0)->image->colors()[0];
    run<TFrameGrayDialog>(C::GrayScale, [this](TFrameGrayDialog& d) {
        EXPECT_EQ(undoLabel(), "gray scale");
        d.reject();
    });
    EXPECT_FALSE(doc().undo.canUndo());
    EXPECT_EQ(doc().frameList.frameAt(0)->image->colors()[0].red, before.red);

    run<TFrameGrayDialog>(C::GrayScale, [](TFrameGrayDialog& d) { d.accept(); });
    EXPECT_EQ(undoLabel(), "gray scale");
    EXPECT_NE(doc().frameList.frameAt(0)->localPalette, nullptr);
    EXPECT_EQ(doc().frameList.frameAt(1)->localPalette, nullptr);  // not selected
}

TEST_F(Dialogs, RestoreMethodFollowsTheSelectionAndRecordsEveryFrame) {
    openFrames(3, 1);
    run<TFrameEraseMethodDialog>(
        C::SetRestoreMethod,
        [](TFrameEraseMethodDialog& d) {
            EXPECT_EQ(d.methodBox().currentIndex(), 0);
            select(d.frameList(), {1, 2});
            EXPECT_EQ(d.methodBox().currentIndex(), -1);
            d.methodBox().setCurrentIndex(1);
            emit d.methodBox().activated(1);
            d.accept();
        },
        true);  // from the canvas's context menu
    EXPECT_FALSE(doc().frameList.frameAt(0)->restoreToBackground);
    EXPECT_TRUE(doc().frameList.frameAt(2)->restoreToBackground);
    EXPECT_EQ(undoLabel(), "restore method");
}

TEST_F(Dialogs, ReverseOrderNeedsTwoFrames) {
    openFrames(3);
    const std::vector<std::string> names = frameTexts();
    run<TFrameReverseOrderDialog>(C::ReverseOrder, [](TFrameReverseOrderDialog& d) { d.accept(); });
    EXPECT_FALSE(doc().undo.canUndo());
    run<TFrameReverseOrderDialog>(C::ReverseOrder, [](TFrameReverseOrderDialog& d) {
        QTest::mouseClick(&d.selectAllButton(), Qt::LeftButton);
        d.accept();
    });
    EXPECT_EQ(frameTexts(), (std::vector<std::string>{names[2], names[1], names[0]}));
    EXPECT_EQ(undoLabel(), "Reverse order");
}

TEST_F(Dialogs, FlipAndRotateRemembersItsChoice) {
    openFrames(2);
    run<TFrameRotateDialog>(C::FlipRotate, [](TFrameRotateDialog& d) {
        EXPECT_EQ(d.operationBox().currentIndex(), 0);
        EXPECT_FALSE(d.leftButton().isEnabled());
        d.operationBox().setCurrentIndex(2);
        EXPECT_TRUE(d.leftButton().isEnabled());
        d.leftButton().setChecked(true);
        d.accept();
    });
    EXPECT_EQ(undoLabel(), "rotate frames");
    EXPECT_EQ(doc().frameList.frameAt(0)->rect, (TRect{0, 0, 6, 8}));
    EXPECT_EQ(doc().frameList.frameAt(1)->rect, (TRect{0, 0, 8, 6}));
    run<TFrameRotateDialog>(C::FlipRotate, [](TFrameRotateDialog& d) {
        EXPECT_EQ(d.operationBox().currentIndex(), 2);
        EXPECT_TRUE(d.leftButton().isChecked());
    });
}

}  // namespace
}  // namespace movigram::test
