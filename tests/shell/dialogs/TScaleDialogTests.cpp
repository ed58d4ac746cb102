// The Scale dialog: its fields follow each other and OK resamples.
#include "DialogFixture.h"
#include "shell/dialogs/TScaleDialog.h"

namespace movigram::test {
namespace {

TEST_F(Dialogs, ScaleKeepsTheProportionsAndResamplesOnOk) {
    openFrames(2);
    run<TScaleDialog>(C::Scale, [](TScaleDialog& d) {
        EXPECT_EQ(d.widthField().value(), 8);
        type(d.percentField(), "50");
        EXPECT_EQ(d.widthField().value(), 4);
        EXPECT_EQ(d.heightField().value(), 3);
        type(d.widthField(), "16");
        EXPECT_EQ(d.heightField().value(), 12);
        EXPECT_EQ(d.percentField().value(), 200);
        d.keepAspectBox().setChecked(false);
        type(d.heightField(), "5");
        EXPECT_EQ(d.widthField().value(), 16);
        press(d, Qt::Key_Return);
    });
    EXPECT_EQ(doc().screenWidth, 16);
    EXPECT_EQ(doc().screenHeight, 5);
    EXPECT_EQ(doc().frameList.frameAt(1)->image->width(), 16);
    EXPECT_EQ(undoLabel(), "scale");

    run<TScaleDialog>(C::Scale, [](TScaleDialog& d) {
        type(d.percentField(), "50");
        d.reject();
    });
    EXPECT_EQ(doc().screenWidth, 16);
    EXPECT_EQ(doc().undo.size(), 1u);
}

}  // namespace
}  // namespace movigram::test
