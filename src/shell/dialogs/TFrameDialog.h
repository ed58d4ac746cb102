#pragma once
// The base of the dialogs that work on frames the person picks: a list of
// every frame with the current one preselected, "Select all", a title and an
// explanation, and the parameter controls of each dialog beside them.  When
// exactly one frame is selected the canvas shows it, so the person sees what
// the list names.  Each dialog performs its operation on OK through the core.
#include <QDialog>
#include <QListWidget>

#include "frameops/FrameSelection.h"

class QDialogButtonBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace movigram {

class EditorSession;

// The frame list of the dialogs: one line per frame, at the frame's
// position, with extended multiple selection.
class TMultiListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TMultiListBox(QWidget* parent = nullptr);
    // One line per frame of the list, named as the frame list names it.
    void fill(const FrameList& frames);
    // The selected positions in ascending order.
    FrameSelection selection() const;
    void selectOnly(int row);
    QSize sizeHint() const override;
};

class TFrameDialog : public QDialog {
    Q_OBJECT
public:
    // title and explanation may be empty (none set; an empty explanation
    // hides its text).
    TFrameDialog(EditorSession& session, const QString& title, const QString& explanation);

    TMultiListBox& frameList() { return *list_; }
    QPushButton& selectAllButton() { return *selectAll_; }

    // OK: the operation, then the dialog closes (unless it refused).
    void accept() override;

protected:
    // What a change of the selection does; the base shows the one selected
    // frame on the canvas.  Runs once as the dialog opens.
    virtual void selectionChanged();
    // Sets the controls from the document before the first selection
    // handler runs (the dialog is about to show).
    virtual void startUp() {}
    // OK: performs the operation; false keeps the dialog open.
    virtual bool apply() = 0;

    // The area beside the list for the dialog's own controls.
    QVBoxLayout& controls() { return *controls_; }
    // Shows the frame at index on the canvas, over the animation composed up
    // to it with composed.
    void showFrame(int index, bool composed = false);
    FrameSelection selection() const { return list_->selection(); }
    Document& document();
    QLabel& explanationLabel() { return *explanation_; }

    void showEvent(QShowEvent* event) override;

    EditorSession& session_;

private:
    void selectAll();
    void chainTabOrder();

    TMultiListBox* list_;
    QPushButton* selectAll_;
    QLabel* explanation_;
    QVBoxLayout* controls_;
    QDialogButtonBox* buttons_;
    bool started_ = false;
};

}  // namespace movigram
