// The dialogs of the Frames, Animation and Effects menus, opened from their
// commands: the preselected frame, what the canvas shows, OK through the
// core with its undo record, Cancel, and the reading of numeric fields.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>

#include "EditorFixture.h"
#include "document/Undo.h"
#include "shell/dialogs/FrameDialogs.h"
#include "shell/dialogs/PalettePick.h"
#include "shell/dialogs/TEffectsDialog.h"
#include "shell/dialogs/TFrameOffsetDialog.h"
#include "shell/dialogs/TNumEdit.h"
#include "shell/dialogs/TimingDialogs.h"
#include "commands/FileCommands.h"
#include "shell/ColorDialog.h"

namespace movigram::test {
namespace {

using C = CommandId;

// Runs fn on the next modal dialog of type D as soon as it shows; a dialog
// that fn leaves open is cancelled.
template <typename D>
class WhenOpen {
    struct State {
        bool done = false, seen = false;
    };

public:
    explicit WhenOpen(std::function<void(D&)> fn) { poll(state_, std::move(fn), 300); }
    ~WhenOpen() { state_->done = true; }
    bool seen() const { return state_->seen; }

private:
    static void poll(std::shared_ptr<State> state, std::function<void(D&)> fn, int triesLeft) {
        QTimer::singleShot(10, [state, fn, triesLeft] {
            if (state->done) return;
            auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
            if (!dialog) {
                if (triesLeft > 0) poll(state, fn, triesLeft - 1);
                return;
            }
            state->done = state->seen = true;
            fn(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
    }
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

void press(QWidget& dialog, Qt::Key key) {
    QWidget* target = dialog.focusWidget() ? dialog.focusWidget() : &dialog;
    QTest::keyClick(target, key);
}

// Replaces the text of a field as typing does.
void type(TNumEdit& field, const QString& text) {
    field.setFocus();
    field.selectAll();
    QTest::keyClick(&field, Qt::Key_Delete);
    QTest::keyClicks(&field, text);
}

void select(TMultiListBox& list, std::initializer_list<int> rows) {
    list.clearSelection();
    for (int row : rows) list.item(row)->setSelected(true);
}

class Dialogs : public Editor {
protected:
    // A document of `frames` frames of 8 x 6, frame `current` shown.
    void openFrames(int frames, int current = 0) {
        start();
        session().openPath(QString::fromStdString(writeGif("frames.gif", frames)));
        doc().showFrameAt(current);
    }
    template <typename D>
    void run(CommandId id, std::function<void(D&)> fn, bool fromContextMenu = false) {
        WhenOpen<D> when(std::move(fn));
        QAction* a = fromContextMenu ? session().actions().contextAction(id) : action(id);
        ASSERT_NE(a, nullptr);
        a->trigger();
        QApplication::processEvents();
        EXPECT_TRUE(when.seen()) << int(id);
    }
    int current() { return doc().frameList.indexOf(doc().currentFrame); }
    std::string undoLabel() { return doc().undo.canUndo() ? doc().undo.newest()->label : std::string("(none)"); }
};

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
