#pragma once
// The dialogs of the Frames, Animation and Effects menus, opened from their
// commands: a dialog is answered as soon as it shows, fields are typed into
// as a person types, and the fixture opens a document of a few frames.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>

#include "shell/EditorFixture.h"
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

inline void press(QWidget& dialog, Qt::Key key) {
    QWidget* target = dialog.focusWidget() ? dialog.focusWidget() : &dialog;
    QTest::keyClick(target, key);
}

// Replaces the text of a field as typing does.
inline void type(TNumEdit& field, const QString& text) {
    field.setFocus();
    field.selectAll();
    QTest::keyClick(&field, Qt::Key_Delete);
    QTest::keyClicks(&field, text);
}

inline void select(TMultiListBox& list, std::initializer_list<int> rows) {
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

}  // namespace movigram::test
