// The offset dialog of Shift, Moving sprite, Crop, Delete and Resize: the
// preselected frames, what the canvas shows, OK through the core with its
// undo record, Cancel, and the reading of its numeric fields.
#include "DialogFixture.h"

namespace movigram::test {
namespace {


// A screen recording of 38 frames of 1140 x 828: three deletes, a crop and a
// colour reduction are all undone and redone, and the result is saved.
TEST_F(Dialogs, ARecordingKeepsEveryStepOfItsHistory) {
    start();
    session().openPath(QString::fromStdString(writeGif("recording.gif", 38, 1140, 828)));
    struct State {
        int frames, width, colors;
        bool operator==(const State&) const = default;
    };
    auto state = [this] {
        return State{doc().frameList.count(), doc().screenWidth, doc().globalPalette->colorCount};
    };
    std::vector<State> states{state()};
    for (int k = 0; k < 3; ++k) {
        doc().showFrameAt(9);
        trigger(C::Delete);
        states.push_back(state());
    }
    run<TFrameOffsetDialog>(C::Crop, [](TFrameOffsetDialog& d) {
        d.frameList().selectAll();
        type(d.field(2), "1040");
        d.accept();
    });
    states.push_back(state());
    WhenOpen<TColorDialog> reduce([](TColorDialog& dialog) {
        dialog.upDown().selectAll();
        QTest::keyClicks(&dialog.upDown(), "4");
        QTest::keyClick(&dialog.upDown(), Qt::Key_Return);
    });
    trigger(C::ReduceColorDepth);
    states.push_back(state());
    ASSERT_EQ(states.back(), (State{35, 1040, 4}));
    for (size_t k = states.size() - 1; k > 0; --k) {
        ASSERT_TRUE(action(C::Undo)->isEnabled()) << k;
        trigger(C::Undo);
        EXPECT_EQ(state(), states[k - 1]) << k;
    }
    EXPECT_FALSE(action(C::Undo)->isEnabled());
    for (size_t k = 1; k < states.size(); ++k) {
        ASSERT_TRUE(action(C::Redo)->isEnabled()) << k;
        trigger(C::Redo);
        EXPECT_EQ(state(), states[k]) << k;
    }
    const std::string saved = (dir / "trimmed.gif").string();
    ASSERT_TRUE(saveAs(doc(), saved, true));
    EXPECT_GT(std::filesystem::file_size(saved), 0u);
}

TEST_F(Dialogs, TheCurrentFrameIsPreselectedAndOneSelectedFrameIsShown) {
    openFrames(4, 2);
    run<TFrameDupDialog>(C::Duplicate, [this](TFrameDupDialog& d) {
        EXPECT_EQ(d.frameList().selection(), (FrameSelection{2}));
        EXPECT_EQ(d.totalText(), "1 ");
        select(d.frameList(), {1});
        EXPECT_EQ(current(), 1);
        select(d.frameList(), {1, 3});
        EXPECT_EQ(current(), 1);  // several selected: the canvas stays
        QTest::mouseClick(&d.selectAllButton(), Qt::LeftButton);
        EXPECT_EQ(d.frameList().selection(), (FrameSelection{0, 1, 2, 3}));
        EXPECT_EQ(current(), 1);
        type(d.countField(), "2,500");  // the arrows' thousands separator
        EXPECT_EQ(d.countField().value(), 2500);
        EXPECT_EQ(d.totalText(), "10000 ");
        type(d.countField(), "3");
        EXPECT_EQ(d.totalText(), "12 ");
        press(d, Qt::Key_Return);
    });
    EXPECT_EQ(doc().frameList.count(), 12);
    EXPECT_EQ(undoLabel(), "duplicate frames");
}

TEST_F(Dialogs, CancelChangesNothingAndRecordsNothing) {
    openFrames(3);
    run<TFrameOffsetDialog>(C::Shift, [](TFrameOffsetDialog& d) {
        d.frameList().selectAll();
        type(d.field(0), "4");
        EXPECT_EQ(d.deltaText(0), "4 ");
        press(d, Qt::Key_Escape);
    });
    run<TFrameReverseOrderDialog>(C::ReverseOrder, [](TFrameReverseOrderDialog& d) { d.reject(); });
    for (int i = 0; i < 3; ++i) EXPECT_EQ(doc().frameList.frameAt(i)->rect, (TRect{0, 0, 8, 6}));
    EXPECT_FALSE(doc().undo.canUndo());
    EXPECT_FALSE(doc().modified);
}

TEST_F(Dialogs, ShiftMovingSpriteAndDeleteRecordTheirSteps) {
    openFrames(4);
    run<TFrameOffsetDialog>(C::Shift, [](TFrameOffsetDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Shift frames");
        EXPECT_FALSE(d.field(2).isVisible());  // no width or height to set
        d.frameList().selectAll();
        type(d.field(1), "3");
        d.accept();
    });
    EXPECT_EQ(doc().frameList.frameAt(3)->rect, (TRect{0, 3, 8, 9}));
    EXPECT_EQ(undoLabel(), "shift frames");

    run<TFrameOffsetDialog>(C::MovingSprite, [](TFrameOffsetDialog& d) {
        select(d.frameList(), {0, 1, 2});
        type(d.field(0), "2");
        d.accept();
    });
    for (int i : {0, 1, 2}) {
        EXPECT_EQ(doc().frameList.frameAt(i)->rect.left, 2 * i);
        EXPECT_TRUE(doc().frameList.frameAt(i)->restoreToBackground);
    }
    EXPECT_EQ(undoLabel(), "moving sprite");

    run<TFrameOffsetDialog>(C::DeleteFrames, [](TFrameOffsetDialog& d) {
        select(d.frameList(), {0, 2});
        d.accept();
    });
    EXPECT_EQ(frameTexts().size(), 2u);
    EXPECT_EQ(undoLabel(), "delete frames");
    undo(doc());
    EXPECT_EQ(doc().frameList.count(), 4);
}

TEST_F(Dialogs, AShiftThatWouldMakeAHugeScreenIsRefusedWithAMessage) {
    openFrames(2);
    QString message;
    run<TFrameOffsetDialog>(C::Shift, [&message](TFrameOffsetDialog& d) {
        select(d.frameList(), {1});
        type(d.field(0), "60000");
        type(d.field(1), "60000");
        MessageBoxAnswer ok(QMessageBox::Ok);
        d.accept();
        message = ok.text();
        EXPECT_TRUE(d.isVisible());  // the dialog stays for another offset
    });
    EXPECT_TRUE(message.startsWith("Failed to allocate memory")) << message.toStdString();
    EXPECT_EQ(doc().frameList.frameAt(1)->rect, (TRect{0, 0, 8, 6}));
    EXPECT_FALSE(doc().undo.canUndo());
}

// Numbers typed far past the arrows' ranges: the read-outs keep their
// sense and OK says what cannot be, changing nothing.
TEST_F(Dialogs, NumbersTypedPastTheirRangesAreRefusedWithAMessage) {
    openFrames(2);
    const int32_t unit = doc().frameTime;
    QString message;
    run<TFrameRateDialog>(C::FrameRate, [&message](TFrameRateDialog& d) {
        type(d.msField(), "3,000,000");
        type(d.repeatField(), "1000");
        EXPECT_EQ(d.msThisFrameText(), "3000000,000");
        MessageBoxAnswer ok(QMessageBox::Ok);
        d.accept();
        message = ok.text();
        EXPECT_TRUE(d.isVisible());
        type(d.msField(), "30,000");
        MessageBoxAnswer again(QMessageBox::Ok);
        d.accept();
        EXPECT_EQ(again.text(), "\"frames.gif.000\" would be shown for 30,000,000 milliseconds; a GIF shows a frame "
                                "for at most 655,350.");
    });
    EXPECT_EQ(message, "The milliseconds per frame must be from 1 to 655,350.");
    EXPECT_EQ(doc().frameTime, unit);
    EXPECT_FALSE(doc().undo.canUndo());

    run<TFrameDupDialog>(C::Duplicate, [](TFrameDupDialog& d) {
        d.frameList().selectAll();
        type(d.countField(), "2,000,000,000");
        EXPECT_EQ(d.totalText(), "4000000000 ");
    });

    run<TFrameOffsetDialog>(C::Crop, [&message](TFrameOffsetDialog& d) {
        type(d.field(0), "-2147483648");
        EXPECT_GE(d.field(2).value(), 0);
        MessageBoxAnswer ok(QMessageBox::Ok);
        d.accept();
        message = ok.text();
        EXPECT_TRUE(d.isVisible());
    });
    EXPECT_EQ(message, "The frames cannot be placed there: a GIF keeps its frames between 0 and 65535 pixels.");
    EXPECT_FALSE(doc().undo.canUndo());

    // Past the GIF's coordinates and past the screen limit: told as the first.
    message.clear();
    run<TFrameOffsetDialog>(C::Shift, [&message](TFrameOffsetDialog& d) {
        type(d.field(0), "70000");
        type(d.field(1), "70000");
        MessageBoxAnswer ok(QMessageBox::Ok);
        d.accept();
        message = ok.text();
    });
    EXPECT_EQ(message, "The frames cannot be placed there: a GIF keeps its frames between 0 and 65535 pixels.");
    EXPECT_FALSE(doc().undo.canUndo());

    run<TEffectsDialog>(C::FadeIn, [&message](TEffectsDialog& d) {
        type(d.msField(), "3,000,000");
        MessageBoxAnswer ok(QMessageBox::Ok);
        d.accept();
        message = ok.text();
        EXPECT_TRUE(d.isVisible());
    });
    EXPECT_EQ(message, "The milliseconds per frame must be from 0 to 655,350.");
    EXPECT_FALSE(doc().undo.canUndo());
}

TEST_F(Dialogs, CropKeepsTheFarEdgesAndAlignsOnlyWhenEveryFrameIsSelected) {
    openFrames(3);
    run<TFrameOffsetDialog>(C::Crop, [this](TFrameOffsetDialog& d) {
        EXPECT_FALSE(d.alignBox().isEnabled());
        d.frameList().selectAll();
        EXPECT_TRUE(d.alignBox().isEnabled());
        EXPECT_EQ(current(), 0);
        type(d.field(0), "2");
        EXPECT_EQ(d.field(2).value(), 6);  // the right edge stays
        EXPECT_EQ(d.currentRect(), (TRect{2, 0, 8, 6}));
        EXPECT_EQ(d.deltaText(2), "-2 ");
        d.alignBox().setChecked(true);
        d.accept();
    });
    EXPECT_EQ(doc().frameList.frameAt(1)->rect, (TRect{0, 0, 6, 6}));
    EXPECT_EQ(doc().screenWidth, 6);
    EXPECT_EQ(undoLabel(), "crop frames");

    run<TFrameOffsetDialog>(C::Resize, [](TFrameOffsetDialog& d) {
        EXPECT_FALSE(d.field(0).isVisible());
        d.frameList().selectAll();
        type(d.field(3), "3");
        d.accept();
    });
    EXPECT_EQ(doc().frameList.frameAt(2)->rect, (TRect{0, 0, 6, 3}));
    EXPECT_EQ(undoLabel(), "resize frames");
}

// The crop tool: a box dragged on the canvas and nudged with the keys opens
// the Crop dialog with its numbers for every frame; the numbers changed in a
// cancelled dialog are the box's the next time; OK crops and ends the tool.
TEST_F(Dialogs, CropToolBoxDrawnOnTheCanvasBecomesTheCropDialogsNumbers) {
    start();
    session().openPath(QString::fromStdString(writeGif("wide.gif", 3, 80, 60)));
    trigger(C::CropTool);
    ASSERT_TRUE(session().boxTool() == BoxTool::Crop);
    QWidget* canvas = view().viewport();
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(10, 8));
    QTest::mouseMove(canvas, QPoint(40, 30));
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(40, 30));
    QTest::keyClick(&view(), Qt::Key_Right);                       // moves: 11..42 x 8..31
    QTest::keyClick(&view(), Qt::Key_Up, Qt::ControlModifier);    // one row less
    {
        WhenOpen<TFrameOffsetDialog> dialog([](TFrameOffsetDialog& d) {
            EXPECT_EQ(d.currentRect(), (TRect{11, 8, 42, 30}));
            EXPECT_EQ(d.frameList().selection(), (FrameSelection{0, 1, 2}));
            type(d.field(2), "20");
            d.reject();
        });
        QTest::keyClick(&view(), Qt::Key_Return);
        EXPECT_TRUE(dialog.seen());
    }
    EXPECT_TRUE(session().boxTool() == BoxTool::Crop);
    {
        WhenOpen<TFrameOffsetDialog> dialog([](TFrameOffsetDialog& d) {
            EXPECT_EQ(d.currentRect(), (TRect{11, 8, 31, 30}));
            d.accept();
        });
        QTest::mouseDClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        EXPECT_TRUE(dialog.seen());
    }
    EXPECT_FALSE(session().boxTool() == BoxTool::Crop);
    EXPECT_EQ(doc().frameList.frameAt(2)->rect, (TRect{11, 8, 31, 30}));
    EXPECT_EQ(undoLabel(), "crop frames");
    // Another animation ends a box drawn for this one.
    trigger(C::CropTool);
    doc().setModified(false);  // no question about the crop
    session().openPath(QString::fromStdString(writeGif("other.gif", 2, 20, 20)));
    EXPECT_EQ(session().boxTool(), BoxTool::None);
}

}  // namespace
}  // namespace movigram::test
